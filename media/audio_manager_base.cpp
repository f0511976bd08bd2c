#include "audio_manager_base.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "log.h"
#include "nb_socket.h"
#include "util.h"

namespace orva {

audio_manager_base::audio_manager_base(media_listener* listener, bool main, const char* capture_name,
                                       const char* playback_name, audio_device_factory* devices)
    : m_listener(listener), m_main(main), m_capture_name(capture_name ? capture_name : ""),
      m_playback_name(playback_name ? playback_name : ""), m_devices(devices ? devices : &alsa_device_factory()) {}

audio_manager_base::~audio_manager_base() {
  {
    std::unique_ptr<a_snd_thr_f> snd;
    {
      std::lock_guard<std::mutex> lock(m_snd_mutex);
      snd = std::move(m_snd_thr);
    }
    stop_thread(snd, m_snd_thread);
  }
  stop_thread(m_rcv_thr, m_rcv_thread);
  audio_manager_base::stop_threads();
  m_in_dev.reset();
  m_out_dev.reset();
  close_rtp_sock();
}

void audio_manager_base::stop_threads() {
  stop_thread(m_in_thr, m_in_thread);
  stop_thread(m_out_thr, m_out_thread);
  stop_thread(m_rcv_thr, m_rcv_thread);
}

bool audio_manager_base::open_streams(codec* c, int in_periods, int out_periods) {
  const int frame = c->frame_samples();
  m_in_dev = m_devices->open_in(m_capture_name.c_str(), c->sampling_frequency(), c->channels(), frame,
                                in_periods * frame);
  m_out_dev = m_devices->open_out(m_playback_name.c_str(), c->sampling_frequency(), c->channels(), frame,
                                  out_periods * frame);
  return m_in_dev && m_out_dev;
}

void audio_manager_base::close_streams() {
  m_in_dev.reset();
  m_out_dev.reset();
}

int audio_manager_base::start_threads(int fs, int frame) {
  m_in_thr = std::make_unique<a_in_thr_base_f>(fs, frame, m_codec->channels(), m_in_dev.get(), &m_send_queue);
  m_out_thr = std::make_unique<a_out_thr_base_f>(m_out_dev.get(), &m_buffer, nullptr);
  apply_gains_to_threads();
  m_in_thread = std::thread(std::ref(*m_in_thr));
  m_out_thread = std::thread(std::ref(*m_out_thr));
  return 0;
}

void audio_manager_base::apply_gains_to_threads() {
  if (m_in_thr) {
    m_in_thr->set_base_gain(m_in_base);
    m_in_thr->set_gain(m_in_left, m_in_right);
  }
  if (m_out_thr) {
    m_out_thr->set_base_gain(m_out_base);
    m_out_thr->set_gain(m_out_left, m_out_right);
    m_out_thr->buffer_ctrl_param(m_smpls_dec, m_smpls_stop);
  }
}

int audio_manager_base::restart(codec* c, int in_periods, int out_periods) {
  if (c == nullptr) throw std::runtime_error("unsupported codec");
  std::lock_guard<std::recursive_mutex> lock(m_rtp_mutex);
  stop_threads();
  close_streams();
  m_codec = c;
  m_buffer.set_name(c->name());
  int r = 0;
  if (!open_streams(c, in_periods, out_periods))
    r = 1;
  else if ((r = start_streams()) == 0)
    r = start_threads(c->sampling_frequency(), c->frame_samples());
  if (r != 0) {
    stop_threads();
    close_streams();
  }
  return r;
}

bool audio_manager_base::startable() const { return m_out_thr && m_out_thr->started(); }

void audio_manager_base::close_rtp_sock() {
  for (int& s : m_socket) {
    if (s >= 0) ::close(s);
    s = -1;
  }
}

int audio_manager_base::open_rtp_sock(const uint16_t* local_ports, int num) {
  if (num <= 0) return 0;
  if (num > 2) num = 2;
  for (int line = 0; line < num; ++line) {
    if (local_ports[line] == 0) continue;
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
      close_rtp_sock();
      return -1;
    }
    m_socket[line] = s;
    nb_set_block(s, false);
    if (nb_set_tos(s, nb_tos_media) != 0)
      log_s.warn("audio_manager_base: can't set TOS value. %s", std::strerror(errno));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(local_ports[line]);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      // A stream that cannot receive on its port must not be reported as started.
      log_s.error("audio_manager_base::open_rtp_sock: bind failed. %s", std::strerror(errno));
      close_rtp_sock();
      return -1;
    }
    log_s.info("RTP用 socket[%d]: bind port = %hu", line, local_ports[line]);
  }
  return 0;
}

