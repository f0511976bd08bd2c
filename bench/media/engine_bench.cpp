// Two engines on test cards over loopback.
//  - click latency: capture-to-playback delay of a click through both engines, against the
//    delay the configured buffers imply (one capture period + the packets buffered before
//    playback + the playback device's buffer);
//  - drift: a long run with the cards 200 ppm fast on one unit and 200 ppm slow on the other,
//    reporting the lowest and highest buffering level the playback thread measured.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>

#include "engine_fixture.h"

using namespace orva;
using namespace orva::test;
using namespace std::chrono_literals;

namespace {

constexpr int click_every = 24000;  // frames: two clicks a second

void BM_click_latency(benchmark::State& state) {
  const int pkts = static_cast<int>(state.range(0));
  const int periods = 3, frame = 128;
  std::mutex m;
  std::map<int64_t, steady::time_point> captured;  // click position -> capture time
  card_settings in;
  in.signal = [](int64_t pos, short* f, int channels) {
    for (int c = 0; c < channels; ++c) f[c] = (pos % click_every == 0) ? 30000 : 0;
  };
  in.on_capture = [&](int64_t pos, steady::time_point when) {
    const int64_t first = (pos + click_every - 1) / click_every * click_every;
    if (first < pos + frame) {
      std::lock_guard<std::mutex> l(m);
      captured[first] = when + std::chrono::duration_cast<steady::duration>(std::chrono::duration<double>((first - pos) / 48000.0));
    }
  };
  std::vector<double> latencies;
  for (auto _ : state) {
    engine_side a(in), b;
    codec* ca = a.start(audio_codec_LPCM, periods);
    codec* cb = b.start(audio_codec_LPCM, periods);
    const uint16_t pa = free_udp_port(), pb = free_udp_port();
    a.stream_to(pa, pb, ca, {pkts, 256, 128});
    b.stream_to(pb, pa, cb, {pkts, 256, 128});
    std::this_thread::sleep_for(8s);
    a.engine.stop_rtp();
    b.engine.stop_rtp();
    std::vector<short> played;
    std::vector<std::pair<size_t, steady::time_point>> marks;
    {
      std::lock_guard<std::mutex> l(b.cards.record->mutex);
      played = b.cards.record->samples;
      marks = b.cards.record->marks;
    }
    std::lock_guard<std::mutex> l(m);
    for (size_t i = 0; i + 1 < played.size(); i += 2) {
      if (played[i] < 15000) continue;
      auto mk = std::upper_bound(marks.begin(), marks.end(), std::make_pair(i, steady::time_point::max()),
                                 [](const auto& x, const auto& y) { return x.first < y.first; });
      if (mk == marks.begin()) continue;
      --mk;
      const auto when = mk->second + std::chrono::duration_cast<steady::duration>(
                                         std::chrono::duration<double>((i - mk->first) / 2 / 48000.0));
      // The latest click captured before it played.
      steady::time_point src{};
      for (const auto& [pos, t] : captured)
        if (t <= when) src = t;
      if (src == steady::time_point{}) continue;
      latencies.push_back(std::chrono::duration<double, std::milli>(when - src).count());
      i += 2 * 1000;  // skip the rest of this click
    }
    state.SetIterationTime(8.0);
  }
  std::sort(latencies.begin(), latencies.end());
  const double implied = (1 + pkts + periods) * frame * 1000.0 / 48000.0;
  state.counters["implied_ms"] = implied;
  state.counters["clicks"] = static_cast<double>(latencies.size());
  if (!latencies.empty()) {
    state.counters["min_ms"] = latencies.front();
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    state.counters["max_ms"] = latencies.back();
  }
}

void BM_drift_200ppm(benchmark::State& state) {
  const int seconds = static_cast<int>(state.range(0));
  const audio_manager_base::buffer_ctrl ctrl{4, 256, 128};  // the SIP-mode defaults
  int a_min = 1 << 30, a_max = 0, b_min = 1 << 30, b_max = 0, a_underruns = 0, b_underruns = 0;
  for (auto _ : state) {
    card_settings fast_in{200, tone_signal(1000, 8000), {}};
    card_settings slow_in{-200, tone_signal(1000, 8000), {}};
    engine_side a(fast_in, 200), b(slow_in, -200);
    codec* ca = a.start(audio_codec_LPCM);
    codec* cb = b.start(audio_codec_LPCM);
    const uint16_t pa = free_udp_port(), pb = free_udp_port();
    a.stream_to(pa, pb, ca, ctrl, 0);
    b.stream_to(pb, pa, cb, ctrl, 0);
    std::this_thread::sleep_for(2s);
    for (int i = 0; i < seconds * 10; ++i) {
      std::this_thread::sleep_for(100ms);
      const int av = a.engine.buffering_samples(), bv = b.engine.buffering_samples();
      a_min = std::min(a_min, av), a_max = std::max(a_max, av);
      b_min = std::min(b_min, bv), b_max = std::max(b_max, bv);
    }
    const auto a_slip = a.engine.slipped_frames(), b_slip = b.engine.slipped_frames();
    a.engine.stop_rtp();
    b.engine.stop_rtp();
    // 400 ppm over the run: the fast unit must insert, the slow one drop, about this many frames.
    state.counters["drift_frames"] = 400e-6 * 48000 * (seconds + 2);
    state.counters["fast_unit_net_inserted"] = a_slip.first - a_slip.second;
    state.counters["slow_unit_net_dropped"] = b_slip.second - b_slip.first;
    a_underruns = a.cards.record->underruns;
    b_underruns = b.cards.record->underruns;
    state.SetIterationTime(seconds);
  }
  state.counters["band_low"] = 4 * 128;
  state.counters["band_high"] = 4 * 128 + 256;
  // The fast unit plays faster than it receives (its level sinks: insertions), the slow unit
  // the other way (its level rises until drops start after 5 s above the band).
  state.counters["fast_unit_min"] = a_min;
  state.counters["fast_unit_max"] = a_max;
  state.counters["slow_unit_min"] = b_min;
  state.counters["slow_unit_max"] = b_max;
  state.counters["underruns"] = a_underruns + b_underruns;
}

}  // namespace

BENCHMARK(BM_click_latency)->Arg(4)->Arg(12)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_drift_200ppm)->Arg(60)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
