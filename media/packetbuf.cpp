#include "packetbuf.h"

#include "log.h"
#include "util.h"

namespace orva {

namespace {
// Signed distance from b to a on the 16-bit sequence circle: positive when a is later.
int seq_diff(uint16_t a, uint16_t b) { return static_cast<int16_t>(static_cast<uint16_t>(a - b)); }
// A gap this wide is no burst of losses but a sender that jumped: resynchronise at once
// instead of concealing every missing number one frame at a time.
constexpr int resync_gap = 1000;
}  // namespace

packet_buffer::packet_buffer(int start_threshold, int capacity)
    : m_start_threshold(start_threshold), m_capacity(capacity) {
  m_packets.reserve(static_cast<size_t>(capacity > 0 ? capacity : 1));
}

int packet_buffer::size() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(m_packets.size());
}

void packet_buffer::set_name(const std::string& name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_name = name;
}

void packet_buffer::set_dimensions(int start_threshold, int capacity) {
  std::lock_guard<std::mutex> lock(m_mutex);
  unlocked_clear();
  m_start_threshold = start_threshold < 1 ? 1 : start_threshold;
  m_capacity = capacity < m_start_threshold ? m_start_threshold.load() : capacity;
  m_packets.reserve(static_cast<size_t>(m_capacity.load()));
}

void packet_buffer::clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  unlocked_clear();
}

void packet_buffer::unlocked_clear() {
  m_packets.clear();
  m_started = false;
  m_ssrc_known = false;
  m_last_seq = -1;
  m_refusals = 0;
}

int packet_buffer::check_packet(const RTP& p) {
  int offset, length;
  if (p.length < rtp_header_size) return err_short;
  if ((p.data[0] & 0xc0) != 0x80) return err_version;
  if (!rtp_payload(p.data, p.length, &offset, &length)) return err_short;
  if (!m_ssrc_known) {
    m_ssrc_known = true;
    m_ssrc = p.ssrc();
  } else if (p.ssrc() != m_ssrc) {
    return err_ssrc;
  }
  if (m_last_seq >= 0 && seq_diff(p.seq(), static_cast<uint16_t>(m_last_seq)) <= 0) return err_late;
  for (const RTP& h : m_packets)
    if (h.seq() == p.seq()) return err_duplicate;
  return ok;
}

int packet_buffer::add_packet(const RTP& p) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (static_cast<int>(m_packets.size()) >= m_capacity) {
    log_s.warn("packet buffer overflow.: %s", m_name.c_str());
    unlocked_clear();
    return err_overflow;
  }
  if (m_overflow_test && random_test()) {
    log_s.warn("test: packet buffer overflow: %s", m_name.c_str());
    unlocked_clear();
    return err_overflow;
  }
  int r = check_packet(p);
  if (r == err_ssrc || r == err_late) {
    // A sender that restarted comes back with a new SSRC, or with its sequence numbers from the
    // start again: learn it anew rather than refusing it for ever and silencing the call.
    if ((r == err_ssrc && m_packets.empty()) || ++m_refusals >= relearn_after) {
      log_s.warn("packet_buffer: new stream from the peer (ssrc %08x, seq %u), learned again: %s",
                 static_cast<unsigned>(p.ssrc()), static_cast<unsigned>(p.seq()), m_name.c_str());
      const bool started = m_started;
      unlocked_clear();
      m_started = started && m_start_threshold <= 1;
      r = check_packet(p);
    }
  }
  if (r != ok) {
    log_s.warn("add_packet failed. err = %d: %s", r, m_name.c_str());
    return r;
  }
  m_refusals = 0;
  m_packets.push_back(p);
  if (static_cast<int>(m_packets.size()) >= m_start_threshold) m_started = true;
  return ok;
}

int packet_buffer::earliest_index() const {
  // Relative to the expected number the order is a plain one; without one, the packet that is
  // later than none of the others.
  int best = 0;
  for (int i = 1; i < static_cast<int>(m_packets.size()); ++i) {
    if (m_last_seq >= 0) {
      const uint16_t ref = static_cast<uint16_t>(m_last_seq + 1);
      if (static_cast<uint16_t>(m_packets[i].seq() - ref) < static_cast<uint16_t>(m_packets[best].seq() - ref))
        best = i;
    } else if (seq_diff(m_packets[best].seq(), m_packets[i].seq()) > 0) {
      best = i;
    }
  }
  return best;
}

int packet_buffer::get_packet(RTP* out) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_underflow_test && random_test()) {
    log_s.warn("test: packet buffer underflow: %s", m_name.c_str());
    unlocked_clear();
    return err_not_started;
  }
  if (!m_started) return err_not_started;
  if (m_packets.empty()) {
    m_started = false;
    return err_empty;
  }
  const int top = earliest_index();
  const uint16_t seq = m_packets[top].seq();
  if (m_last_seq >= 0) {
    const uint16_t expected = static_cast<uint16_t>(m_last_seq + 1);
    const int gap = seq_diff(seq, expected);
    if (gap > 0 && gap < resync_gap) {
      m_last_seq = expected;
      log_s.warn("packet_buffer::%s: packet loss, seq = %u: %s", "get_packet", static_cast<unsigned>(expected),
                 m_name.c_str());
      return err_loss;
    }
    if (gap != 0)
      log_s.warn("packet_buffer::%s: sequence jump from %u to %u: %s", "get_packet",
                 static_cast<unsigned>(expected), static_cast<unsigned>(seq), m_name.c_str());
  }
  if (out) *out = m_packets[top];
  m_packets[top] = m_packets.back();
  m_packets.pop_back();
  m_last_seq = seq;
  return ok;
}

}  // namespace orva
