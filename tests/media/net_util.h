// Loopback UDP helpers for the media tests.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <vector>

namespace orva::test {

// A UDP socket bound to 127.0.0.1 on an ephemeral port; closed on destruction.
class udp_socket {
 public:
  explicit udp_socket(uint16_t port = 0) {
    m_fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
  }
  ~udp_socket() {
    if (m_fd >= 0) ::close(m_fd);
  }
  udp_socket(const udp_socket&) = delete;
  udp_socket& operator=(const udp_socket&) = delete;
  int fd() const { return m_fd; }
  uint16_t port() const { return m_port; }
  void send_to(uint16_t port, const void* data, size_t len) const {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    sendto(m_fd, data, len, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  // One datagram, or an empty vector after `wait` without one.
  std::vector<unsigned char> receive(std::chrono::milliseconds wait) const {
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(wait.count())) != 1) return {};
    std::vector<unsigned char> b(2048);
    const ssize_t n = recv(m_fd, b.data(), b.size(), 0);
    b.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return b;
  }

 private:
  int m_fd = -1;
  uint16_t m_port = 0;
};

// A port that was free a moment ago (for engines that bind their own sockets). Even, with the
// next one free too, for peers that want an RTCP port beside it.
inline uint16_t free_udp_port() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    udp_socket a;
    if (a.port() % 2 || a.port() == 65535) continue;
    udp_socket b(static_cast<uint16_t>(a.port() + 1));
    if (b.port() == a.port() + 1) return a.port();
  }
  return 0;
}

}  // namespace orva::test
