#include "meter_sock.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace orva {

void meter_pack(const unsigned char* data, unsigned char (&out)[meter_datagram_size]) {
  std::memcpy(out, "ORVA", 4);
  for (int m = 0; m < 4; ++m) {
    const unsigned char* g = data + 3 * m;
    const uint32_t v = (uint32_t{g[0]} << 12) | (uint32_t{g[1]} << 4) | (uint32_t{g[2]} >> 4);
    unsigned char* p = out + 4 + 4 * m;
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
  }
}

meter_sock::meter_sock(const sockaddr_in& destination) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (open_socket_locked() < 0)
    throw std::runtime_error("can't create meter socket.");
  m_destination = destination;
}

meter_sock::~meter_sock() { disable(); }

int meter_sock::open_socket_locked() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  int on = 1;
  if (::ioctl(fd, FIONBIO, &on) != 0) {
    ::close(fd);
    return -1;
  }
  m_fd = fd;
  return 0;
}

bool meter_sock::enable(const sockaddr_in& destination) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_fd < 0 && open_socket_locked() < 0)
    return false;
  m_destination = destination;
  return true;
}

void meter_sock::disable() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
}

bool meter_sock::enabled() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_fd >= 0;
}

int meter_sock::send(const unsigned char* data, unsigned length) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_fd < 0)
    return -1;
  if (!data || length < meter_input_size)
    return -2;
  unsigned char datagram[meter_datagram_size];
  meter_pack(data, datagram);
  return static_cast<int>(::sendto(m_fd, datagram, sizeof datagram, MSG_NOSIGNAL,
                                   reinterpret_cast<const sockaddr*>(&m_destination), sizeof m_destination));
}

}  // namespace orva
