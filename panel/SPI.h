#pragma once
// The front panel's SPI bus ("/dev/spidev4.0"), shared by the character display and the key/LED
// board. Which of the two listens is chosen by the select lines GPIO 90 and 92, which this class
// drives itself: display = 90 high and 92 low, key/LED board = 90 low and 92 high.

#include <mutex>

class SPI {
public:
    // Opens the bus in SPI mode 3 and drives both select lines low. Throws std::runtime_error
    // "open", "ioctl: SPI_IOC_WR_MODE" or "ioctl: SPI_IOC_RD_MODE".
    explicit SPI(const char* path);
    ~SPI();
    SPI(const SPI&) = delete;
    SPI& operator=(const SPI&) = delete;

    // One byte to the display: 0, an error number, or -1 when a select line cannot be driven.
    int send_lcd(unsigned char byte);
    // One 14-byte full-duplex frame with the key/LED board: 0, an error number, or -1 when a
    // select line cannot be driven. Buffers shorter than a frame are refused with EINVAL.
    int send_key_led(unsigned char* tx, unsigned char* rx, unsigned len);

    // Drives the select lines that differ from their recorded levels (-1: a line failed).
    int set_gpio(bool line90, bool line92);
    // One transfer of `len` bytes without the lock and without touching the select lines.
    int send_data(unsigned char* tx, unsigned char* rx, unsigned len);

    static constexpr unsigned key_led_frame_size = 14;
    static constexpr unsigned speed_hz = 100000;

private:
    int drive(int line, bool level, bool& recorded);
    int transfer(unsigned char* tx, unsigned char* rx, unsigned len);

    int m_fd = -1;
    // Levels last written to the select lines; guarded, with every transfer, by m_mutex.
    bool m_gpio90 = true;
    bool m_gpio92 = true;
    std::mutex m_mutex;
};
