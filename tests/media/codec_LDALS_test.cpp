// The low-delay lossless codec class: budget, lossless round trip, concealment over a lossy
// channel, and the bounds of its buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "codec_LDALS.h"
#include "codec_manager.h"
#include "test_signal.h"

using namespace orva;

namespace {

constexpr int kFrame = 128;

std::vector<short> frame_at(int index, double amplitude = 9000) {
  return test::stereo_tone(kFrame, 440, 660, amplitude, 48000, index * kFrame);
}

double energy(const std::vector<short>& v) {
  double e = 0;
  for (short s : v) e += double(s) * s;
  return e;
}

TEST(CodecLDALS, TargetSizeFollowsTheFrameDuration) {
  const struct {
    int frame, bytes;
  } cases[] = {{128, 267}, {64, 134}, {192, 400}, {256, 534}, {384, 800}};
  for (const auto& c : cases) EXPECT_EQ(codec_LDALS(c.frame).target_size(), c.bytes) << c.frame;
  codec_LDALS c(kFrame);
  EXPECT_EQ(c.id(), 97);
  EXPECT_EQ(c.timestamp_interval(), kFrame);
  EXPECT_EQ(c.channels(), 2);
}

TEST(CodecLDALS, ManagerListsItFirstForTheMainEngine) {
  codec_manager m(kFrame);
  ASSERT_NE(m.get(audio_codec_LDALS), nullptr);
  EXPECT_EQ(m.list(false).front()->id(), audio_codec_LDALS);
  EXPECT_EQ(m.get(audio_codec_LDALS, true), nullptr);
}

TEST(CodecLDALS, FramesThatFitArriveLosslessly) {
  codec_LDALS tx(kFrame), rx(kFrame);
  std::vector<unsigned char> payload(codec_max_payload);
  for (int i = 0; i < 20; ++i) {
    const auto in = frame_at(i);
    const int bytes = tx.encode(payload.data(), int(payload.size()), in.data(), kFrame);
    ASSERT_GT(bytes, 0);
    ASSERT_LE(bytes, 267);
    std::vector<short> out(kFrame * 2);
    ASSERT_EQ(rx.decode(out.data(), kFrame, payload.data(), bytes), kFrame);
    ASSERT_EQ(out, in) << "frame " << i;
  }
}

TEST(CodecLDALS, LossesAreConcealedAndLongBurstsFade) {
  codec_LDALS tx(kFrame), rx(kFrame);
  std::vector<unsigned char> payload(codec_max_payload);
  std::vector<short> out(kFrame * 2);
  for (int i = 0; i < 4; ++i) {
    const auto in = frame_at(i);
    const int bytes = tx.encode(payload.data(), int(payload.size()), in.data(), kFrame);
    ASSERT_EQ(rx.decode(out.data(), kFrame, payload.data(), bytes), kFrame);
  }
  std::vector<double> burst;
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(rx.get_PLC_data(out.data(), kFrame), kFrame);
    burst.push_back(energy(out));
  }
  // The first concealed frame carries the tone on; from the second on each fades.
  EXPECT_GT(burst[0], 0.5 * energy(frame_at(4)));
  for (size_t i = 2; i < burst.size(); ++i) EXPECT_LT(burst[i], burst[i - 1]) << i;
  EXPECT_LT(burst.back(), 0.2 * burst[0]);

  // Back to good frames: the first one is cross-faded, the next are exact again.
  for (int i = 10; i < 13; ++i) {
    const auto in = frame_at(i);
    const int bytes = tx.encode(payload.data(), int(payload.size()), in.data(), kFrame);
    ASSERT_EQ(rx.decode(out.data(), kFrame, payload.data(), bytes), kFrame);
    if (i > 10) {
      EXPECT_EQ(out, in);
    }
  }
}

// A payload the decoder refuses is played as a lost packet would be, and a reset forgets the
// previous call's history so that the first losses of a new call are silent.
TEST(CodecLDALS, RefusedPayloadsAndResetAreConcealedSafely) {
  codec_LDALS tx(kFrame), rx(kFrame), twin(kFrame);
  std::vector<unsigned char> payload(codec_max_payload);
  std::vector<short> out(kFrame * 2), expected(kFrame * 2);
  for (int i = 0; i < 3; ++i) {
    const auto in = frame_at(i);
    const int bytes = tx.encode(payload.data(), int(payload.size()), in.data(), kFrame);
    ASSERT_EQ(rx.decode(out.data(), kFrame, payload.data(), bytes), kFrame);
    ASSERT_EQ(twin.decode(out.data(), kFrame, payload.data(), bytes), kFrame);
  }
  const unsigned char garbage[7] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
  ASSERT_EQ(rx.decode(out.data(), kFrame, garbage, sizeof garbage), kFrame);
  ASSERT_EQ(twin.get_PLC_data(expected.data(), kFrame), kFrame);
  EXPECT_EQ(out, expected);
  EXPECT_GT(energy(out), 0);

  rx.reset();
  ASSERT_EQ(rx.get_PLC_data(out.data(), kFrame), kFrame);
  EXPECT_EQ(energy(out), 0);
}

TEST(CodecLDALS, BuffersAreBoundedByTheirCapacity) {
  codec_LDALS tx(kFrame), rx(kFrame);
  std::vector<unsigned char> payload(codec_max_payload);
  const auto in = frame_at(0, 30000);
  EXPECT_EQ(tx.encode(payload.data(), 8, in.data(), kFrame), -1);
  const int bytes = tx.encode(payload.data(), int(payload.size()), in.data(), kFrame);
  ASSERT_GT(bytes, 0);
  std::vector<short> out(kFrame * 2 + 16, 0x5555);
  EXPECT_EQ(rx.decode(out.data(), 40, payload.data(), bytes), 40);
  for (size_t i = 80; i < out.size(); ++i) ASSERT_EQ(out[i], 0x5555) << i;
  std::vector<short> vec;
  EXPECT_EQ(rx.decode(vec, payload.data(), bytes), kFrame);
  EXPECT_EQ(vec.size(), size_t(kFrame) * 2);
}

}  // namespace
