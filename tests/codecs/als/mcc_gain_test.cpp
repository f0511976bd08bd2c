// Coding gain of multi-channel correlation in the low-delay configuration (128-sample frames,
// random access every frame, adaptive order 15): a slave channel predicted from its master
// must cost little more than the joint-stereo difference, and never more than coding apart.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "als_test_util.h"

using alstest::Config;

namespace {

Config LowDelay(uint32_t mcc, uint32_t joint_stereo) {
  Config c;
  c.name = "low-delay";
  c.frame_length = 128;
  c.mcc = mcc;
  c.joint_stereo = joint_stereo;
  c.lsb_check = 1;
  c.lsb_roundup = 1;
  return c;
}

// Stereo 16-bit PCM: right = gain * left + independent noise of the given amplitude.
std::vector<uint8_t> Pair(uint32_t samples, double gain, double noise, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> g(0.0, 3000.0);
  std::vector<uint8_t> pcm(samples * 4);
  for (uint32_t i = 0; i < samples; ++i) {
    double l = g(rng);
    double r = gain * l + noise * g(rng) / 3000.0;
    auto put = [&](uint32_t at, double v) {
      int32_t s = static_cast<int32_t>(v);
      s = s > 32767 ? 32767 : s < -32768 ? -32768 : s;
      pcm[at] = static_cast<uint8_t>(s & 0xff);
      pcm[at + 1] = static_cast<uint8_t>((s >> 8) & 0xff);
    };
    put(i * 4, l);
    put(i * 4 + 2, r);
  }
  return pcm;
}

struct Sizes {
  double independent, joint, mcc;
};

double BytesPerFrame(const Config& c, const std::vector<uint8_t>& pcm) {
  alstest::Encoded e = alstest::Encode(c, pcm);
  EXPECT_EQ(e.result, 0) << c.name;
  std::vector<uint8_t> back;
  EXPECT_EQ(alstest::Decode(e, &back), 0);
  EXPECT_EQ(back, pcm) << "not lossless";
  uint64_t total = 0;
  for (const auto& f : e.frames) total += f.size();
  return e.frames.empty() ? 0.0 : static_cast<double>(total) / static_cast<double>(e.frames.size());
}

Sizes Measure(const std::vector<uint8_t>& pcm) {
  return {BytesPerFrame(LowDelay(0, 0), pcm), BytesPerFrame(LowDelay(0, 1), pcm),
          BytesPerFrame(LowDelay(2, 0), pcm)};
}

}  // namespace

// Identical channels leave the slave only its first and last residual samples, which the
// inter-channel weights never reach; with one Rice parameter per 128-sample block those two
// samples cost about 130 bytes a frame, while joint stereo codes the zero difference in one byte.
// A slave louder or quieter than its master by more than the weight table reaches (1.6) must
// be coded against the louder channel, so that the gain stays within the table.
TEST(AlsMccGain, SlaveCostsLittleMoreThanItsUncompensatedEdges) {
  struct Case {
    const char* name;
    double gain, noise;
    double max_over_js;  // bytes a frame above joint stereo
  } cases[] = {{"identical", 1.0, 0.0, 140}, {"inverted", -1.0, 0.0, -80},
               {"half as loud", 0.5, 0.0, -60}, {"twice as loud", 2.0, 0.0, -60},
               {"correlated with noise", 0.8, 300.0, 0}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Sizes s = Measure(Pair(128 * 100, k.gain, k.noise, 7));
    EXPECT_LT(s.mcc, s.independent * 0.92);
    EXPECT_LE(s.mcc, s.joint + k.max_over_js);
  }
}
