#include "nb_socket.h"

#include "log.h"

#include <cerrno>
#include <cstring>
#include <netinet/ip.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void sleep_ms(int ms)
{
    usleep(static_cast<useconds_t>(ms) * 1000);
}

int cancelled()
{
    errno = ECANCELED;
    return -2;
}

bool is_stream(int fd)
{
    int type = 0;
    socklen_t len = sizeof type;
    return getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) == 0 && type == SOCK_STREAM;
}

}  // namespace

int nb_reuse_addr(int fd)
{
    const int on = 1;
    return setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

int nb_set_block(int fd, bool non_blocking)
{
    int on = non_blocking ? 1 : 0;
    const int r = ioctl(fd, FIONBIO, &on);
    if (r < 0)
        log_s.warn("nb_connect: ioctl(FIONBIO failed.%s", strerror(errno));
    return r;
}

int nb_set_tos(int fd, nb_tos_media_type tos)
{
    const unsigned char value = tos;
    return setsockopt(fd, IPPROTO_IP, IP_TOS, &value, sizeof value);
}

int nb_set_keepalive(int fd)
{
    const int on = 1, idle = 2, interval = 2, count = 2;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    return 0;
}

int nb_socket(int domain, int type, int protocol)
{
    const int fd = socket(domain, type | SOCK_CLOEXEC, protocol);
    if (fd < 0)
        return fd;
    if (nb_reuse_addr(fd) < 0)
        log_s.debug("nb_socket: setsockopt failed. %s", strerror(errno));
    nb_set_block(fd, true);
    nb_set_keepalive(fd);
    return fd;
}

int nb_connect(int fd, const sockaddr_in* address, const nb_cancel_flag& cancel)
{
    errno = 0;
    int result = connect(fd, reinterpret_cast<const sockaddr*>(address), sizeof *address);
    if (result == 0 || errno != EINPROGRESS)
        return result;
    for (;;) {
        if (cancel.load())
            return cancelled();
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(fd, &writable);
        timeval timeout{1, 0};
        const int r = select(fd + 1, nullptr, &writable, nullptr, &timeout);
        if (r <= 0) {
            if (r < 0 && errno == EINTR)
                continue;
            if (r == 0)
                errno = ETIMEDOUT;
            sleep_ms(10);
            result = -1;
            break;
        }
        int error = 0;
        socklen_t len = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0) {
            if (error != 0)
                errno = error;
            result = error == 0 ? 0 : -1;
            break;
        }
    }
    if (cancel.load())
        return cancelled();
    return result;
}

int nb_accept(int listen_fd, sockaddr_in* peer, const nb_cancel_flag& cancel)
{
    while (!cancel.load()) {
        pollfd p{listen_fd, POLLIN, 0};
        if (poll(&p, 1, 500) <= 0)
            continue;
        socklen_t len = sizeof *peer;
        const int fd = accept4(listen_fd, reinterpret_cast<sockaddr*>(peer), &len, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int on = 1;
        if (ioctl(fd, FIONBIO, &on) < 0)
            log_s.warn("nb_accept: ioctl(FIONBIO failed.%s", strerror(errno));
        nb_set_keepalive(listen_fd);
        if (cancel.load())
            errno = ECANCELED;
        return fd;
    }
    return cancelled();
}

int nb_send(int fd, const void* data, unsigned length, int flags, const nb_cancel_flag& cancel)
{
    const char* p = static_cast<const char*>(data);
    unsigned sent = 0;
    while (sent < length) {
        if (cancel.load())
            return cancelled();
        const ssize_t n = send(fd, p + sent, length - sent, flags | MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<unsigned>(n);
        } else if (n == 0) {
            sleep_ms(100);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            sleep_ms(10);
        } else if (errno != EINTR) {
            return cancel.load() ? cancelled() : -1;
        }
    }
    return static_cast<int>(sent);
}

int nb_recv(int fd, void* buffer, unsigned size, int flags, const nb_cancel_flag& cancel)
{
    if (size == 0)
        return cancel.load() ? cancelled() : 0;
    while (!cancel.load()) {
        errno = 0;
        const ssize_t n = recv(fd, buffer, size, flags);
        if (n > 0)
            return static_cast<int>(n);
        if (n == 0) {
            // On a stream 0 means the peer closed: report it so the link is torn down.
            if (is_stream(fd)) {
                errno = ECONNRESET;
                return -1;
            }
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            log_s.debug("nb_recv: wait data");
            sleep_ms(10);
            continue;
        }
        if (errno == EINTR)
            continue;
        const int e = errno;
        log_s.debug("nb_recv failed. %s", strerror(e));
        if (cancel.load())
            return cancelled();
        errno = e;
        return -1;
    }
    return cancelled();
}
