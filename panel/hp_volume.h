#pragma once
// The headphone volume control on its own SPI device ("/dev/spidev0.3"): one 16-bit word per
// channel, high byte the channel (1, 2), low byte the volume (0..63).

#include "media_ports.h"

class hp_volume : public orva::volume_port {
public:
    // Opens the device and sets mode 3, 16 bits per word and 100 kHz. Throws std::system_error
    // naming the path or the failing ioctl.
    explicit hp_volume(const char* path);
    ~hp_volume() override;
    hp_volume(const hp_volume&) = delete;
    hp_volume& operator=(const hp_volume&) = delete;

    // Sets both channels to `volume` clamped to 0..63; returns the volume in force afterwards
    // (unchanged when a transfer fails; nothing is sent when it is already in force).
    int set(int volume) override;
    int get() const override { return m_volume; }

    static constexpr int max_volume = 63;

private:
    int send(int volume, int channel);

    int m_volume = 0;
    int m_fd = -1;
};
