#include "gpio_dev.h"

#include "gpio_sim.h"
#include "unit_root.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

const char* const gpio_path = "/sys/class/gpio";

namespace {

[[noreturn]] void throw_errno(const std::string& what)
{
    throw std::system_error(errno, std::system_category(), what);
}

// Opens, writes and closes one sysfs attribute; the result of the write is not examined (an
// export of a line that is already exported fails, and the line is simply reused).
void write_attribute(const std::string& path, const char* text, size_t length)
{
    // sysfs takes every write as the whole value; a plain file on the simulated board must be
    // emptied first to read the same.
    const int flags = O_RDWR | O_CLOEXEC | (orva::simulated_board() ? O_TRUNC : 0);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0)
        throw_errno(path);
    [[maybe_unused]] auto w = ::write(fd, text, length);
    ::close(fd);
}

}  // namespace

gpio_dev::gpio_dev(int number, direction dir, bool write_direction) : device(-1), m_number(number)
{
    const std::string root = orva::unit_path(gpio_path);
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%d", number);
    write_attribute(root + "/export", text, static_cast<size_t>(n));
    if (orva::simulated_board() && orva::sim::gpio_export(root, number) != 0)
        throw_errno(root + "/gpio" + text);

    const std::string line = root + "/gpio" + text;
    if (write_direction) {
        if (dir == output)
            write_attribute(line + "/direction", "out", 3);
        else
            write_attribute(line + "/direction", "in", 2);
    }
    const std::string value = line + "/value";
    if (!open(value.c_str(), O_RDWR | O_CLOEXEC))
        throw_errno(value);
    if (orva::simulated_board() && dir == input) {
        m_edge_fd = orva::sim::gpio_edge_open(value);
        if (m_edge_fd < 0)
            throw_errno(value);
    }
}

gpio_dev::~gpio_dev()
{
    if (m_edge_fd >= 0)
        orva::sim::gpio_edge_close(m_edge_fd);
}

void gpio_dev::edge_seen()
{
    if (m_edge_fd >= 0)
        orva::sim::gpio_edge_ack(m_edge_fd);
}

bool gpio_in_dev::get()
{
    if (::lseek(m_fd, 0, SEEK_SET) < 0)
        throw std::system_error(errno, std::system_category(), "GPIO seek error");
    char buf[8] = {};
    if (::read(m_fd, buf, sizeof buf) < 0)
        throw std::system_error(errno, std::system_category(), "GPIO read error");
    edge_seen();
    return buf[0] == '0';
}

int gpio_out_dev::set(bool on)
{
    if (::lseek(m_fd, 0, SEEK_SET) < 0)
        return errno;
    if (::write(m_fd, on ? "1" : "0", 1) < 0)
        return -errno;
    m_value = on;
    return 0;
}
