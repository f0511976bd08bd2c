// The low-delay coder on the ALS corpus, frame by frame as the media engine runs it (128-sample
// stereo 16-bit frames at 48 kHz, 267-byte budget):
//   - encode time per frame (p50, p99, max) and the histogram of encode passes per frame,
//     decode with post-processing and concealment time, each as a share of the 2.667 ms frame;
//   - heap allocations per frame (goal 0; not counted in sanitizer builds);
//   - the share of frames that stay lossless within the budget and the mean bytes per frame,
//     against FLAC at a 128-sample block size (flac -8 --blocksize=128: share of frames of at
//     most 267 bytes).
//
//   bench_ldals [--corpus DIR] [benchmark options]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "NalsPlc.h"
#include "bench_corpus.h"
#include "ldalsd.h"
#include "ldalse.h"

#if defined(__SANITIZE_ADDRESS__)
#define ORVA_COUNT_MALLOC 0
#else
#define ORVA_COUNT_MALLOC 1
#endif

namespace {

std::atomic<unsigned long> g_allocations{0};

constexpr int kFrame = 128;
constexpr int kTarget = 267;
constexpr double kFrameSeconds = kFrame / 48000.0;

using alsbench::Pcm;

// Passes of one rate-controlled encode: the block analysis of channel 0 runs once per pass.
thread_local int g_passes = 0;

int32_t CountingCallback(NALSE_IMPL* enc, int32_t channel, int32_t bits, int32_t kind) {
  if (kind == 1 && channel == 0) ++g_passes;
  return LDALSE_EncodeCallback(enc, channel, bits, kind);
}

struct Pair {
  LDALSE_IMPL* enc = nullptr;
  LDALSD_IMPL* dec = nullptr;
  NALSD_LPC_INFO lpc{};
  NALSPLC_STATE* plc = nullptr;
  Pair() {
    const LDALSE_ALS_PARAMS p = {kFrame, 4};
    if (LDALSE_Open(&enc, 48000, 2, 16, &p) || LDALSD_Open(&dec, LDALSE_GetHeader(enc), LDALSE_GetHeaderSize(enc)) ||
        NALSD_InitLpcInfo(LDALSD_GetDecoder(dec), &lpc) || NalsPlc_Open(&plc, 2, 16, 0, kFrame, 15, 2)) {
      std::fprintf(stderr, "cannot open the low-delay coder\n");
      std::exit(1);
    }
    NALSE_SetEncodeCallback(LDALSE_GetEncoder(enc), CountingCallback);
  }
  ~Pair() {
    NalsPlc_Close(plc);
    NALSD_DestroyLpcInfo(LDALSD_GetDecoder(dec), &lpc);
    LDALSD_Close(dec);
    LDALSE_Close(enc);
  }
  // Hands a good frame to the concealment, as the codec class does.
  void keep(int16_t* pcm) {
    NALSPLC_LPC rec[2];
    NALSD_GetLpcInfo(LDALSD_GetDecoder(dec), &lpc);
    for (int ch = 0; ch < 2; ++ch) rec[ch] = {static_cast<int32_t>(lpc.channel[ch].order), lpc.channel[ch].coefficients};
    NalsPlc_ProcessFrame(plc, pcm, rec);
  }
};

std::vector<Pcm> g_corpus;

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

void Summary() {
  using clk = std::chrono::steady_clock;
  std::printf("low-delay coder, %d-sample frames, %d-byte budget (times in %% of the %.3f ms frame)\n", kFrame,
              kTarget, kFrameSeconds * 1000);
  std::printf("%-8s %9s %9s %9s %9s %9s %9s %10s %9s %10s  passes 1/2/3/4/5\n", "signal", "enc p50", "enc p99",
              "enc max", "dec p50", "plc p50", "lossless", "bytes/fr", "flac<=267", "allocs/fr");
  for (const Pcm& p : g_corpus) {
    if (p.channels != 2 || p.bits != 16) continue;
    Pair pair;
    std::vector<double> enc_t, dec_t, plc_t;
    int hist[6] = {0, 0, 0, 0, 0, 0};
    size_t lossless = 0, frames = 0, bytes = 0;
    unsigned long allocs = 0;
    std::vector<int16_t> out(kFrame * 2);
    const auto* pcm = reinterpret_cast<const int16_t*>(p.bytes.data());
    for (uint32_t f = 0; f + kFrame <= p.frames(); f += kFrame, ++frames) {
      const unsigned long before = g_allocations.load();
      int32_t rec[3];
      g_passes = 0;
      auto a = clk::now();
      const int32_t r = LDALSE_EncodeWithTarget(pair.enc, pcm + size_t(f) * 2, kTarget, rec);
      auto b = clk::now();
      ++hist[std::min(g_passes, 5)];
      if (r != 0) continue;
      lossless += rec[2] == 0;
      bytes += static_cast<size_t>(LDALSE_GetFrameSize(pair.enc));
      LDALSD_Decode(pair.dec, LDALSE_GetFrame(pair.enc), LDALSE_GetFrameSize(pair.enc), nullptr);
      std::memcpy(out.data(), LDALSD_GetData(pair.dec), out.size() * sizeof(int16_t));
      pair.keep(out.data());
      auto c = clk::now();
      allocs += g_allocations.load() - before;
      enc_t.push_back(std::chrono::duration<double>(b - a).count());
      dec_t.push_back(std::chrono::duration<double>(c - b).count());
      if (frames % 16 == 15) {  // a lost packet now and then
        auto d = clk::now();
        NalsPlc_ProcessFrame(pair.plc, out.data(), nullptr);
        plc_t.push_back(std::chrono::duration<double>(clk::now() - d).count());
      }
    }
    std::vector<uint8_t> flac;
    std::vector<uint32_t> flac_frames;
    alsbench::FlacEncode(p, 8, &flac, kFrame, &flac_frames);
    const size_t flac_fit = static_cast<size_t>(
        std::count_if(flac_frames.begin(), flac_frames.end(), [](uint32_t n) { return n <= kTarget; }));
    auto pct = [](double seconds) { return 100.0 * seconds / kFrameSeconds; };
    std::printf("%-8s %8.1f%% %8.1f%% %8.1f%% %8.1f%% %8.1f%% %8.1f%% %10.1f %8.1f%% %10s  %d/%d/%d/%d/%d\n",
                p.name.c_str(), pct(Percentile(enc_t, 0.5)), pct(Percentile(enc_t, 0.99)),
                pct(Percentile(enc_t, 1.0)), pct(Percentile(dec_t, 0.5)), pct(Percentile(plc_t, 0.5)),
                100.0 * lossless / std::max<size_t>(frames, 1), double(bytes) / std::max<size_t>(frames, 1),
                100.0 * flac_fit / std::max<size_t>(flac_frames.size(), 1),
                ORVA_COUNT_MALLOC ? std::to_string(double(allocs) / std::max<size_t>(frames, 1)).substr(0, 6).c_str()
                                  : "n/a",
                hist[1], hist[2], hist[3], hist[4], hist[5]);
  }
  std::fflush(stdout);
}

void BM_EncodeFrame(benchmark::State& state, const Pcm* p) {
  Pair pair;
  const auto* pcm = reinterpret_cast<const int16_t*>(p->bytes.data());
  uint32_t f = 0;
  for (auto _ : state) {
    if (f + kFrame > p->frames()) f = 0;
    benchmark::DoNotOptimize(LDALSE_EncodeWithTarget(pair.enc, pcm + size_t(f) * 2, kTarget, nullptr));
    f += kFrame;
  }
  // Time per frame as a share of the frame duration.
  state.counters["frame%"] = benchmark::Counter(double(state.iterations()) * kFrameSeconds / 100.0,
                                                benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

#if ORVA_COUNT_MALLOC
// Counts every allocation of the process, the coder's C allocations included.
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* malloc(size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t m) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(n, m);
}
extern "C" void* realloc(void* p, size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, n);
}
#endif

int main(int argc, char** argv) {
  std::string dir = alsbench::DefaultCorpusDir();
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::string(argv[i]) == "--corpus" && i + 1 < argc) dir = argv[++i];
    else rest.push_back(argv[i]);
  }
  g_corpus = alsbench::LoadCorpus(dir);
  if (g_corpus.empty()) return 1;
  Summary();
  for (const Pcm& p : g_corpus)
    if (p.channels == 2 && p.bits == 16)
      benchmark::RegisterBenchmark(("ldals_encode/" + p.name).c_str(), BM_EncodeFrame, &p)
          ->Unit(benchmark::kMicrosecond);
  int n = static_cast<int>(rest.size());
  benchmark::Initialize(&n, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
