#pragma once
// The framebuffer "/dev/fbN", mapped for writing whole frames.

#include "device.h"

#include <cstddef>

class frame_buffer_dev : public device {
public:
    // Opens and maps the framebuffer; throws std::system_error naming the failing call.
    explicit frame_buffer_dev(int n);
    ~frame_buffer_dev() override;

    // Copies min(len, mapped length) bytes to the start of the frame; returns that count.
    unsigned write_frame(const void* src, unsigned len);

    unsigned xres() const { return m_xres; }
    unsigned yres() const { return m_yres; }
    unsigned bits_per_pixel() const { return m_bpp; }

private:
    void* m_map = nullptr;
    size_t m_length = 0;
    unsigned m_xres = 0;
    unsigned m_yres = 0;
    unsigned m_bpp = 0;
};
