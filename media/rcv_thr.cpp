#include "rcv_thr.h"

#include <arpa/inet.h>
#include <sched.h>
#include <sys/select.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "audio_manager_base.h"
#include "log.h"
#include "util.h"

namespace orva {

rcv_thr_f::rcv_thr_f(audio_manager_base* engine, const int* sockets, int num, unsigned source_address,
                     packet_buffer* buffer, stream_statistics* statistics, int timeout_ms)
    : m_engine(engine), m_buffer(buffer), m_num(num < 0 ? 0 : (num > 2 ? 2 : num)), m_timeout_ms(timeout_ms),
      m_source(source_address), m_statistics(statistics) {
  for (int i = 0; i < m_num; ++i) m_socket[i] = sockets[i];
}

bool rcv_thr_f::pre_proc() {
  if (set_priority(SCHED_RR, 30) != 0) log_s.error("rcv_thr_f: can't set thread priority, %s", std::strerror(errno));
  return true;
}

void rcv_thr_f::main_loop() {
  int received = 0;
  int empty_passes = 0;
  int last_errno = 0;
  while (!ended()) {
    fd_set fds;
    FD_ZERO(&fds);
    int maxfd = -1;
    for (int i = 0; i < m_num; ++i)
      if (m_socket[i] >= 0 && m_socket[i] < FD_SETSIZE) {
        FD_SET(m_socket[i], &fds);
        if (m_socket[i] > maxfd) maxfd = m_socket[i];
      }
    timeval tv{0, 100000};
    const int r = select(maxfd + 1, maxfd >= 0 ? &fds : nullptr, nullptr, nullptr, &tv);
    if (r == 0) {
      ++empty_passes;
      const int timeout = m_timeout_ms.load();
      if (timeout >= 1 && received > 0 && empty_passes > timeout / 100) {
        log_s.error("rcv_thr_f: timeout %d", empty_passes);
        end();
        if (m_engine) m_engine->notify_rtp_stat(false);
        break;
      }
      continue;
    }
    if (r < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      log_s.error("rcv_thr_f: select failed.%s err = %d, last = %d", std::strerror(e), e, last_errno);
      last_errno = e;
      break;
    }
    for (int i = 0; i < m_num && !ended(); ++i) {
      if (m_socket[i] < 0 || !FD_ISSET(m_socket[i], &fds)) continue;
      sockaddr_in from{};
      socklen_t fromlen = sizeof from;
      const ssize_t n = recvfrom(m_socket[i], m_datagram, sizeof m_datagram, MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromlen);
      if (n <= 0) continue;
      if (m_source != 0 && from.sin_addr.s_addr != m_source) continue;
      // No codec produces more than the record holds; a longer datagram is not ours.
      if (n > RTP::capacity) continue;
      if (m_loss_test && random_test()) continue;
      std::memcpy(m_rtp.data, m_datagram, static_cast<size_t>(n));
      m_rtp.length = static_cast<int>(n);
      if (received == 0) log_s.debug("receive first RTP packet.");
      empty_passes = 0;
      stream_statistics* st = m_statistics.load();
      if (rtp_is_end_packet(m_rtp.data, m_rtp.length)) {
        if (st && st->is_counting()) {
          st->set_state(stream_statistics::ended);
          log_s.debug("stream_statistics: end counting");
        }
        log_s.debug("receive end notification packet.");
        end();
        if (m_engine) m_engine->notify_rcv_end_packet();
        break;
      }
      if (m_buffer->add_packet(m_rtp) == packet_buffer::err_overflow) {
        if (st) st->error_event(stream_statistics::pb_overflows);
        log_s.error("packet buffer overflow: seq = %hu", m_rtp.seq());
      }
      if (++received == 1 && m_engine) m_engine->notify_rtp_stat(true);
    }
  }
  log_s.debug("rcv_thr_f: end");
}

}  // namespace orva
