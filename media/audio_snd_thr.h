// Send thread: takes captured frames from the send queue, encodes them and sends them as RTP on
// one line, or alternately on two. At its end it sends ten end-of-stream packets.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

#include "codec.h"
#include "line_queue.h"
#include "rtp.h"
#include "thread_function.h"

namespace orva {

class a_snd_thr_f : public thread_function {
 public:
  static constexpr int end_packets = 10;

  a_snd_thr_f(line_queue* send_queue, bool main);

  bool pre_proc() override;
  void main_loop() override;

  // Hands the stream's lines and codec to the thread (any time after it started).
  void start_rtp_transmit(const int* sockets, const sockaddr_in* destinations, int num, codec* c);
  void stop_rtp_transmit();

  uint16_t next_sequence() const;

 protected:
  virtual void data_received(std::vector<short>&) {}
  virtual void after_sending(std::vector<short>&, unsigned char*, unsigned int) {}

 private:
  void send_one(std::vector<short>& frame);
  void send_end_packets();
  int line_for_packet() const { return static_cast<int>(m_packet_count & m_mask); }

  // Stream set-up, written once by start_rtp_transmit before the thread uses it.
  mutable std::mutex m_setup_mutex;
  int m_socket[2] = {-1, -1};
  std::atomic<codec*> m_codec{nullptr};
  line_queue* m_queue;
  RTP_factory m_factory;
  int m_num = 0;
  unsigned m_mask = 0;
  sockaddr_in m_dest[2] = {};
  bool m_main;

  unsigned m_packet_count = 0;
  int m_last_errno = 0;
  bool m_gap_logged = false;
  double m_max_wait_ms = 0, m_max_encode_ms = 0;
  std::vector<short> m_frame;
  unsigned char m_payload[1600];
  unsigned char m_packet[1600];
};

}  // namespace orva
