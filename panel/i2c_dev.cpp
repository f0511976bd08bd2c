#include "i2c_dev.h"

#include "unit_root.h"

#include <linux/i2c-dev.h>

#include <cerrno>
#include <string>
#include <system_error>

i2c_dev::i2c_dev(const char* path, int address) : device(orva::unit_path(path).c_str()), m_address(address)
{
    if (xioctl(I2C_SLAVE, reinterpret_cast<void*>(static_cast<long>(address))) < 0)
        throw std::system_error(errno, std::system_category(), path);
}
