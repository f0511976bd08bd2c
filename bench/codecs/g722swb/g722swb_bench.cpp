// The "SBADPCM" packet as the media engine codes it: 160 stereo frames at 48 kHz, that is two
// 80-sample blocks per channel, 3.33 ms of audio. Each benchmark reports its time per packet
// as a fraction of those 3.33 ms ("of_packet") and the heap allocations per 80-sample frame.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "pcmswb.h"
#include "swb_alloc.h"

namespace {

std::atomic<unsigned long> g_news{0};

constexpr int BLOCKS = 2;    // 80-sample blocks per channel and packet
constexpr int CHANNELS = 2;
constexpr double PACKET_SECONDS = 160.0 / 48000.0;

std::vector<short> programme(int n, int channel)
{
    std::vector<short> x(static_cast<size_t>(n));
    unsigned seed = 12345u + static_cast<unsigned>(channel);
    for (int i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        const double noise = static_cast<double>((seed >> 16) & 0x7FFF) / 32768.0 - 0.5;
        x[static_cast<size_t>(i)] = static_cast<short>(
            6000.0 * std::sin(0.07 * i * (channel + 1)) + 3000.0 * std::sin(0.9 * i) + 2000.0 * noise);
    }
    return x;
}

unsigned long allocations() { return g722swb::swb_allocation_count() + g_news.load(); }

// Seconds spent in the timed part of one packet.
template <typename F>
double timed(F&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void report(benchmark::State& state, double busy, unsigned long allocs, long frames)
{
    // The share of the packet's real time (3.33 ms) spent coding it.
    state.counters["of_packet"] = busy / (static_cast<double>(state.iterations()) * PACKET_SECONDS);
    state.counters["allocs_per_frame"] = static_cast<double>(allocs) / static_cast<double>(frames);
}

struct stereo {
    pcmswbEncoderState* enc[CHANNELS];
    pcmswbDecoderState* dec[CHANNELS];
    std::vector<short> x[CHANNELS];
    std::vector<unsigned char> bytes[CHANNELS];
    stereo()
    {
        for (int c = 0; c < CHANNELS; ++c) {
            enc[c] = pcmswbEncode_const(16000, 2);
            dec[c] = pcmswbDecode_const(2);
            x[c] = programme(80 * 400, c);
            bytes[c].resize(40 * 400);
            for (int f = 0; f < 400; ++f)
                pcmswbEncode(&x[c][static_cast<size_t>(80 * f)], &bytes[c][static_cast<size_t>(40 * f)], enc[c]);
        }
    }
    ~stereo()
    {
        for (int c = 0; c < CHANNELS; ++c) {
            pcmswbEncode_dest(enc[c]);
            pcmswbDecode_dest(dec[c]);
        }
    }
};

void BM_EncodePacket(benchmark::State& state)
{
    stereo s;
    unsigned char out[40];
    int f = 0;
    double busy = 0.0;
    const unsigned long before = allocations();
    for (auto _ : state) {
        busy += timed([&] {
            for (int b = 0; b < BLOCKS; ++b, f = (f + 1) % 400)
                for (int c = 0; c < CHANNELS; ++c) {
                    pcmswbEncode(&s.x[c][static_cast<size_t>(80 * f)], out, s.enc[c]);
                    benchmark::DoNotOptimize(out);
                }
        });
    }
    report(state, busy, allocations() - before, static_cast<long>(state.iterations()) * BLOCKS * CHANNELS);
}
BENCHMARK(BM_EncodePacket);

void BM_DecodePacket(benchmark::State& state)
{
    stereo s;
    short pcm[80];
    int f = 0;
    double busy = 0.0;
    const unsigned long before = allocations();
    for (auto _ : state) {
        busy += timed([&] {
            for (int b = 0; b < BLOCKS; ++b, f = (f + 1) % 400)
                for (int c = 0; c < CHANNELS; ++c) {
                    pcmswbDecode(&s.bytes[c][static_cast<size_t>(40 * f)], pcm, s.dec[c], 0);
                    benchmark::DoNotOptimize(pcm);
                }
        });
    }
    report(state, busy, allocations() - before, static_cast<long>(state.iterations()) * BLOCKS * CHANNELS);
}
BENCHMARK(BM_DecodePacket);

// The worst concealed packet: the first lost packet after good audio, whose first block runs
// the signal analysis (predictor, pitch search, classification) on both channels.
void BM_ConcealFirstLostPacket(benchmark::State& state)
{
    stereo s;
    short pcm[80];
    int f = 0;
    double busy = 0.0;
    const unsigned long before = allocations();
    for (auto _ : state) {
        // Good packets first (untimed), so every timed packet is the first of a loss.
        for (int b = 0; b < 3; ++b, f = (f + 1) % 400)
            for (int c = 0; c < CHANNELS; ++c)
                pcmswbDecode(&s.bytes[c][static_cast<size_t>(40 * f)], pcm, s.dec[c], 0);
        const double t = timed([&] {
            for (int b = 0; b < BLOCKS; ++b)
                for (int c = 0; c < CHANNELS; ++c) {
                    pcmswbDecode(nullptr, pcm, s.dec[c], 1);
                    benchmark::DoNotOptimize(pcm);
                }
        });
        busy += t;
        state.SetIterationTime(t);
    }
    report(state, busy, allocations() - before, static_cast<long>(state.iterations()) * (3 + BLOCKS) * CHANNELS);
}
BENCHMARK(BM_ConcealFirstLostPacket)->UseManualTime();

}  // namespace

// Counts every C++ heap allocation of the process; the coder's own allocations are counted by
// its allocator.
void* operator new(std::size_t n)
{
    g_news.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n == 0 ? 1 : n))
        return p;
    throw std::bad_alloc();
}
// Through a pointer, so the compiler does not pair this free with the malloc above and warn.
static void (*volatile g_release)(void*) = std::free;
void operator delete(void* p) noexcept { g_release(p); }
void operator delete(void* p, std::size_t) noexcept { g_release(p); }

BENCHMARK_MAIN();
