#include "frame_buffer_dev.h"

#include "unit_root.h"
#include "util.h"

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
constexpr const char* fn = "frame_buffer_dev::frame_buffer_dev(int)";
}

frame_buffer_dev::frame_buffer_dev(int n) : device(-1)
{
    char path[32];
    std::snprintf(path, sizeof path, "/dev/fb%d", n);
    if (!open(orva::unit_path(path).c_str(), O_RDWR | O_CLOEXEC))
        throw_system_error_fx(fn, "open");
    fb_var_screeninfo var{};
    fb_fix_screeninfo fix{};
    if (int r = xioctl(FBIOGET_VSCREENINFO, &var); r < 0) {
        errno = -r;
        throw_system_error_fx(fn, "ioctl(FBIOGET_VSCREENINFO");
    }
    if (int r = xioctl(FBIOGET_FSCREENINFO, &fix); r < 0) {
        errno = -r;
        throw_system_error_fx(fn, "ioctl(FBIOGET_FSCRENINFO");
    }
    m_xres = var.xres;
    m_yres = var.yres;
    m_bpp = var.bits_per_pixel;
    m_length = static_cast<size_t>(m_yres) * (m_xres * m_bpp / 8);
    void* map = ::mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
    if (map == MAP_FAILED)
        throw_system_error_fx(fn, "mmap");
    m_map = map;
}

frame_buffer_dev::~frame_buffer_dev()
{
    if (m_map)
        ::munmap(m_map, m_length);
}

unsigned frame_buffer_dev::write_frame(const void* src, unsigned len)
{
    const size_t n = std::min<size_t>(len, m_length);
    if (m_map && src)
        std::memcpy(m_map, src, n);
    return static_cast<unsigned>(n);
}
