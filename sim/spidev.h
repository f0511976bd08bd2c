#pragma once
// The spidev character device as the board's drivers use it: open, ioctl, close.
//
// On the board these are the system calls themselves. On the simulated board the device path
// resolves below the unit root: a socket there is a simulated device that answers transfers (the
// front panel); anything else is a transfer log file to which every transfer is appended as a
// text line ("mode=3 bits=16 speed=500000 tx=3f01"), so a test can read what a driver wrote.
// The spidev ioctls (mode, word size, speed, SPI_IOC_MESSAGE) behave as the kernel's.

#include <cstdint>

namespace orva {

// open(path, O_RDWR): a descriptor or -1 with errno.
int spidev_open(const char* path);
// ioctl(fd, request, arg): as the kernel's spidev (SPI_IOC_MESSAGE returns the bytes moved).
int spidev_ioctl(int fd, unsigned long request, void* arg);
// close(fd).
int spidev_close(int fd);

namespace sim {

// One transfer on the simulated-device socket: this header, then `length` transmit bytes; the
// device answers with `length` receive bytes.
struct spi_wire_header {
    uint8_t op;  // 'X'
    uint8_t mode;
    uint8_t bits_per_word;
    uint8_t reserved;
    uint32_t speed_hz;
    uint32_t length;
};
static_assert(sizeof(spi_wire_header) == 12);

inline constexpr uint32_t spi_max_transfer = 4096;

}  // namespace sim
}  // namespace orva
