// RTP packets of the audio streams: the header writer of the sender and the parsing helpers of
// the receiver.
#pragma once

#include <cstdint>

namespace orva {

// A received datagram, from its first header byte.
struct RTP {
  static constexpr int capacity = 1600;
  unsigned char data[capacity];
  int length = 0;

  uint16_t seq() const { return static_cast<uint16_t>((data[2] << 8) | data[3]); }
  uint32_t timestamp() const {
    return (uint32_t{data[4]} << 24) | (uint32_t{data[5]} << 16) | (uint32_t{data[6]} << 8) | data[7];
  }
  // As the factory writes it: the host's byte order.
  uint32_t ssrc() const;
  int payload_type() const { return data[1] & 0x7f; }
  bool marker() const { return (data[1] & 0x80) != 0; }
};

constexpr int rtp_header_size = 12;
constexpr int rtp_end_packet_size = 20;

// Where the payload of a datagram lies once CSRCs, a header extension and padding are taken
// into account. Returns false when the header claims more than the datagram holds or the
// version is not 2.
bool rtp_payload(const unsigned char* packet, int length, int* offset, int* payload_length);

// The end-of-stream packet: exactly 20 bytes, version 2, extension profile 0x0001 of one word.
bool rtp_is_end_packet(const unsigned char* packet, int length);

class RTP_factory {
 public:
  static constexpr uint16_t first_sequence = 60000;

  RTP_factory() = default;
  // Sequence 60000, timestamp 0, marker on the first packet, a random SSRC.
  RTP_factory(int payload_type, int sampling_frequency, int timestamp_step);

  // Writes header and payload; returns length + 12, -1 for a null buffer, -2 when it does not
  // fit. Uses up one sequence number and one timestamp step and clears the marker.
  int make_packet(unsigned char* buffer, unsigned capacity, const unsigned char* payload, unsigned length);
  // Writes the 20-byte end packet; returns 20, -1 or -2 as above. Uses up a number and a step.
  int make_end_packet(unsigned char* buffer, unsigned capacity);
  // Skips one packet: uses up a number and a step, writes nothing; returns the skipped number.
  uint16_t proc_error_packet();

  void set_payload_type(int pt) { m_payload_type = static_cast<uint8_t>(pt & 0x7f); }
  uint16_t sequence() const { return m_seq; }
  uint32_t timestamp() const { return m_timestamp; }
  uint32_t ssrc() const { return m_ssrc; }

 private:
  void write_header(unsigned char* b, uint8_t first_byte);

  uint32_t m_timestamp = 0;
  uint8_t m_payload_type = 0;
  uint8_t m_marker = 0;
  uint32_t m_step = 0;
  uint16_t m_seq = 0;
  uint32_t m_ssrc = 1;
};

}  // namespace orva
