// Two main engines on test cards, streaming to each other over loopback.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "audio_manager.h"
#include "codec_manager.h"
#include "fake_cards.h"
#include "net_util.h"
#include "recording_listener.h"
#include "test_signal.h"

namespace orva::test {

// Left carries the low 16 bits of the frame position, right the high bits, so that every
// played frame tells which captured frame it is.
inline void position_signal(int64_t pos, short* f, int channels) {
  f[0] = static_cast<short>(static_cast<uint16_t>(pos & 0xffff));
  if (channels > 1) f[1] = static_cast<short>(((pos >> 16) & 0x3f) * 1000 + 17);
}

inline signal_fn tone_signal(double hz, double amplitude) {
  return [hz, amplitude](int64_t pos, short* f, int channels) {
    const double pi = std::acos(-1.0);
    const short s = static_cast<short>(std::lround(amplitude * std::sin(2 * pi * hz * static_cast<double>(pos) / 48000.0)));
    for (int c = 0; c < channels; ++c) f[c] = s;
  };
}

// Longest run of consecutive played frames that are consecutive captured frames of the position
// signal, bit for bit.
inline size_t longest_exact_run(const std::vector<short>& out) {
  size_t best = 0, run = 0;
  int64_t prev = -2;
  for (size_t i = 0; i + 1 < out.size(); i += 2) {
    const int r = out[i + 1] - 17;
    int64_t p = -10;
    if (r >= 0 && r % 1000 == 0 && r / 1000 < 64) p = (static_cast<int64_t>(r / 1000) << 16) | static_cast<uint16_t>(out[i]);
    run = (p >= 0 && p == prev + 1) ? run + 1 : (p >= 0 ? 1 : 0);
    prev = p;
    best = std::max(best, run);
  }
  return best;
}

// Sample frames of `out` that lie in bit-exact runs of at least `min_run` frames.
inline size_t exact_frames(const std::vector<short>& out, size_t min_run = 480) {
  size_t total = 0, run = 0;
  int64_t prev = -2;
  for (size_t i = 0; i + 1 < out.size(); i += 2) {
    const int r = out[i + 1] - 17;
    int64_t p = -10;
    if (r >= 0 && r % 1000 == 0 && r / 1000 < 64) p = (static_cast<int64_t>(r / 1000) << 16) | static_cast<uint16_t>(out[i]);
    if (p >= 0 && p == prev + 1) {
      ++run;
    } else {
      if (run >= min_run) total += run;
      run = p >= 0 ? 1 : 0;
    }
    prev = p;
  }
  return run >= min_run ? total + run : total;
}

struct engine_side {
  explicit engine_side(card_settings in = {}, double out_ppm = 0)
      : cards(std::move(in), out_ppm), engine(&listener, true, "capture", "playback", {}, &cards) {}
  codec_manager codecs{128};
  recording_listener listener;
  fake_cards cards;
  audio_manager engine;

  codec* start(int codec_id, int periods = 3) {
    codec* c = codecs.get(codec_id, false);
    EXPECT_EQ(engine.restart(c, periods, periods), 0);
    for (int i = 0; i < 2000 && !engine.startable(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(engine.startable());
    return c;
  }
  int stream_to(uint16_t local, uint16_t remote, codec* c, audio_manager_base::buffer_ctrl ctrl = {4, 256, 128},
                int timeout_ms = 2000) {
    return engine.start_rtp("127.0.0.1", &remote, &local, 1, c, ctrl, timeout_ms);
  }
};

// Real-time scenarios share this machine with other builds: a starved thread can spoil one run
// (a capture overrun, a concealed packet). `scenario(last)` runs once and returns whether its
// measures hold; it is repeated up to `tries` times, and only the last run's failures count. A
// fault of the code fails every run.
template <class Scenario>
void realtime_tries(int tries, Scenario scenario) {
  for (int i = 0; i < tries; ++i)
    if (scenario(i == tries - 1)) return;
}

template <class Pred>
bool wait_for(Pred p, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (p()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return p();
}

}  // namespace orva::test
