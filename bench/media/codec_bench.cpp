// Encode and decode time per frame of every codec, as a fraction of the frame's duration
// ("frame_fraction": 0.05 means the codec needs 5 % of real time on this machine).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "codec_manager.h"

using namespace orva;

namespace {

std::vector<short> tone(const codec& c, int frame_index) {
  std::vector<short> v(static_cast<size_t>(c.frame_samples()) * c.channels());
  const double pi = std::acos(-1.0);
  for (int i = 0; i < c.frame_samples(); ++i)
    for (int ch = 0; ch < c.channels(); ++ch)
      v[i * c.channels() + ch] = static_cast<short>(
          8000 * std::sin(2 * pi * (1000 + 500 * ch) * (frame_index * c.frame_samples() + i) / c.sampling_frequency()));
  return v;
}

codec* pick(codec_manager& m, int64_t index, bool* list_b) {
  const auto& a = m.list(false);
  *list_b = index >= static_cast<int64_t>(a.size());
  return *list_b ? m.list(true)[index - a.size()] : a[index];
}

using clock_type = std::chrono::steady_clock;

// Printed with an SI prefix: 8.1m is 0.0081 of the frame's duration.
void set_fraction(benchmark::State& state, const codec& c, clock_type::duration spent) {
  const double frame_s = static_cast<double>(c.frame_samples()) / c.sampling_frequency();
  state.counters["frame_fraction"] =
      std::chrono::duration<double>(spent).count() / (frame_s * static_cast<double>(state.iterations()));
  state.SetLabel(c.name() + "/" + std::to_string(c.sampling_frequency()) + "Hz/" + std::to_string(c.frame_samples()));
}

void BM_encode(benchmark::State& state) {
  codec_manager m(128);
  bool b;
  codec* c = pick(m, state.range(0), &b);
  std::vector<std::vector<short>> frames;
  for (int k = 0; k < 16; ++k) frames.push_back(tone(*c, k));
  unsigned char out[1600];
  int k = 0;
  const auto t0 = clock_type::now();
  for (auto _ : state) benchmark::DoNotOptimize(c->encode(out, codec_max_payload, frames[k++ & 15].data(), c->frame_samples()));
  set_fraction(state, *c, clock_type::now() - t0);
}

void BM_decode(benchmark::State& state) {
  codec_manager m(128);
  bool b;
  codec* c = pick(m, state.range(0), &b);
  std::vector<std::vector<unsigned char>> payloads;
  for (int k = 0; k < 16; ++k) {
    unsigned char out[1600];
    const auto f = tone(*c, k);
    const int n = c->encode(out, codec_max_payload, f.data(), c->frame_samples());
    payloads.emplace_back(out, out + (n > 0 ? n : 0));
  }
  std::vector<short> pcm(static_cast<size_t>(c->max_decoded_frames()) * c->channels());
  int k = 0;
  const auto t0 = clock_type::now();
  for (auto _ : state) {
    const auto& p = payloads[k++ & 15];
    benchmark::DoNotOptimize(c->decode(pcm.data(), c->max_decoded_frames(), p.data(), static_cast<int>(p.size())));
  }
  set_fraction(state, *c, clock_type::now() - t0);
}

void codec_indices(benchmark::internal::Benchmark* b) {
  codec_manager m(128);
  const int n = static_cast<int>(m.list(false).size() + m.list(true).size());
  for (int i = 0; i < n; ++i) b->Arg(i);
}

}  // namespace

BENCHMARK(BM_encode)->Apply(codec_indices);
BENCHMARK(BM_decode)->Apply(codec_indices);
BENCHMARK_MAIN();
