// Lossless round trip of our encoder and decoder over the feature matrix.
#include <gtest/gtest.h>

#include "als_test_util.h"

using alstest::Config;

class AlsRoundTrip : public ::testing::TestWithParam<Config> {};

TEST_P(AlsRoundTrip, DecodesToTheInput) {
  const Config& c = GetParam();
  // A few frames and a short last one.
  uint32_t samples = c.frame_length * 3 + c.frame_length / 3 + 5;
  if (samples > 14000) samples = 14000;
  auto pcm = alstest::MakePcm(c, samples);
  auto e = alstest::Encode(c, pcm);
  ASSERT_EQ(e.result, 0);
  std::vector<uint8_t> out;
  uint32_t crc = 0;
  ASSERT_EQ(alstest::Decode(e, &out, &crc), 0);
  ASSERT_EQ(out.size(), pcm.size());
  EXPECT_TRUE(out == pcm);
  if (c.crc) {
    uint32_t state;
    NALS_CRC32_Init(&state);
    NALS_CRC32_ProcessBlock(&state, pcm.data(), pcm.size());
    EXPECT_EQ(crc, NALS_CRC32_Get(&state));
  }
}

INSTANTIATE_TEST_SUITE_P(Features, AlsRoundTrip, ::testing::ValuesIn(alstest::FeatureMatrix()),
                         [](const auto& info) { return info.param.name; });

// Workers change where blocks are coded, never the stream.
TEST(AlsWorkers, SameStreamAsWithoutWorkers) {
  for (const char* name : {"bs3", "js_3ch_bs2", "mcc6_5ch_bs2", "ltp_mcc_bs1", "mcc_js_bs4_8ch"}) {
    Config c;
    for (const Config& m : alstest::FeatureMatrix())
      if (m.name == name) c = m;
    ASSERT_EQ(c.name, name);
    auto pcm = alstest::MakePcm(c, c.frame_length * 2 + 77, 5);
    auto plain = alstest::Encode(c, pcm);
    c.threads = 3;
    auto threaded = alstest::Encode(c, pcm);
    ASSERT_EQ(plain.result, 0);
    ASSERT_EQ(threaded.result, 0);
    EXPECT_TRUE(plain.frames == threaded.frames) << name;
  }
}
