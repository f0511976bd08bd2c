// Reception fault counters of the main engine's RTP stream. Tells the controller (command 35)
// when the stream turns bad and when it has been good again for a while.
//
// Written by the capture, playback and receive threads, reset by the controller's thread
// between streams: every field is atomic, and an increment lost between two threads would be
// harmless.
#pragma once

#include <atomic>

#include "media_listener.h"

namespace orva {

class stream_statistics {
 public:
  enum state_e { idle = 0, counting = 1, ended = 2 };
  enum counter_e { good_packets, packet_losses, alsa_overflows, alsa_underflows, pb_overflows, spare, counter_count };

  explicit stream_statistics(media_listener* listener) : m_listener(listener) {}

  state_e state() const { return static_cast<state_e>(m_state.load()); }
  void set_state(state_e s) { m_state = s; }
  bool is_counting() const { return state() == counting; }
  // Counters and state back to idle for a new stream.
  void reset();

  int frames() const { return m_frames.load(); }
  // One network-mode frame played; starts counting once more than the start delay has passed.
  // Returns true when counting started with this frame.
  bool count_frame();

  // An error event while counting: counts it and, if none is marked, reports the error.
  // Returns the new count (0 when not counting, nothing counted).
  int error_event(counter_e which);
  // A decoded packet while counting; clears a marked error once the hold time has passed.
  void good_packet();

  int counter(counter_e which) const { return m_counters[which].load(); }
  bool error_marked() const { return m_last_error.load() != 0; }

  void notify_to_app(bool error);

  // Parameters.
  int start_delay = 1875;
  int frame_samples = 128;
  int sampling_frequency = 48000;
  int error_hold = 375;

 private:
  std::atomic<int> m_state{idle};
  media_listener* m_listener;
  std::atomic<int> m_frames{0};
  std::atomic<int> m_last_error{0};
  std::atomic<int> m_counters[counter_count] = {};
};

}  // namespace orva
