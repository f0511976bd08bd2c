#pragma once
// Owner of one Linux file descriptor, with the few system calls its users need.
//
// Base of the GPIO, I2C, framebuffer and serial devices and of `timerfd`. Constructors throw
// std::system_error; every other operation returns the system call's result and never throws.

#include <sys/select.h>

class device {
public:
    // Opens `path` read-write; throws std::system_error ("device::device(const char*): open").
    explicit device(const char* path);
    // Takes over an open descriptor (or -1).
    explicit device(int fd = -1) : m_fd(fd) {}
    device(const device&) = delete;
    device& operator=(const device&) = delete;
    virtual ~device();

    // Opens `path` with `flags`; the descriptor is -1 on failure. Returns whether it opened.
    bool open(const char* path, int flags);
    // 0 when nothing is open, else close's result. The descriptor is forgotten in every case:
    // after a failed close its state is unspecified and it must not be closed again.
    int close();

    // ioctl, repeated while interrupted; 0 or the negated errno.
    int xioctl(unsigned long request, void* arg);
    // select, repeated while interrupted; select's result.
    static int xselect(int nfds, fd_set* read, fd_set* write, fd_set* except, timeval* timeout);

    int read(void* buffer, unsigned size);
    int write(const void* data, unsigned length);

    int fd() const { return m_fd; }

protected:
    int m_fd;
};
