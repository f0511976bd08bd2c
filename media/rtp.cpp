#include "rtp.h"

#include <cstring>
#include <random>

namespace orva {

static_assert(sizeof(RTP::data) == 1600);

uint32_t RTP::ssrc() const {
  uint32_t v;
  std::memcpy(&v, data + 8, 4);
  return v;
}

bool rtp_payload(const unsigned char* p, int length, int* offset, int* payload_length) {
  if (p == nullptr || length < rtp_header_size || (p[0] & 0xc0) != 0x80) return false;
  int off = rtp_header_size + 4 * (p[0] & 0x0f);
  if (p[0] & 0x10) {
    if (off + 4 > length) return false;
    off += 4 + 4 * ((p[off + 2] << 8) | p[off + 3]);
  }
  int end = length;
  if (p[0] & 0x20) end -= p[length - 1];  // padding count in the last byte
  if (off > length || end < off) return false;
  *offset = off;
  *payload_length = end - off;
  return true;
}

bool rtp_is_end_packet(const unsigned char* p, int length) {
  return p != nullptr && length == rtp_end_packet_size && p[0] == 0x90 && p[12] == 0x00 &&
         p[13] == 0x01 && p[14] == 0x00 && p[15] == 0x01;
}

RTP_factory::RTP_factory(int payload_type, int /*sampling_frequency*/, int timestamp_step)
    : m_payload_type(static_cast<uint8_t>(payload_type & 0x7f)), m_marker(0x80),
      m_step(static_cast<uint32_t>(timestamp_step)), m_seq(first_sequence) {
  // A random SSRC per stream: a restarted unit must not reuse the one its peer still knows.
  std::random_device rd;
  m_ssrc = rd();
}

void RTP_factory::write_header(unsigned char* b, uint8_t first_byte) {
  b[0] = first_byte;
  b[1] = static_cast<unsigned char>(m_marker | m_payload_type);
  b[2] = static_cast<unsigned char>(m_seq >> 8);
  b[3] = static_cast<unsigned char>(m_seq);
  b[4] = static_cast<unsigned char>(m_timestamp >> 24);
  b[5] = static_cast<unsigned char>(m_timestamp >> 16);
  b[6] = static_cast<unsigned char>(m_timestamp >> 8);
  b[7] = static_cast<unsigned char>(m_timestamp);
  std::memcpy(b + 8, &m_ssrc, 4);
  ++m_seq;
  m_timestamp += m_step;
  m_marker = 0;
}

int RTP_factory::make_packet(unsigned char* buffer, unsigned capacity, const unsigned char* payload,
                             unsigned length) {
  if (buffer == nullptr) return -1;
  if (capacity < length + rtp_header_size || (length > 0 && payload == nullptr)) return -2;
  write_header(buffer, 0x80);
  if (length) std::memcpy(buffer + rtp_header_size, payload, length);
  return static_cast<int>(length + rtp_header_size);
}

int RTP_factory::make_end_packet(unsigned char* buffer, unsigned capacity) {
  if (buffer == nullptr) return -1;
  if (capacity < rtp_end_packet_size) return -2;
  write_header(buffer, 0x90);
  static const unsigned char ext[8] = {0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01};
  std::memcpy(buffer + rtp_header_size, ext, sizeof ext);
  return rtp_end_packet_size;
}

uint16_t RTP_factory::proc_error_packet() {
  const uint16_t skipped = m_seq++;
  m_timestamp += m_step;
  return skipped;
}

}  // namespace orva
