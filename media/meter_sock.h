// Sender of the level-meter datagrams: the four panel meters, every LED frame, to the address a
// remote client asked for (remote METER command, controller command 40).
//
// Datagram, 20 bytes: "ORVA", then per meter (input L, input R, output L, output R) its 20-bit
// segment value as an unsigned 32-bit big-endian integer.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <mutex>

namespace orva {

inline constexpr unsigned meter_datagram_size = 20;
inline constexpr unsigned meter_input_size = 12;

// Packs twelve meter bytes (four groups of three: segment bits 19..12, 11..4, 3..0 in the high
// nibble) into the datagram.
void meter_pack(const unsigned char* data, unsigned char (&out)[meter_datagram_size]);

class meter_sock {
 public:
  // Disabled.
  meter_sock() = default;
  // Enabled towards `destination`; throws std::runtime_error "can't create meter socket.".
  explicit meter_sock(const sockaddr_in& destination);
  meter_sock(const meter_sock&) = delete;
  meter_sock& operator=(const meter_sock&) = delete;
  ~meter_sock();

  // Opens the socket when none is open (false when that fails), then takes the destination.
  bool enable(const sockaddr_in& destination);
  void disable();
  void close() { disable(); }
  bool enabled() const;

  // -1 when disabled, -2 when `length` < 12, else sendto's result.
  int send(const unsigned char* data, unsigned length);

 private:
  int open_socket_locked();

  // enable/disable run on the controller's thread while the LED thread sends: one lock orders
  // them, so a send never uses a descriptor that is being closed (or reused by another open).
  mutable std::mutex m_mutex;
  int m_fd = -1;
  sockaddr_in m_destination{};
};

}  // namespace orva
