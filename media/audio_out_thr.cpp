#include "audio_out_thr.h"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <thread>

#include "log.h"
#include "util.h"

namespace orva {

namespace {
const char* mode_name(a_out_thr_base_f::resample_mode m) {
  static const char* const names[] = {"OFF", "INCREMENT", "DECREMENT"};
  return names[m];
}
short saturate(float v) { return static_cast<short>(std::clamp(v, -32768.0f, 32767.0f)); }
}  // namespace

a_out_thr_base_f::a_out_thr_base_f(audio_out_dev* device, packet_buffer* buffer, stream_statistics* statistics)
    : m_device(device), m_buffer(buffer), m_pcm(1024), m_statistics(statistics),
      m_channels(device ? device->channels() : 2), m_period(device ? device->frame_samples() : 128) {
  m_slip = std::make_unique<slip>(device ? device->sampling_frequency() : 48000, m_period, m_channels);
}

bool a_out_thr_base_f::pre_proc() {
  if (set_priority(SCHED_FIFO, 30) != 0)
    log_s.warn("a_out_thr_base_f - %s: set_priority failed. %s", codec_name(), std::strerror(errno));
  prime_device();
  return true;
}

void a_out_thr_base_f::prime_device() {
  if (m_started) return;
  std::vector<short> silence(static_cast<size_t>(m_period) * m_channels, 0);
  m_device->write(silence.data(), m_period);
  m_device->write(silence.data(), m_period);
  m_started = true;
}

void a_out_thr_base_f::reset_stream_counters() {
  // What the last stream left undecoded must not start the next one.
  m_pcm.clear();
  m_decode_count = 0;
  m_decode_count_logged = -1;
  m_frame_count = 0;
}

void a_out_thr_base_f::main_loop() {
  while (!ended()) {
    if (m_codec) {
      if (m_frame_count == 0) {
        write_setting_log();
        if (m_statistics) m_statistics->reset();
      }
      network_frame();
      ++m_frame_count;
    } else {
      clear_buffer();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      reset_stream_counters();
      take_next_codec();
    }
  }
}

void a_out_thr_base_f::clear_buffer() {
  if (!m_buffer->empty()) m_buffer->clear();
}

int a_out_thr_base_f::total_used_size() const {
  const int frame = m_codec ? m_codec->frame_samples() : m_period;
  return m_device->used_size() + static_cast<int>(m_pcm.size()) / m_channels + frame * m_buffer->size();
}

void a_out_thr_base_f::write_setting_log() const {
  log_s.info("a_out_thr_base_f: setting - codec %s, pkts_pback %d, smpls_dec %d, smpls_stop %d",
             m_codec ? m_codec->name().c_str() : "---", m_buffer->start_threshold(), m_smpls_dec.load(),
             m_smpls_stop.load());
}

void a_out_thr_base_f::before_output(std::vector<short>& f) {
  const float gl = m_base_gain * m_left_gain, gr = m_base_gain * m_right_gain;
  if (gl == 1.0f && gr == 1.0f) return;
  for (size_t i = 0; i + 1 < f.size(); i += 2) {
    f[i] = saturate(std::roundf(f[i] * gl));
    f[i + 1] = saturate(std::roundf(f[i + 1] * gr));
  }
}

void a_out_thr_base_f::network_frame() {
  get_output_frame(m_frame);
  if (m_frame.empty()) m_frame.assign(static_cast<size_t>(m_period) * m_channels, 0);
  if (!ended()) {
    before_output(m_frame);
    int r;
    if (m_underflow_test && random_test()) {
      log_s.warn("test: ALSA underflow");
      r = -EPIPE;
    } else {
      r = m_device->write(m_frame.data(), static_cast<int>(m_frame.size()) / m_channels);
    }
    if (r < 0) {
      log_s.warn("a_out_thr_f - %s: playback stream underrun", codec_name());
      if (m_statistics && m_statistics->is_counting())
        log_s.debug("stream_statistics: alsa underflow: %d",
                    m_statistics->error_event(stream_statistics::alsa_underflows));
    }
    after_output(m_frame);
  }
  take_next_codec();
}

void a_out_thr_base_f::get_output_frame(std::vector<short>& out) {
  out.clear();
  const size_t n = static_cast<size_t>(m_period) * m_channels;
  while (!ended() && m_pcm.size() < n) {
    codec* next = m_next_codec.load();
    if (next == nullptr || m_codec == nullptr) return;
    codec* c = m_codec;
    const int cch = c->channels() > 0 ? c->channels() : 1;
    // Room for the largest payload the codec can decode, never less than one frame.
    const int room = std::max(c->max_decoded_frames(), c->frame_samples());
    m_decoded.resize(static_cast<size_t>(room) * cch);
    const int r = m_buffer->get_packet(&m_packet);
    int frames = 0;
    if (r != 0) {
      if (m_decode_count > 0) {
        frames = c->get_PLC_data(m_decoded.data(), room);
        if (m_decode_count != m_decode_count_logged) {
          log_s.debug("%s - PLC: err = %d, dec_cnt = %d", c->name().c_str(), r, m_decode_count);
          m_decode_count_logged = m_decode_count;
        }
      }
      if (frames <= 0) {
        // Nothing to conceal with (before the first packet, or a codec without concealment):
        // one frame of silence keeps the timing.
        frames = c->frame_samples();
        std::fill(m_decoded.begin(), m_decoded.begin() + static_cast<long>(frames) * cch, short{0});
      }
      if (m_statistics && m_statistics->is_counting() &&
          (r != packet_buffer::err_not_started ||
           (m_statistics->counter(stream_statistics::good_packets) > 0 && m_buffer->empty())))
        log_s.debug("stream_statistics: packet loss: %d", m_statistics->error_event(stream_statistics::packet_losses));
    } else {
      int offset = 0, length = 0;
      if (rtp_payload(m_packet.data, m_packet.length, &offset, &length))
        frames = c->decode(m_decoded.data(), room, m_packet.data + offset, length);
      if (frames <= 0) {
        frames = c->frame_samples();
        std::fill(m_decoded.begin(), m_decoded.begin() + static_cast<long>(frames) * cch, short{0});
      }
      ++m_decode_count;
      if (m_statistics) m_statistics->good_packet();
    }
    m_decoded.resize(static_cast<size_t>(frames) * cch);
    if (cch != m_channels) {
      // The device runs with the codec's channels; anything else is adapted, never overrun.
      std::vector<short> adapted(static_cast<size_t>(frames) * m_channels);
      for (int i = 0; i < frames; ++i)
        for (int ch = 0; ch < m_channels; ++ch) adapted[i * m_channels + ch] = m_decoded[i * cch + std::min(ch, cch - 1)];
      m_decoded.swap(adapted);
    }
    const std::vector<short> slipped = resample(m_decoded);
    if (slipped.empty()) continue;
    if (m_pcm.size() + slipped.size() > m_pcm.capacity()) {
      m_pcm.set_capacity(m_pcm.capacity() + slipped.size());
      log_s.info("a_out_thr_base_f: PCM Buffer resize to %u", static_cast<unsigned>(m_pcm.capacity()));
    }
    m_pcm.insert(m_pcm.end(), slipped.begin(), slipped.end());
  }
  if (m_next_codec.load() == nullptr) return;
  const size_t take = std::min(n, m_pcm.size());
  out.assign(m_pcm.begin(), m_pcm.begin() + static_cast<long>(take));
  m_pcm.erase_begin(take);
}

std::vector<short> a_out_thr_base_f::resample(const std::vector<short>& frame) {
  const int cur = total_used_size();
  m_buffering = cur;
  const int num = m_buffer->start_threshold() * m_period;
  const int dec = m_smpls_dec, stop = m_smpls_stop;
  const resample_mode before = m_mode;
  resample_mode mode = before;
  switch (mode) {
    case mode_increment:
      if (cur >= num + stop) mode = mode_off;
      break;
    case mode_decrement:
      if (cur <= num + stop) mode = mode_off;
      break;
    case mode_off:
      if (cur < num) {
        m_decode_count = 0;
        mode = mode_increment;
      } else if (cur >= num + dec) {
        const int limit = (m_codec ? m_codec->sampling_frequency() / std::max(1, m_codec->frame_samples()) : 375) * 5;
        if (++m_above_count >= limit) {
          m_above_count = 0;
          mode = mode_decrement;
        }
      } else {
        m_above_count = 0;
      }
      break;
  }
  if (mode != before) {
    m_mode = mode;
    log_s.warn("resample mode - %s: %s, num_samples = %d, cur_samples = %d, cnt = %d", codec_name(), mode_name(mode),
               num, cur, m_decode_count);
    const int frame = m_codec ? m_codec->frame_samples() : m_period;
    log_s.debug("alsa = %d, pcm = %d, packet = %d", m_device->used_size(), static_cast<int>(m_pcm.size()) / m_channels,
                frame * m_buffer->size());
  }
  m_slip->slip_mode(mode == mode_increment ? slip::insert : mode == mode_decrement ? slip::drop : slip::none);
  m_slipped.clear();
  const int out = m_slip->apply(m_slipped, frame);
  const int in = static_cast<int>(frame.size()) / m_channels;
  if (out > in) m_inserted += out - in;
  if (out < in) m_dropped += in - out;
  return m_slipped;
}

out_thr_f::out_thr_f(audio_out_dev* device, packet_buffer* buffer, line_queue* monitor_queue, level_meter_sink* meters,
                     stream_statistics* statistics)
    : a_out_thr_base_f(device, buffer, statistics), m_monitor_queue(monitor_queue), m_meters(meters) {}

bool out_thr_f::pre_proc() {
  if (set_priority(SCHED_RR, 30) != 0) log_s.warn("out_thr_f: set_priority failed. %s", std::strerror(errno));
  prime_device();
  return true;
}

void out_thr_f::main_loop() {
  while (!ended()) {
    if (m_codec) {
      if (m_frame_count == 0) write_setting_log();
      if (m_statistics && m_statistics->count_frame()) log_s.debug("stream_statistics: start counting");
      network_frame();
      ++m_frame_count;
    } else {
      clear_buffer();
      idle_loop();
      reset_stream_counters();
    }
  }
}

void out_thr_f::idle_loop() {
  std::vector<short> f;
  while (!ended() && m_codec == nullptr) {
    if (!(m_monitor_queue && m_monitor_queue->line() == 0 && m_monitor_queue->pop_for(f, std::chrono::milliseconds(0))))
      f.assign(static_cast<size_t>(m_period) * m_channels, 0);
    before_output(f);
    if (m_meters) {
      const auto peaks = max_level(f.data(), static_cast<int>(f.size() / 2));
      m_meters->set_meter_level(false, peaks.first, peaks.second);
    }
    const int r = m_device->write(f.data(), static_cast<int>(f.size()) / m_channels);
    if (r < 0) log_s.warn("write(DO/AO, idle): %s", std::strerror(-r));
    m_buffering = 0;
    take_next_codec();
  }
}

void out_thr_f::after_output(const std::vector<short>& frame) {
  if (!m_meters) return;
  const auto peaks = max_level(frame.data(), static_cast<int>(frame.size() / 2));
  m_meters->set_meter_level(false, peaks.first, peaks.second);
}

}  // namespace orva
