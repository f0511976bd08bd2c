#include "device.h"

#include "util.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

device::device(const char* path) : m_fd(::open(path, O_RDWR))
{
    if (m_fd < 0)
        throw_system_error_fx("device::device(const char*)", "open");
}

device::~device()
{
    close();
}

bool device::open(const char* path, int flags)
{
    close();
    m_fd = ::open(path, flags);
    return m_fd >= 0;
}

int device::close()
{
    if (m_fd < 0)
        return 0;
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd);
}

int device::xioctl(unsigned long request, void* arg)
{
    int r;
    do {
        r = ::ioctl(m_fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r < 0 ? -errno : 0;
}

int device::xselect(int nfds, fd_set* read, fd_set* write, fd_set* except, timeval* timeout)
{
    int r;
    do {
        r = ::select(nfds, read, write, except, timeout);
    } while (r < 0 && errno == EINTR);
    return r;
}

int device::read(void* buffer, unsigned size)
{
    return static_cast<int>(::read(m_fd, buffer, size));
}

int device::write(const void* data, unsigned length)
{
    return static_cast<int>(::write(m_fd, data, length));
}
