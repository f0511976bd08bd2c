#include "audio_manager.h"

#include <chrono>
#include <new>
#include <thread>

#include "log.h"
#include "util.h"

namespace orva {

audio_manager::audio_manager(media_listener* listener, bool main, const char* capture_name,
                             const char* playback_name, const ports& p, audio_device_factory* devices)
    : audio_manager_base(listener, main, capture_name, playback_name, devices), m_ports(p), m_statistics(listener) {}

audio_manager::~audio_manager() {
  // No report to a controller that may itself be going away.
  audio_manager_base::stop_rtp();
  audio_manager_base::stop_threads();
}

int audio_manager::start_threads(int fs, int frame) { return start_threads(fs, frame, m_meters); }

int audio_manager::start_threads(int fs, int frame, level_meter_sink* meters) {
  try {
    m_meters = meters;
    audio_in_dev* devs[1] = {m_in_dev.get()};
    auto in = std::make_unique<audio_in_thr_f>(fs, frame, 2, devs, &m_send_queue, &m_monitor_queue, meters,
                                               &m_statistics);
    in->set_digital_base_gain(m_dig_base);
    in->set_digital_gain(m_dig_left, m_dig_right);
    in->set_input_src(m_input_src);
    in->set_overflow_test(m_test_overflow);
    m_in_thr = std::move(in);
    m_out_thr = std::make_unique<out_thr_f>(m_out_dev.get(), &m_buffer, &m_monitor_queue, meters, &m_statistics);
    m_out_thr->set_underflow_test(m_test_underflow);
    apply_gains_to_threads();
    m_out_thread = std::thread(std::ref(*m_out_thr));
    m_in_thread = std::thread(std::ref(*m_in_thr));
    return 0;
  } catch (const std::bad_alloc& e) {
    log_s.error("audio_manager::start_threads: bad alloc catched. %s", e.what());
    return -1;
  } catch (const std::exception& e) {
    log_s.error("audio_manager::start_threads: exception catched. %s", e.what());
    return -2;
  }
}

int audio_manager::restart(codec* c, int in_periods, int out_periods) {
  return restart(c, in_periods, out_periods, m_meters);
}

int audio_manager::restart(codec* c, int in_periods, int out_periods, level_meter_sink* meters) {
  if (c == nullptr) throw std::runtime_error("unsupported codec");
  std::lock_guard<std::recursive_mutex> lock(m_rtp_mutex);
  const int v = m_ports.hp_volume ? m_ports.hp_volume->get() : 0;
  for (int s = v; s >= 1 && m_ports.hp_volume; --s) {
    m_ports.hp_volume->set(s);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  stop_threads();
  close_streams();
  m_statistics.frame_samples = c->frame_samples();
  m_statistics.sampling_frequency = c->sampling_frequency();
  auto ramp_up = [&] {
    for (int s = 0; s <= v && m_ports.hp_volume; ++s) {
      m_ports.hp_volume->set(s);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  int r = 0;
  try {
    if (!open_streams(c, in_periods, out_periods))
      r = 1;
    else if ((r = start_streams()) == 0)
      r = start_threads(c->sampling_frequency(), c->frame_samples(), meters);
  } catch (...) {
    // A card that cannot be opened: nothing runs, and the headphones get their volume back.
    stop_threads();
    close_streams();
    ramp_up();
    throw;
  }
  if (r == 0) {
    m_codec = c;
    m_buffer.set_name(c->name());
  } else {
    stop_threads();
    close_streams();
  }
  ramp_up();
  return r;
}

int audio_manager::start_rtp(const char* remote_address, const uint16_t* remote_ports, const uint16_t* local_ports,
                             int num, codec* c, const buffer_ctrl& ctrl) {
  return audio_manager_base::start_rtp(remote_address, remote_ports, local_ports, num, c, ctrl);
}

int audio_manager::start_rtp(const char* remote_address, const uint16_t* remote_ports, const uint16_t* local_ports,
                             int num, codec* c, const buffer_ctrl& ctrl, int recv_timeout) {
  try {
    std::lock_guard<std::recursive_mutex> lock(m_rtp_mutex);
    const int r = audio_manager_base::start_rtp(remote_address, remote_ports, local_ports, num, c, ctrl);
    if (r != 0) return r;
    m_statistics.reset();
    set_recv_timeout(recv_timeout);
    m_monitor_queue.set_line(1);
    if (m_rcv_thr) {
      m_rcv_thr->set_statistics(&m_statistics);
      m_rcv_thr->set_packet_loss_test(m_test_loss);
    }
    return 0;
  } catch (const std::exception& e) {
    log_s.error("start_rtp: exception catched. %s", e.what());
    return -10;
  } catch (...) {
    log_s.error("start_rtp: catch unknown exception.");
    return -11;
  }
}

int audio_manager::stop_rtp() {
  if (m_rcv_thread.joinable() && m_rcv_thread.get_id() == std::this_thread::get_id())
    return audio_manager_base::stop_rtp();
  std::lock_guard<std::recursive_mutex> lock(m_rtp_mutex);
  if (m_statistics.is_counting()) {
    m_statistics.set_state(stream_statistics::ended);
    log_s.debug("stream_statistics: end counting");
  }
  const int r = audio_manager_base::stop_rtp();
  if (r == 0) m_monitor_queue.set_line(m_monitor_restore_line);
  if (m_listener)
    m_listener->post(media_cmd_error_status, media_error_status_payload(media_error_source_audio, false));
  return r;
}

void audio_manager::digital_in_base_gain(float db) {
  m_dig_base = gain_db_to_coef(db);
  if (in_thr()) in_thr()->set_digital_base_gain(m_dig_base);
}

void audio_manager::digital_in_gain(const std::pair<float, float>& db) {
  m_dig_left = gain_db_to_coef(db.first);
  m_dig_right = gain_db_to_coef(db.second);
  if (in_thr()) in_thr()->set_digital_gain(m_dig_left, m_dig_right);
}

void audio_manager::set_input_src(audio_src_e src) {
  if (m_ports.input_source) m_ports.input_source->set(src == audio_src_analog);
  m_input_src = src;
  if (in_thr()) in_thr()->set_input_src(src);
}

int audio_manager::get_input_src() const { return m_ports.input_source && m_ports.input_source->get() ? 1 : 0; }

void audio_manager::set_hp_src(int src) {
  if (m_ports.hp_source) m_ports.hp_source->set(src == 0);
}

int audio_manager::get_hp_src() const { return m_ports.hp_source && m_ports.hp_source->get() ? 0 : 1; }

void audio_manager::set_test_sound(test_sound_id id) {
  if (in_thr()) in_thr()->set_test_sound(id);
}

test_sound_id audio_manager::get_test_sound() const { return in_thr() ? in_thr()->get_test_sound() : test_sound_none; }

int audio_manager::read_check_sound() { return in_thr() ? in_thr()->read_music_data() : -1; }

int audio_manager::buffering_samples() const { return m_out_thr ? m_out_thr->buffering_samples() : 0; }

void audio_manager::test_packet_loss() {
  m_test_loss = true;
  if (m_rcv_thr) m_rcv_thr->set_packet_loss_test(true);
}

void audio_manager::test_pb_underflow() { m_buffer.set_underflow_test(true); }
void audio_manager::test_pb_overflow() { m_buffer.set_overflow_test(true); }

void audio_manager::test_alsa_overflow() {
  m_test_overflow = true;
  if (in_thr()) in_thr()->set_overflow_test(true);
}

void audio_manager::test_alsa_underflow() {
  m_test_underflow = true;
  if (m_out_thr) m_out_thr->set_underflow_test(true);
}

}  // namespace orva
