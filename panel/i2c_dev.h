#pragma once
// A device on an I2C bus, addressed once at construction.

#include "device.h"

class i2c_dev : public device {
public:
    // Opens `path` and selects the slave `address`; throws std::system_error naming the path.
    i2c_dev(const char* path, int address);
    int address() const { return m_address; }

private:
    int m_address;
};
