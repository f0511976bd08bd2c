// The low-delay sender codes frames on its real-time thread: once open, encoding a frame must
// not allocate, whether the frame is coded once or its rate control needs several passes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "ldalse.h"

namespace {
std::atomic<unsigned long> g_news{0};
}  // namespace

void* operator new(std::size_t n) {
  g_news.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

TEST(LdalsAllocations, EncodingAFrameAllocatesNothing) {
  const int32_t frame = 128;
  const LDALSE_ALS_PARAMS params = {frame, 4};
  LDALSE_IMPL* enc = nullptr;
  ASSERT_EQ(LDALSE_Open(&enc, 48000, 2, 16, &params), 0);
  std::mt19937 rng(5);
  std::normal_distribution<double> g(0.0, 4000.0);
  std::vector<int16_t> pcm(frame * 2);
  struct Case {
    const char* name;
    double spread;  // amplitude of the right channel's own noise
    int32_t budget;
  } cases[] = {{"identical channels", 0.0, 267}, {"independent channels", 1.0, 267},
               {"budget forcing several passes", 1.0, 120}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned long news = 0;
    for (int f = 0; f < 40; ++f) {
      for (int i = 0; i < frame; ++i) {
        double l = g(rng);
        pcm[2 * i] = static_cast<int16_t>(l);
        pcm[2 * i + 1] = static_cast<int16_t>(c.spread ? g(rng) : l);
      }
      const unsigned long before = g_news.load();
      int32_t out[3];
      int32_t r = LDALSE_EncodeWithTarget(enc, pcm.data(), c.budget, out);
      news += g_news.load() - before;
      EXPECT_GE(r, 0);
    }
    EXPECT_EQ(news, 0u);
  }
  LDALSE_Close(enc);
}
