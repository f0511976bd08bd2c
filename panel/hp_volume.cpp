#include "hp_volume.h"

#include "spidev.h"

#include <linux/spi/spidev.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <system_error>

namespace {

uint8_t mode = SPI_MODE_3;
uint8_t bits = 16;
constexpr uint32_t setup_speed_hz = 100000;
constexpr uint32_t transfer_speed_hz = 500000;

}  // namespace

hp_volume::hp_volume(const char* path)
{
    m_fd = orva::spidev_open(path);
    if (m_fd < 0)
        throw std::system_error(errno, std::system_category(), path ? path : "");
    uint32_t speed = setup_speed_hz;
    const struct {
        unsigned long request;
        void* arg;
        const char* name;
    } steps[] = {
        {SPI_IOC_WR_MODE, &mode, "SPI_IOC_WR_MODE"},
        {SPI_IOC_RD_MODE, &mode, "SPI_IOC_RD_MODE"},
        {SPI_IOC_WR_BITS_PER_WORD, &bits, "SPI_IOC_WR_BITS_PER_WORD"},
        {SPI_IOC_RD_BITS_PER_WORD, &bits, "SPI_IOC_RD_BITS_PER_WORD"},
        {SPI_IOC_WR_MAX_SPEED_HZ, &speed, "SPI_IOC_WR_MAX_SPEED_HZ"},
        {SPI_IOC_RD_MAX_SPEED_HZ, &speed, "SPI_IOC_RD_MAX_SPEED_HZ"},
    };
    for (const auto& s : steps) {
        if (orva::spidev_ioctl(m_fd, s.request, s.arg) < 0) {
            const int err = errno;
            orva::spidev_close(m_fd);
            throw std::system_error(err, std::system_category(), s.name);
        }
    }
}

hp_volume::~hp_volume()
{
    orva::spidev_close(m_fd);
}

int hp_volume::send(int volume, int channel)
{
    uint8_t tx[2] = {static_cast<uint8_t>(volume), static_cast<uint8_t>(channel)};
    spi_ioc_transfer x{};
    x.tx_buf = reinterpret_cast<uintptr_t>(tx);
    x.len = sizeof tx;
    x.speed_hz = transfer_speed_hz;
    x.bits_per_word = bits;
    return orva::spidev_ioctl(m_fd, SPI_IOC_MESSAGE(1), &x);
}

int hp_volume::set(int volume)
{
    volume = std::clamp(volume, 0, max_volume);
    if (volume == m_volume)
        return m_volume;
    if (send(volume, 1) < 0 || send(volume, 2) < 0)
        return m_volume;
    m_volume = volume;
    return m_volume;
}
