#include "udp_relay.h"

#include <poll.h>

#include <chrono>
#include <map>
#include <vector>

namespace orva::test {

udp_relay::udp_relay(uint16_t destination, impairment imp)
    : m_dest(destination), m_imp(imp), m_rng(imp.seed), m_thread([this] { run(); }) {}

udp_relay::~udp_relay() {
  m_stop = true;
  m_thread.join();
}

relay_counts udp_relay::counts() const {
  std::lock_guard<std::mutex> l(m_mutex);
  return m_counts;
}

void udp_relay::run() {
  using clock = std::chrono::steady_clock;
  std::multimap<clock::time_point, std::vector<unsigned char>> due;
  std::uniform_real_distribution<double> u(0.0, 1.0);
  while (!m_stop) {
    const auto now = clock::now();
    while (!due.empty() && due.begin()->first <= now) {
      m_in.send_to(m_dest, due.begin()->second.data(), due.begin()->second.size());
      due.erase(due.begin());
      std::lock_guard<std::mutex> l(m_mutex);
      ++m_counts.sent;
    }
    int wait = 20;
    if (!due.empty())
      wait = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(due.begin()->first - now).count());
    pollfd p{m_in.fd(), POLLIN, 0};
    if (poll(&p, 1, wait < 0 ? 0 : (wait > 20 ? 20 : wait)) != 1) continue;
    std::vector<unsigned char> d(2048);
    const ssize_t n = recv(m_in.fd(), d.data(), d.size(), 0);
    if (n <= 0) continue;
    d.resize(static_cast<size_t>(n));
    std::lock_guard<std::mutex> l(m_mutex);
    ++m_counts.received;
    // Draw every decision for every datagram so that a seed gives the same run whatever the
    // probabilities are.
    const double r_loss = u(m_rng), r_dup = u(m_rng), r_reorder = u(m_rng);
    const int jitter = m_imp.jitter_ms > 0 ? static_cast<int>(m_rng() % (m_imp.jitter_ms + 1)) : 0;
    if (r_loss < m_imp.loss) {
      ++m_counts.dropped;
      continue;
    }
    auto at = clock::now() + std::chrono::milliseconds(m_imp.delay_ms + jitter);
    if (r_reorder < m_imp.reorder) {
      at += std::chrono::milliseconds(m_imp.reorder_ms);
      ++m_counts.reordered;
    }
    if (r_dup < m_imp.duplicate) {
      due.emplace(at + std::chrono::milliseconds(1), d);
      ++m_counts.duplicated;
    }
    due.emplace(at, std::move(d));
  }
}

}  // namespace orva::test
