// A queue of captured PCM frames between the capture thread and a consumer (the send thread or
// the local monitor). Its line says whether the capture thread feeds it at all.
#pragma once

#include <atomic>
#include <boost/circular_buffer.hpp>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace orva {

class line_queue {
 public:
  using frame = std::vector<short>;
  static constexpr int default_capacity = 128;

  explicit line_queue(int capacity = default_capacity) : m_frames(static_cast<size_t>(capacity)) {}

  // Appends a copy of the frame, overwriting the oldest when full, and wakes one waiter.
  void push(const frame& f);
  // Takes the front frame into `out`, waiting until `deadline` while empty. False on time-out.
  bool pop_until(frame& out, std::chrono::steady_clock::time_point deadline);
  bool pop_for(frame& out, std::chrono::milliseconds wait) {
    return pop_until(out, std::chrono::steady_clock::now() + wait);
  }
  void clear();
  size_t size() const;

  int line() const { return m_line.load(); }
  // Logs the change at debug level.
  void set_line(int line);

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  boost::circular_buffer<frame> m_frames;
  std::atomic<int> m_line{0};
};

}  // namespace orva