int audio_manager_base::start_rtp(const char* remote_address, const uint16_t* remote_ports,
                                  const uint16_t* local_ports, int num, codec* c, const buffer_ctrl& ctrl) {
  std::lock_guard<std::recursive_mutex> lock(m_rtp_mutex);
  if (remote_address == nullptr) return -1;
  if (!m_out_thr) {
    log_s.error("audio_manager_base::start_rtp: m_out_thr_f is inactive.");
    return -2;
  }
  if (c == nullptr) {
    log_s.error("audio_manager_base::start_rtp: invalid codec.");
    return -3;
  }
  in_addr remote{};
  if (inet_pton(AF_INET, remote_address, &remote) != 1) {
    log_s.error("audio_manager_base::start_rtp: invalid address %s.", remote_address);
    return -1;
  }
  if (m_snd_thr || m_rcv_thr) stop_rtp();  // one stream at a time
  c->reset();
  if (open_rtp_sock(local_ports, num) != 0) {
    close_rtp_sock();
    return -1;
  }
  if (num <= 0) return 0;
  if (num > 2) num = 2;
  m_buffer.set_dimensions(ctrl.pkts_pback, 5 * ctrl.pkts_pback);
  sockaddr_in dest[2] = {};
  for (int i = 0; i < num; ++i) {
    dest[i].sin_family = AF_INET;
    dest[i].sin_addr = remote;
    dest[i].sin_port = htons(remote_ports[i]);
  }
  m_rcv_thr = std::make_unique<rcv_thr_f>(this, m_socket, num, remote.s_addr, &m_buffer, nullptr, 0);
  m_rcv_thread = std::thread(std::ref(*m_rcv_thr));
  m_smpls_dec = ctrl.smpls_dec;
  m_smpls_stop = ctrl.smpls_stop;
  m_out_thr->buffer_ctrl_param(ctrl.smpls_dec, ctrl.smpls_stop);
  m_out_thr->set_next_codec(c);
  m_out_thr->set_network_mode(true);
  {
    auto snd = std::make_unique<a_snd_thr_f>(&m_send_queue, m_main);
    snd->start_rtp_transmit(m_socket, dest, num, c);
    std::lock_guard<std::mutex> g(m_snd_mutex);
    m_snd_thr = std::move(snd);
    m_snd_thread = std::thread(std::ref(*m_snd_thr));
  }
  m_send_queue.set_line(1);
  return 0;
}

void audio_manager_base::stop_rtp_transmission() {
  std::lock_guard<std::mutex> lock(m_snd_mutex);
  if (m_snd_thr) m_snd_thr->end();
}

bool audio_manager_base::rtp_running() const {
  std::lock_guard<std::mutex> lock(m_snd_mutex);
  return m_snd_thr != nullptr;
}

int audio_manager_base::stop_rtp() {
  if (m_rcv_thread.joinable() && m_rcv_thread.get_id() == std::this_thread::get_id()) {
    // Called from a report of the receive thread: it cannot join itself; stop sending only.
    stop_rtp_transmission();
    return 0;
  }
  std::lock_guard<std::recursive_mutex> lock(m_rtp_mutex);
  m_send_queue.set_line(0);
  std::unique_ptr<a_snd_thr_f> snd;
  std::thread snd_thread;
  {
    std::lock_guard<std::mutex> g(m_snd_mutex);
    snd = std::move(m_snd_thr);
    snd_thread = std::move(m_snd_thread);
  }
  stop_thread(snd, snd_thread);
  stop_thread(m_rcv_thr, m_rcv_thread);
  close_rtp_sock();
  m_buffer.clear();
  m_send_queue.clear();
  if (m_out_thr) {
    m_out_thr->set_next_codec(nullptr);
    stream_statistics* st = m_out_thr->statistics();
    if (st && st->is_counting()) {
      st->set_state(stream_statistics::ended);
      log_s.debug("stream_statistics: end counting");
    }
    m_out_thr->set_network_mode(false);
  }
  return 0;
}

void audio_manager_base::notify_rtp_stat(bool receiving) {
  if (m_listener) m_listener->notify_rtp_stat(receiving);
}

void audio_manager_base::notify_rcv_end_packet() {
  if (m_listener) m_listener->notify_rcv_end_packet();
}

void audio_manager_base::set_recv_timeout(int ms) {
  if (m_rcv_thr) m_rcv_thr->set_recv_timeout(ms);
}

void audio_manager_base::input_base_gain(float db) {
  m_in_base = gain_db_to_coef(db);
  apply_gains_to_threads();
}

void audio_manager_base::input_gain(const std::pair<float, float>& db) {
  m_in_left = gain_db_to_coef(db.first);
  m_in_right = gain_db_to_coef(db.second);
  apply_gains_to_threads();
}

void audio_manager_base::output_base_gain(float db) {
  m_out_base = gain_db_to_coef(db);
  apply_gains_to_threads();
}

void audio_manager_base::output_gain(const std::pair<float, float>& db) {
  m_out_left = gain_db_to_coef(db.first);
  m_out_right = gain_db_to_coef(db.second);
  apply_gains_to_threads();
}

std::pair<int, int> audio_manager_base::slipped_frames() const {
  return m_out_thr ? std::make_pair(m_out_thr->inserted_frames(), m_out_thr->dropped_frames()) : std::make_pair(0, 0);
}

int audio_manager_base::sampling_frequency() const { return m_in_thr ? m_in_thr->sampling_frequency() : 0; }
int audio_manager_base::frame_size() const { return m_in_thr ? m_in_thr->frame_size() : 0; }

void audio_manager_base::buffer_ctrl_param(int smpls_dec, int smpls_stop) {
  m_smpls_dec = smpls_dec;
  m_smpls_stop = smpls_stop;
  if (m_out_thr) m_out_thr->buffer_ctrl_param(smpls_dec, smpls_stop);
}

}  // namespace orva
