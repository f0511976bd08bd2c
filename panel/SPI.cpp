#include "SPI.h"

#include "gpio_dev.h"
#include "spidev.h"
#include "unit_root.h"

#include <fcntl.h>
#include <linux/spi/spidev.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

constexpr int select_display = 90;
constexpr int select_key_led = 92;

}  // namespace

SPI::SPI(const char* path)
{
    m_fd = orva::spidev_open(path);
    if (m_fd < 0)
        throw std::runtime_error("open");
    uint8_t mode = SPI_MODE_3;
    if (orva::spidev_ioctl(m_fd, SPI_IOC_WR_MODE, &mode) < 0) {
        orva::spidev_close(m_fd);
        throw std::runtime_error("ioctl: SPI_IOC_WR_MODE");
    }
    if (orva::spidev_ioctl(m_fd, SPI_IOC_RD_MODE, &mode) < 0) {
        orva::spidev_close(m_fd);
        throw std::runtime_error("ioctl: SPI_IOC_RD_MODE");
    }
    // Both lines are taken as high so that both are written; a line that cannot be written stays
    // recorded high and is written again before the next transfer.
    m_gpio90 = m_gpio92 = true;
    if (drive(select_display, false, m_gpio90) == 0)
        drive(select_key_led, false, m_gpio92);
}

SPI::~SPI()
{
    orva::spidev_close(m_fd);
}

int SPI::drive(int line, bool level, bool& recorded)
{
    char path[128];
    std::snprintf(path, sizeof path, "%s/gpio%d/value", gpio_path, line);
    const int fd = ::open(orva::unit_path(path).c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const int w = static_cast<int>(::write(fd, level ? "1" : "0", 2));
    if (w != 2)
        std::fprintf(stderr, "w = %d\n", w);
    ::close(fd);
    recorded = level;
    return 0;
}

int SPI::transfer(unsigned char* tx, unsigned char* rx, unsigned len)
{
    spi_ioc_transfer x{};
    x.tx_buf = reinterpret_cast<uintptr_t>(tx);
    x.rx_buf = reinterpret_cast<uintptr_t>(rx);
    x.len = len;
    x.speed_hz = speed_hz;
    x.bits_per_word = 8;
    x.delay_usecs = 0;
    errno = 0;
    if (orva::spidev_ioctl(m_fd, SPI_IOC_MESSAGE(1), &x) == static_cast<int>(len))
        return 0;
    // A short transfer with errno untouched must not read as success.
    return errno ? errno : EIO;
}

int SPI::send_lcd(unsigned char byte)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_gpio90 && drive(select_display, true, m_gpio90) < 0)
        return -1;
    if (m_gpio92 && drive(select_key_led, false, m_gpio92) < 0)
        return -1;
    return transfer(&byte, nullptr, 1);
}

int SPI::send_key_led(unsigned char* tx, unsigned char* rx, unsigned len)
{
    // The board always exchanges a whole frame; a shorter buffer would be overrun.
    if (!tx || !rx || len < key_led_frame_size)
        return EINVAL;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_gpio90 && drive(select_display, false, m_gpio90) < 0)
        return -1;
    if (!m_gpio92 && drive(select_key_led, true, m_gpio92) < 0)
        return -1;
    return transfer(tx, rx, key_led_frame_size);
}

int SPI::set_gpio(bool line90, bool line92)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_gpio90 != line90 && drive(select_display, line90, m_gpio90) < 0)
        return -1;
    if (m_gpio92 != line92 && drive(select_key_led, line92, m_gpio92) < 0)
        return -1;
    return 0;
}

int SPI::send_data(unsigned char* tx, unsigned char* rx, unsigned len)
{
    return transfer(tx, rx, len);
}
