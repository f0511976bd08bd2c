#include "audio_in_thr.h"

#include <sched.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <thread>

#include "log.h"
#include "unit_root.h"
#include "util.h"

namespace orva {

namespace {
short saturate(float v) { return static_cast<short>(std::clamp(v, -32768.0f, 32767.0f)); }
}  // namespace

void apply_gains(std::vector<short>& frame, float base, float left, float right) {
  const float gl = base * left, gr = base * right;
  if (gl == 1.0f && gr == 1.0f) return;
  for (size_t i = 0; i + 1 < frame.size(); i += 2) {
    frame[i] = saturate(std::roundf(frame[i] * gl));
    frame[i + 1] = saturate(std::roundf(frame[i + 1] * gr));
  }
}

a_in_thr_base_f::a_in_thr_base_f(int fs, int frame_samples, int channels, audio_in_dev* device, line_queue* send_queue)
    : m_device(device), m_fs(fs), m_frame_samples(frame_samples), m_channels(channels), m_send_queue(send_queue) {
  m_frame.reserve(static_cast<size_t>(frame_samples) * channels);
}

bool a_in_thr_base_f::pre_proc() {
  if (set_priority(SCHED_RR, 30) != 0)
    log_s.warn("a_in_thr_base_f - %d[Hz]: set_priority failed. %s", m_fs, std::strerror(errno));
  return true;
}

void a_in_thr_base_f::main_loop() {
  while (!ended())
    if (capture(m_frame) == 0) after_capture(m_frame);
}

int a_in_thr_base_f::capture(std::vector<short>& frame) {
  frame.resize(static_cast<size_t>(m_frame_samples) * m_channels);
  const int r = m_device->read(frame.data(), m_frame_samples);
  if (r == m_frame_samples || r == 0) return 0;
  if (r > 0) return r;  // a short read: the frame is skipped
  frame.clear();        // a failed read: an empty frame makes the sender skip one packet
  return 0;
}

void a_in_thr_base_f::after_capture(std::vector<short>& frame) {
  apply_gains(frame, m_base_gain, m_left_gain, m_right_gain);
  if (m_send_queue && m_send_queue->line() == 1) m_send_queue->push(frame);
}

audio_in_thr_f::audio_in_thr_f(int fs, int frame_samples, int channels, audio_in_dev** devices,
                               line_queue* send_queue, line_queue* monitor_queue, level_meter_sink* meters,
                               stream_statistics* statistics)
    : a_in_thr_base_f(fs, frame_samples, channels, devices ? devices[0] : nullptr, send_queue),
      m_monitor_queue(monitor_queue), m_meters(meters), m_statistics(statistics) {
  read_music_data();
}

const std::vector<short>& audio_in_thr_f::test_sine() {
  static const std::vector<short> table = [] {
    std::vector<short> t(48);
    const double pi = std::acos(-1.0);
    for (int k = 0; k < 48; ++k) t[k] = static_cast<short>(std::lround(3276.7 * std::sin(2 * pi * k / 48)));
    return t;
  }();
  return table;
}

bool audio_in_thr_f::pre_proc() {
  if (set_priority(SCHED_RR, 50) != 0) log_s.warn("audio_in_thr_f: set_priority failed. %s", std::strerror(errno));
  std::vector<short> discard(static_cast<size_t>(m_frame_samples) * m_channels);
  for (int i = 0; i < 100 && !ended(); ++i) m_device->read(discard.data(), m_frame_samples);
  return true;
}

int audio_in_thr_f::capture(std::vector<short>& frame) {
  frame.resize(static_cast<size_t>(m_frame_samples) * m_channels);
  int r;
  if (m_overflow_test && random_test()) {
    log_s.warn("test: ALSA overflow");
    r = -EIO;
  } else {
    r = m_device->read(frame.data(), m_frame_samples);
  }
  if (r >= 0) return 0;
  log_s.error("read (DI/AI): %s", std::strerror(-r));
  frame.clear();
  if (m_statistics && m_statistics->is_counting())
    log_s.debug("stream_statistics: alsa overflow: %d", m_statistics->error_event(stream_statistics::alsa_overflows));
  return 0;
}

void audio_in_thr_f::set_test_sound(test_sound_id id) {
  m_test_restart = true;
  m_test_sound = id;
}

void audio_in_thr_f::apply_test_sound(std::vector<short>& f) {
  const test_sound_id id = m_test_sound.load();
  if (m_test_restart.exchange(false)) m_test_pos = 0;
  if (id == test_sound_none) return;
  const size_t frames = f.size() / 2;
  if (id == test_sound_wav) {
    std::unique_lock<std::mutex> lock(m_music_mutex, std::try_to_lock);
    // Without a usable WAV (or while it is being reloaded) the frame stays as captured.
    if (!lock.owns_lock() || m_test_music.size() < 2) return;
    for (size_t i = 0; i < frames; ++i) {
      if (m_test_pos + 1 >= m_test_music.size()) m_test_pos = 0;
      f[2 * i] = m_test_music[m_test_pos];
      f[2 * i + 1] = m_test_music[m_test_pos + 1];
      m_test_pos += 2;
    }
    return;
  }
  const std::vector<short>& sine = test_sine();
  for (size_t i = 0; i < frames; ++i) {
    if (m_test_pos >= sine.size()) m_test_pos = 0;
    const short s = sine[m_test_pos++];
    f[2 * i] = (id == test_sound_sine || id == test_sound_sine_left) ? s : 0;
    f[2 * i + 1] = (id == test_sound_sine || id == test_sound_sine_right) ? s : 0;
  }
}

int audio_in_thr_f::read_music_data() {
  const test_sound_id saved = m_test_sound.load();
  if (saved == test_sound_wav) {
    m_test_sound = test_sound_none;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  SF_INFO info{};
  SNDFILE* f = sf_open(unit_path("/opt/QM/userdata/test_sound.wav").c_str(), SFM_READ, &info);
  if (f == nullptr) f = sf_open(unit_path("/opt/QM/test_sound.wav").c_str(), SFM_READ, &info);
  int result = 0;
  if (f == nullptr) {
    log_s.error("test sound file open failed.%s", sf_strerror(nullptr));
    result = -ENOENT;
  } else {
    if (info.samplerate == 48000 && info.channels == 2 && (info.format & 0x0002)) {
      std::vector<short> samples(static_cast<size_t>(info.frames) * info.channels);
      const sf_count_t n = sf_read_short(f, samples.data(), static_cast<sf_count_t>(samples.size()));
      samples.resize(n > 0 ? static_cast<size_t>(n) : 0);
      std::lock_guard<std::mutex> lock(m_music_mutex);
      m_test_music.swap(samples);
      m_test_restart = true;
    }
    sf_close(f);
  }
  if (saved == test_sound_wav) m_test_sound = saved;
  return result;
}

void audio_in_thr_f::after_capture(std::vector<short>& frame) {
  if (!frame.empty()) {
    apply_test_sound(frame);
    if (m_input_src == audio_src_analog)
      apply_gains(frame, m_base_gain, m_left_gain, m_right_gain);
    else
      apply_gains(frame, m_dig_base_gain, m_dig_left_gain, m_dig_right_gain);
    if (m_meters) {
      const auto peaks = max_level(frame.data(), static_cast<int>(frame.size() / 2));
      m_meters->set_meter_level(true, peaks.first, peaks.second);
    }
  }
  if (m_monitor_queue && m_monitor_queue->line() == 0 && !frame.empty()) m_monitor_queue->push(frame);
  if (m_send_queue && m_send_queue->line() == 1) m_send_queue->push(frame);
}

}  // namespace orva
