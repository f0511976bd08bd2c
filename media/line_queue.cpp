#include "line_queue.h"

#include "log.h"

namespace orva {

void line_queue::push(const frame& f) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_frames.full()) {
      // Reuse the oldest frame's storage instead of allocating in the audio path.
      frame old = std::move(m_frames.front());
      m_frames.pop_front();
      old.assign(f.begin(), f.end());
      m_frames.push_back(std::move(old));
    } else {
      m_frames.push_back(f);
    }
  }
  m_cv.notify_one();
}

bool line_queue::pop_until(frame& out, std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_cv.wait_until(lock, deadline, [this] { return !m_frames.empty(); })) return false;
  out.swap(m_frames.front());
  m_frames.pop_front();
  return true;
}

void line_queue::clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_frames.clear();
}

size_t line_queue::size() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_frames.size();
}

void line_queue::set_line(int line) {
  log_s.debug("line_queue::set_line: line %d", line);
  m_line = line;
}

}  // namespace orva
