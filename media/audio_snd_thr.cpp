#include "audio_snd_thr.h"

#include <sched.h>
#include <sys/socket.h>
#include <time.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "log.h"

namespace orva {

namespace {
double raw_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}
}  // namespace

a_snd_thr_f::a_snd_thr_f(line_queue* send_queue, bool main) : m_queue(send_queue), m_main(main) {}

bool a_snd_thr_f::pre_proc() {
  if (set_priority(SCHED_RR, 10) != 0) log_s.warn("a_snd_thr_f::pre_proc set_priorty failed.");
  return true;
}

void a_snd_thr_f::start_rtp_transmit(const int* sockets, const sockaddr_in* destinations, int num, codec* c) {
  std::lock_guard<std::mutex> lock(m_setup_mutex);
  m_num = num < 1 ? 1 : (num > 2 ? 2 : num);
  m_mask = (1u << (m_num - 1)) - 1;
  for (int i = 0; i < m_num; ++i) {
    m_socket[i] = sockets[i];
    m_dest[i] = destinations[i];
  }
  if (c) m_factory = RTP_factory(c->payload_type(), c->sampling_frequency(), c->timestamp_interval());
  m_codec = c;
}

void a_snd_thr_f::stop_rtp_transmit() {
  std::lock_guard<std::mutex> lock(m_setup_mutex);
  for (int i = 0; i < m_num; ++i) m_socket[i] = -1;
}

uint16_t a_snd_thr_f::next_sequence() const {
  std::lock_guard<std::mutex> lock(m_setup_mutex);
  return m_factory.sequence();
}

void a_snd_thr_f::main_loop() {
  while (!ended()) {
    codec* c = m_codec.load();
    const int wait_ms = c ? c->frame_samples() * 2000 / c->sampling_frequency() : 50;
    const double t0 = m_main ? raw_ms() : 0;
    if (!m_queue->pop_for(m_frame, std::chrono::milliseconds(wait_ms))) {
      if (m_main && !m_gap_logged) {
        log_s.debug("a_snd_thr_f::main_loop: no data. num = %d, sz = %u", -1, static_cast<unsigned>(m_queue->size()));
        m_gap_logged = true;
      }
      continue;
    }
    m_gap_logged = false;
    if (m_main) {
      const double w = raw_ms() - t0;
      if (w > m_max_wait_ms) {
        m_max_wait_ms = w;
        log_s.debug("audio wait %f[ms]", w);
      }
    }
    send_one(m_frame);
  }
  send_end_packets();
  log_s.info("a_snd_thr_f: end");
}

void a_snd_thr_f::send_one(std::vector<short>& frame) {
  std::lock_guard<std::mutex> lock(m_setup_mutex);
  if (frame.empty()) {
    // A capture failure: the receiver sees one missing sequence number.
    const uint16_t skipped = m_factory.proc_error_packet();
    if (m_main) log_s.warn("skip RTP packet: seq = %hu", skipped);
    return;
  }
  data_received(frame);
  if (m_socket[0] == -1) {
    log_s.debug("a_snd_thr_f: m_sock == -1");
    return;
  }
  codec* c = m_codec.load();
  if (c == nullptr) {
    log_s.debug("a_snd_thr_f: m_cdc == nullptr");
    return;
  }
  const double t0 = m_main ? raw_ms() : 0;
  const int len = c->encode(m_payload, codec_max_payload, frame.data(),
                            static_cast<int>(frame.size()) / (c->channels() > 0 ? c->channels() : 1));
  if (m_main) {
    const double e = raw_ms() - t0;
    if (e > m_max_encode_ms) {
      m_max_encode_ms = e;
      log_s.debug("audio encode %f[ms]", e);
    }
  }
  if (len < 1) {
    m_factory.proc_error_packet();
    ++m_packet_count;
    return;
  }
  std::memset(m_packet, 0, sizeof m_packet);
  m_factory.set_payload_type(c->payload_type());
  const int n = m_factory.make_packet(m_packet, sizeof m_packet, m_payload, static_cast<unsigned>(len));
  if (n < 0) {
    log_s.error("rtp_factory::make_packet returns %d", n);
    return;
  }
  const int line = line_for_packet();
  const int fd = m_socket[line] >= 0 ? m_socket[line] : m_socket[0];
  if (sendto(fd, m_packet, static_cast<size_t>(n), 0, reinterpret_cast<const sockaddr*>(&m_dest[line]),
             sizeof(sockaddr_in)) >= 0) {
    ++m_packet_count;
    m_last_errno = 0;
  } else if (errno != m_last_errno) {
    const int e = errno;
    log_s.error("a_snd_thr_f: sendto failed %s, errno = %d, last = %d", std::strerror(e), e, m_last_errno);
    m_last_errno = e;
  }
  after_sending(frame, m_packet, static_cast<unsigned>(n));
}

void a_snd_thr_f::send_end_packets() {
  for (int i = 0; i < end_packets; ++i) {
    {
      std::lock_guard<std::mutex> lock(m_setup_mutex);
      if (m_socket[0] < 0 || m_codec.load() == nullptr) break;
      const int n = m_factory.make_end_packet(m_packet, sizeof m_packet);
      const int line = line_for_packet();
      const int fd = m_socket[line] >= 0 ? m_socket[line] : m_socket[0];
      if (n > 0)
        sendto(fd, m_packet, static_cast<size_t>(n), 0, reinterpret_cast<const sockaddr*>(&m_dest[line]),
               sizeof(sockaddr_in));
      ++m_packet_count;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace orva
