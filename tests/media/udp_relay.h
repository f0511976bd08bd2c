// A UDP impairment relay for loopback tests (the kernel here has no netem): forwards every
// datagram it receives to one destination, dropping, duplicating, delaying and reordering them
// as a seeded random generator decides, so that a run can be repeated exactly.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <random>
#include <thread>

#include "net_util.h"

namespace orva::test {

struct impairment {
  double loss = 0;       // probability a datagram is dropped
  double duplicate = 0;  // probability it is sent twice
  double reorder = 0;    // probability it is held back behind later ones
  int delay_ms = 0;      // fixed delay
  int jitter_ms = 0;     // extra uniform delay 0..jitter
  int reorder_ms = 30;   // how long a reordered datagram is held back
  uint32_t seed = 1;
};

struct relay_counts {
  int received = 0, dropped = 0, duplicated = 0, reordered = 0, sent = 0;
};

class udp_relay {
 public:
  // Listens on an ephemeral loopback port and forwards to 127.0.0.1:`destination`.
  udp_relay(uint16_t destination, impairment imp);
  ~udp_relay();
  udp_relay(const udp_relay&) = delete;
  udp_relay& operator=(const udp_relay&) = delete;

  uint16_t port() const { return m_in.port(); }
  relay_counts counts() const;

 private:
  void run();

  udp_socket m_in;
  uint16_t m_dest;
  impairment m_imp;
  std::mt19937 m_rng;
  mutable std::mutex m_mutex;
  relay_counts m_counts;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

}  // namespace orva::test
