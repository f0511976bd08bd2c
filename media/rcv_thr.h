// Receive thread: reads RTP datagrams from the stream's sockets, filters them by source,
// recognises the peer's end-of-stream packet, hands the rest to the packet buffer, and reports
// the first packet and a receive time-out through the engine.
#pragma once

#include <atomic>

#include "packetbuf.h"
#include "stream_statistics.h"
#include "thread_function.h"

namespace orva {

class audio_manager_base;

class rcv_thr_f : public thread_function {
 public:
  // `source_address` in network order; 0 accepts any sender. `timeout_ms` 0: no time-out.
  rcv_thr_f(audio_manager_base* engine, const int* sockets, int num, unsigned source_address, packet_buffer* buffer,
            stream_statistics* statistics, int timeout_ms);

  bool pre_proc() override;
  void main_loop() override;

  void set_recv_timeout(int ms) { m_timeout_ms = ms; }
  void set_statistics(stream_statistics* s) { m_statistics = s; }
  void set_packet_loss_test(bool on) { m_loss_test = on; }

 private:
  audio_manager_base* m_engine;
  packet_buffer* m_buffer;
  int m_socket[2] = {-1, -1};
  int m_num;
  std::atomic<int> m_timeout_ms;
  unsigned m_source;
  std::atomic<bool> m_loss_test{false};
  std::atomic<stream_statistics*> m_statistics;
  RTP m_rtp;
  unsigned char m_datagram[2048];
};

}  // namespace orva
