#include "stream_statistics.h"

#include <cstdint>

namespace orva {

std::vector<unsigned char> media_error_status_payload(int source, bool error) {
  const auto s = static_cast<uint32_t>(source);
  // The 32-bit source in the host's order, as the controller reads it back.
  std::vector<unsigned char> p(8, 0);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(s >> (8 * i));
  p[4] = error ? 1 : 0;
  return p;
}

void stream_statistics::reset() {
  m_state = idle;
  m_frames = 0;
  m_last_error = 0;
  for (auto& c : m_counters) c = 0;
}

bool stream_statistics::count_frame() {
  const int n = ++m_frames;
  if (state() == idle && n > start_delay) {
    m_state = counting;
    return true;
  }
  return false;
}

int stream_statistics::error_event(counter_e which) {
  if (!is_counting()) return 0;
  const int n = ++m_counters[which];
  if (m_last_error.load() == 0) notify_to_app(true);
  // Frame numbers start at 1 while counting, so 0 stays "no error marked".
  const int f = m_frames.load();
  m_last_error = f > 0 ? f : 1;
  return n;
}

void stream_statistics::good_packet() {
  if (!is_counting()) return;
  ++m_counters[good_packets];
  const int last = m_last_error.load();
  if (last != 0 && m_frames.load() - last > error_hold) {
    notify_to_app(false);
    m_last_error = 0;
  }
}

void stream_statistics::notify_to_app(bool error) {
  if (m_listener) m_listener->post(media_cmd_error_status, media_error_status_payload(media_error_source_audio, error));
}

}  // namespace orva
