#include "ipc_transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The engine reads a timer only after poll saw it ready, but another thread may re-arm the
// timer in between (which clears the count): a blocking read would then hang the engine.
void set_non_blocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
}

}  // namespace

ipc_udp_transport::ipc_udp_transport(in_addr_t bind_addr) : m_bind_addr(bind_addr)
{
    set_non_blocking(m_retry.fd());
    set_non_blocking(m_start_command.fd());
}

ipc_udp_transport::~ipc_udp_transport()
{
    close_socket();
}

void ipc_udp_transport::close_socket()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool ipc_udp_transport::open(uint16_t port)
{
    close_socket();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = m_bind_addr;
    a.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) < 0) {
        const int e = errno;
        ::close(fd);
        errno = e;
        return false;
    }
    m_fd = fd;
    return true;
}

uint16_t ipc_udp_transport::bound_port() const
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) < 0) {
        return 0;
    }
    return ntohs(a.sin_port);
}

int ipc_udp_transport::send_to(std::string_view text, const sockaddr_in& to)
{
    if (m_fd < 0) {
        return -EBADF;
    }
    const ssize_t n = ::sendto(m_fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n < 0) {
        return -errno;
    }
    return static_cast<std::size_t>(n) == text.size() ? 0 : -EMSGSIZE;
}

int ipc_udp_transport::receive(char* buffer, std::size_t size, sockaddr_in& from)
{
    if (m_fd < 0) {
        return -EBADF;
    }
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(m_fd, buffer, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
    return n < 0 ? -errno : static_cast<int>(n);
}

int ipc_udp_transport::start(ipc_timer t, int ms)
{
    return timer(t).start_repeat(ms) < 0 ? -errno : 0;
}

void ipc_udp_transport::stop(ipc_timer t)
{
    timer(t).stop();
}

bool ipc_udp_transport::acknowledge(ipc_timer t)
{
    uint64_t count = 0;
    return timer(t).read(&count, sizeof count) == static_cast<int>(sizeof count);
}

int ipc_udp_transport::wait(int ms)
{
    pollfd fds[3] = {
        {m_fd, POLLIN, 0},
        {m_retry.fd(), POLLIN, 0},
        {m_start_command.fd(), POLLIN, 0},
    };
    const int n = ::poll(fds, 3, ms);
    if (n < 0) {
        return errno == EINTR ? 0 : -errno;
    }
    int ready = 0;
    if (fds[0].revents & POLLIN) {
        ready |= ipc_ready_socket;
    }
    if (fds[1].revents & POLLIN) {
        ready |= ipc_ready_retry;
    }
    if (fds[2].revents & POLLIN) {
        ready |= ipc_ready_start_command;
    }
    return ready;
}
