// Sound cards for engine tests: paced by the monotonic clock like a real card (optionally faster
// or slower by a ppm offset), capture generating a signal from the card's sample position,
// playback recording what it is given. They overrun and underrun as a card does.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio_dev.h"

namespace orva::test {

using steady = std::chrono::steady_clock;

// Signal by absolute frame position: writes `channels` samples of frame `pos`.
using signal_fn = std::function<void(int64_t pos, short* frame, int channels)>;

struct card_settings {
  card_settings(double p = 0, signal_fn s = {}, std::function<void(int64_t, steady::time_point)> h = {})
      : ppm(p), signal(std::move(s)), on_capture(std::move(h)) {}
  double ppm = 0;
  signal_fn signal;  // capture source; silence when empty
  // Called for every read with the frame position and the time its first frame was captured.
  std::function<void(int64_t pos, steady::time_point when)> on_capture;
};

class fake_card_base {
 public:
  fake_card_base(int rate, int channels, int period, int buffer, double ppm)
      : m_rate(rate * (1 + ppm * 1e-6)), m_fs(rate), m_channels(channels), m_period(period), m_buffer(buffer) {}
  int64_t clock_frames(steady::time_point t) const {
    return static_cast<int64_t>(std::chrono::duration<double>(t - m_t0).count() * m_rate);
  }
  steady::time_point time_of(int64_t frames) const {
    return m_t0 + std::chrono::duration_cast<steady::duration>(std::chrono::duration<double>(frames / m_rate));
  }

 protected:
  steady::time_point m_t0 = steady::now();
  double m_rate;
  int m_fs, m_channels, m_period, m_buffer;
};

class fake_in : public audio_in_dev, public fake_card_base {
 public:
  fake_in(int rate, int channels, int period, int buffer, card_settings s)
      : fake_card_base(rate, channels, period, buffer, s.ppm), m_signal(std::move(s.signal)),
        m_on_capture(std::move(s.on_capture)) {}
  int open(const char*, int, int, format, int, int) override { return 0; }
  int close() override { return 0; }
  int start() override { return 0; }
  int stop() override { return 0; }
  int sampling_frequency() const override { return m_fs; }
  int frame_samples() const override { return m_period; }
  int channels() const override { return m_channels; }

  int read(void* buffer, int frames) override {
    if (clock_frames(steady::now()) - m_pos > m_buffer + m_period) {
      // Overrun: the reader was late by more than the buffer; restart from the card's now.
      m_pos = clock_frames(steady::now());
      ++overruns;
      return -EPIPE;
    }
    std::this_thread::sleep_until(time_of(m_pos + frames));
    if (m_on_capture) m_on_capture(m_pos, time_of(m_pos));
    short* out = static_cast<short*>(buffer);
    for (int i = 0; i < frames; ++i) {
      if (m_signal)
        m_signal(m_pos + i, out + i * m_channels, m_channels);
      else
        std::fill(out + i * m_channels, out + (i + 1) * m_channels, short{0});
    }
    m_pos += frames;
    return frames;
  }
  int overruns = 0;

 private:
  signal_fn m_signal;
  std::function<void(int64_t, steady::time_point)> m_on_capture;
  int64_t m_pos = 0;
};

// What a playback card was given, with the card frame at which each write started to play.
struct playback_record {
  std::mutex mutex;
  std::vector<short> samples;
  int channels = 2;
  int underruns = 0;
  // Per write: index in `samples` of its first sample and the time that sample is played.
  std::vector<std::pair<size_t, steady::time_point>> marks;
  size_t max_samples = 48000 * 2 * 60;
  std::vector<short> copy() {
    std::lock_guard<std::mutex> l(mutex);
    return samples;
  }
};

class fake_out : public audio_out_dev, public fake_card_base {
 public:
  fake_out(int rate, int channels, int period, int buffer, double ppm, std::shared_ptr<playback_record> rec)
      : fake_card_base(rate, channels, period, buffer, ppm), m_rec(std::move(rec)) {
    m_rec->channels = channels;
  }
  int open(const char*, int, int, format, int, int) override { return 0; }
  int close() override { return 0; }
  int start() override { return 0; }
  int stop() override { return 0; }
  int sampling_frequency() const override { return m_fs; }
  int frame_samples() const override { return m_period; }
  int channels() const override { return m_channels; }

  int write(const void* buffer, int frames) override {
    if (m_running && queued(steady::now()) < 0) {
      // Underrun: the card ran dry; it is prepared again and starts with the next write.
      m_running = false;
      std::lock_guard<std::mutex> l(m_rec->mutex);
      ++m_rec->underruns;
      return -EPIPE;
    }
    if (!m_running) {
      m_running = true;
      m_start = clock_frames(steady::now());
      m_written = 0;
    }
    while (queued(steady::now()) + frames > m_buffer)
      std::this_thread::sleep_until(time_of(m_start + m_written + frames - m_buffer));
    {
      const short* in = static_cast<const short*>(buffer);
      std::lock_guard<std::mutex> l(m_rec->mutex);
      if (m_rec->samples.size() < m_rec->max_samples) {
        m_rec->marks.emplace_back(m_rec->samples.size(), time_of(m_start + m_written));
        m_rec->samples.insert(m_rec->samples.end(), in, in + static_cast<size_t>(frames) * m_channels);
      }
    }
    m_written += frames;
    return frames;
  }
  int used_size() const override {
    if (!m_running) return 0;
    return static_cast<int>(std::max<int64_t>(0, queued(steady::now())));
  }

 private:
  int64_t queued(steady::time_point t) const { return m_written - (clock_frames(t) - m_start); }
  std::shared_ptr<playback_record> m_rec;
  bool m_running = false;
  int64_t m_start = 0, m_written = 0;
};

class fake_cards : public audio_device_factory {
 public:
  explicit fake_cards(card_settings in = {}, double out_ppm = 0)
      : record(std::make_shared<playback_record>()), m_in(std::move(in)), m_out_ppm(out_ppm) {}
  std::unique_ptr<audio_in_dev> open_in(const char*, int rate, int channels, int period, int buffer) override {
    return std::make_unique<fake_in>(rate, channels, period, buffer, m_in);
  }
  std::unique_ptr<audio_out_dev> open_out(const char*, int rate, int channels, int period, int buffer) override {
    return std::make_unique<fake_out>(rate, channels, period, buffer, m_out_ppm, record);
  }
  std::shared_ptr<playback_record> record;

 private:
  card_settings m_in;
  double m_out_ppm;
};

}  // namespace orva::test
