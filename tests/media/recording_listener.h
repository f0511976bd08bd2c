// A stand-in for the controller that records what the media engine reports.
#pragma once

#include <mutex>
#include <vector>

#include "media_listener.h"

namespace orva::test {

class recording_listener : public media_listener {
 public:
  struct event {
    enum kind_e { rtp_stat, end_packet, command } kind;
    int value;  // rtp_stat: receiving; command: id
    std::vector<unsigned char> payload;
  };

  void notify_rtp_stat(bool receiving) override { add({event::rtp_stat, receiving ? 1 : 0, {}}); }
  void notify_rcv_end_packet() override { add({event::end_packet, 0, {}}); }
  void post(int id, std::vector<unsigned char> payload) override { add({event::command, id, std::move(payload)}); }

  std::vector<event> events() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_events;
  }
  int count(event::kind_e k, int value) const {
    int n = 0;
    for (const event& e : events()) n += e.kind == k && e.value == value;
    return n;
  }
  void clear() {
    std::lock_guard<std::mutex> l(m_mutex);
    m_events.clear();
  }

 private:
  void add(event e) {
    std::lock_guard<std::mutex> l(m_mutex);
    m_events.push_back(std::move(e));
  }
  mutable std::mutex m_mutex;
  std::vector<event> m_events;
};

}  // namespace orva::test
