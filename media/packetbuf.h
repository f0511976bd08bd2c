// The receive side's jitter buffer: the receive thread adds RTP packets in arrival order, the
// playback thread takes them out in sequence order, one per frame. Guarded by one mutex.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "rtp.h"

namespace orva {

class packet_buffer {
 public:
  enum result : int {
    ok = 0,
    err_short = -201,      // shorter than the RTP header it claims
    err_version = -202,    // not RTP version 2
    err_ssrc = -204,       // another sender
    err_overflow = -300,   // full (or the overflow test fired): the buffer was cleared
    err_empty = -301,      // nothing held: playback waits for the start threshold again
    err_duplicate = -302,  // that sequence number is already held
    err_loss = -303,       // the next expected packet is missing; counted as played
    err_late = -304,       // not newer than the packet last handed out
    err_not_started = -305,
  };

  // Consecutive refusals of another SSRC, or of packets behind the last one handed out, after
  // which the sender is taken to have restarted and its stream is learned afresh.
  static constexpr int relearn_after = 25;

  packet_buffer(int start_threshold, int capacity);

  int add_packet(const RTP& p);
  int get_packet(RTP* out);
  void clear();
  // Start threshold and capacity for a new stream (clears).
  void set_dimensions(int start_threshold, int capacity);
  void set_name(const std::string& name);

  int start_threshold() const { return m_start_threshold.load(); }
  int capacity() const { return m_capacity.load(); }
  int size() const;
  bool empty() const { return size() == 0; }

  // Debug hooks: from now on, each `random_test` draw may fire a fault.
  void set_overflow_test(bool on) { m_overflow_test = on; }
  void set_underflow_test(bool on) { m_underflow_test = on; }

 private:
  int check_packet(const RTP& p);
  void unlocked_clear();
  int earliest_index() const;

  std::vector<RTP> m_packets;
  std::atomic<int> m_start_threshold;
  std::atomic<int> m_capacity;
  mutable std::mutex m_mutex;
  bool m_ssrc_known = false;
  uint32_t m_ssrc = 0;
  std::atomic<bool> m_overflow_test{false};
  std::atomic<bool> m_underflow_test{false};
  bool m_started = false;
  int m_last_seq = -1;
  int m_refusals = 0;
  std::string m_name;
};

}  // namespace orva
