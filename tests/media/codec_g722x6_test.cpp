// The "SBADPCM" codec class: packet layout, bounds of decode and concealment, reset, failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec_g722x6.h"
#include "codec_manager.h"
#include "pcmswb.h"
#include "swb_alloc.h"
#include "test_signal.h"

using namespace orva;

namespace {

constexpr int packet_frames = 160;

std::vector<short> channel_of(const std::vector<short>& v, size_t from, int frames, int ch) {
  std::vector<short> out(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) out[static_cast<size_t>(i)] = v[2 * (from + static_cast<size_t>(i)) + static_cast<size_t>(ch)];
  return out;
}

TEST(CodecG722x6, ManagerListsItWithItsParameters) {
  codec_manager m(128);
  codec* c = m.get(audio_codec_SBADPCM);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->name(), "SBADPCM");
  EXPECT_EQ(c->sampling_frequency(), 48000);
  EXPECT_EQ(c->channels(), 2);
  EXPECT_EQ(c->frame_samples(), 160);
  EXPECT_EQ(c->timestamp_interval(), 160);
  EXPECT_EQ(c->bit_rate(), 384);
  EXPECT_EQ(m.get(audio_codec_SBADPCM, true), nullptr);
}

TEST(CodecG722x6, PacketInterleavesTheChannelsByteByByteInEachBlock) {
  codec_g722x6 c(packet_frames);
  pcmswbEncoderState* left = pcmswbEncode_const(16000, 2);
  pcmswbEncoderState* right = pcmswbEncode_const(16000, 2);
  const auto pcm = test::stereo_tone(packet_frames * 5, 1000.0, 2300.0, 9000.0);
  for (int p = 0; p < 5; ++p) {
    unsigned char packet[200];
    ASSERT_EQ(c.encode(packet, sizeof packet, pcm.data() + 2 * packet_frames * p, packet_frames), 160);
    for (int b = 0; b < 2; ++b) {
      const size_t from = static_cast<size_t>(packet_frames * p + 80 * b);
      const auto l = channel_of(pcm, from, 80, 0), r = channel_of(pcm, from, 80, 1);
      unsigned char el[40], er[40];
      pcmswbEncode(l.data(), el, left);
      pcmswbEncode(r.data(), er, right);
      for (int k = 0; k < 40; ++k) {
        EXPECT_EQ(packet[80 * b + 2 * k], el[k]) << p << " " << b << " " << k;
        EXPECT_EQ(packet[80 * b + 2 * k + 1], er[k]) << p << " " << b << " " << k;
      }
    }
  }
  pcmswbEncode_dest(left);
  pcmswbEncode_dest(right);
}

TEST(CodecG722x6, StereoRoundTripKeepsEachChannelsTone) {
  codec_g722x6 c(packet_frames);
  const int packets = 100;
  const auto pcm = test::stereo_tone(packet_frames * packets, 1500.0, 4200.0, 10000.0);
  std::vector<short> out;
  for (int p = 0; p < packets; ++p) {
    unsigned char packet[160];
    ASSERT_EQ(c.encode(packet, sizeof packet, pcm.data() + 2 * packet_frames * p, packet_frames), 160);
    std::vector<short> frame;
    ASSERT_EQ(c.decode(frame, packet, 160), packet_frames);
    ASSERT_EQ(frame.size(), 2u * packet_frames);
    out.insert(out.end(), frame.begin(), frame.end());
  }
  EXPECT_GT(test::tone_snr_db(out, 2, 0, 1500.0, 48000, 2000, 12000), 25.0);
  EXPECT_GT(test::tone_snr_db(out, 2, 1, 4200.0, 48000, 2000, 12000), 25.0);
}

TEST(CodecG722x6, EncodeCodesWholeBlocksAndReturnsTheBytesWritten) {
  const auto pcm = test::stereo_tone(400, 1000.0, 1000.0, 5000.0);
  struct row { int frames; int capacity; int result; };
  const row rows[] = {
      {160, 160, 160}, {240, 400, 240}, {200, 400, 160}, {160, 159, -1}, {79, 400, -1}, {0, 400, -1},
  };
  for (const row& r : rows) {
    codec_g722x6 c(packet_frames);
    std::vector<unsigned char> out(static_cast<size_t>(r.capacity) + 16, 0xA5);
    EXPECT_EQ(c.encode(out.data(), r.capacity, pcm.data(), r.frames), r.result) << r.frames;
    for (size_t k = static_cast<size_t>(std::max(r.result, 0)); k < out.size(); ++k)
      ASSERT_EQ(out[k], 0xA5) << r.frames << " wrote beyond the payload at " << k;
  }
  codec_g722x6 c(packet_frames);
  unsigned char out[160];
  EXPECT_EQ(c.encode(nullptr, 160, pcm.data(), 160), -1);
  EXPECT_EQ(c.encode(out, 160, nullptr, 160), -1);
}

TEST(CodecG722x6, DecodeTakesOnlyWholeBlocksAndNeverMoreThanTheCallersFrame) {
  std::vector<unsigned char> payload(400);
  for (size_t k = 0; k < payload.size(); ++k) payload[k] = static_cast<unsigned char>(k * 131 + 7);
  struct row { int length; int out_frames; int result; };
  const row rows[] = {
      {160, 160, 160}, {150, 160, 80}, {320, 160, 160}, {400, 240, 240}, {160, 100, 80}, {79, 160, 0}, {160, 79, 0},
  };
  for (const row& r : rows) {
    codec_g722x6 c(packet_frames);
    std::vector<short> out(static_cast<size_t>(r.out_frames) * 2 + 32, 0x5A5A);
    EXPECT_EQ(c.decode(out.data(), r.out_frames, payload.data(), r.length), r.result) << r.length << " " << r.out_frames;
    for (size_t k = static_cast<size_t>(r.result) * 2; k < out.size(); ++k)
      ASSERT_EQ(out[k], 0x5A5A) << r.length << " " << r.out_frames << " wrote beyond at " << k;
  }
  codec_g722x6 c(packet_frames);
  short out[320];
  EXPECT_EQ(c.decode(out, 160, nullptr, 160), 0);
  EXPECT_EQ(c.decode(nullptr, 160, payload.data(), 160), 0);
  std::vector<short> v;
  EXPECT_EQ(c.decode(v, payload.data(), 400), 160) << "the vector form is bounded by the frame too";
  EXPECT_EQ(v.size(), 320u);
}

TEST(CodecG722x6, ConcealmentFillsOneFrameLengthBoundedByTheCaller) {
  codec_g722x6 c(packet_frames);
  const auto pcm = test::stereo_tone(packet_frames * 20, 800.0, 800.0, 10000.0);
  short out[2 * packet_frames + 64];
  for (int p = 0; p < 20; ++p) {
    unsigned char packet[160];
    c.encode(packet, 160, pcm.data() + 2 * packet_frames * p, packet_frames);
    c.decode(out, packet_frames, packet, 160);
  }
  std::fill(std::begin(out), std::end(out), short{0x5A5A});
  EXPECT_EQ(c.get_PLC_data(out, packet_frames), packet_frames);
  int peak = 0;
  for (int i = 0; i < 2 * packet_frames; ++i) peak = std::max(peak, std::abs(static_cast<int>(out[i])));
  EXPECT_GT(peak, 3000) << "the tone goes on through the loss";
  for (size_t k = 2 * packet_frames; k < std::size(out); ++k) ASSERT_EQ(out[k], 0x5A5A);
  EXPECT_EQ(c.get_PLC_data(out, 100), 80);
  EXPECT_EQ(c.get_PLC_data(out, 79), 0);
  EXPECT_EQ(c.get_PLC_data(nullptr, 160), 0);
}

TEST(CodecG722x6, ResetStartsANewCallWithoutThePreviousCallsHistory) {
  codec_g722x6 used(packet_frames);
  const auto old_call = test::stereo_tone(packet_frames * 30, 700.0, 1900.0, 12000.0);
  short out[2 * packet_frames];
  for (int p = 0; p < 30; ++p) {
    unsigned char packet[160];
    used.encode(packet, 160, old_call.data() + 2 * packet_frames * p, packet_frames);
    used.decode(out, packet_frames, packet, 160);
  }
  used.get_PLC_data(out, packet_frames);  // a loss pending when the call ends
  EXPECT_EQ(used.reset(), 0);

  codec_g722x6 fresh(packet_frames);
  // The new call starts with a lost packet: there is nothing of the old call to conceal with.
  short a[2 * packet_frames], b[2 * packet_frames];
  ASSERT_EQ(used.get_PLC_data(a, packet_frames), packet_frames);
  ASSERT_EQ(fresh.get_PLC_data(b, packet_frames), packet_frames);
  for (int i = 0; i < 2 * packet_frames; ++i) ASSERT_EQ(a[i], 0) << i;
  EXPECT_TRUE(std::equal(a, a + 2 * packet_frames, b));
  const auto new_call = test::stereo_tone(packet_frames * 10, 300.0, 5100.0, 8000.0);
  for (int p = 0; p < 10; ++p) {
    unsigned char pu[160], pf[160];
    used.encode(pu, 160, new_call.data() + 2 * packet_frames * p, packet_frames);
    fresh.encode(pf, 160, new_call.data() + 2 * packet_frames * p, packet_frames);
    ASSERT_TRUE(std::equal(pu, pu + 160, pf)) << p;
    used.decode(a, packet_frames, pu, 160);
    fresh.decode(b, packet_frames, pf, 160);
    ASSERT_TRUE(std::equal(a, a + 2 * packet_frames, b)) << p;
  }
}

int g_fail_at = -1;
void* failing_alloc(std::size_t size) {
  if (g_fail_at-- == 0) return nullptr;
  return std::malloc(size);
}

TEST(CodecG722x6, RunningOutOfMemoryThrowsTheSpecifiedErrorAndLeaksNothing) {
  const unsigned long e0 = g722swb::swb_allocation_count();
  pcmswbEncode_dest(pcmswbEncode_const(16000, 2));
  const unsigned long per_encoder = g722swb::swb_allocation_count() - e0;
  const unsigned long d0 = g722swb::swb_allocation_count();
  pcmswbDecode_dest(pcmswbDecode_const(2));
  const unsigned long per_decoder = g722swb::swb_allocation_count() - d0;
  const int total = static_cast<int>(2 * per_encoder + 2 * per_decoder);
  for (int n = 0; n < total; ++n) {
    g_fail_at = n;
    g722swb::swb_set_allocator(failing_alloc);
    std::string what;
    try {
      codec_g722x6 c(packet_frames);
    } catch (const std::runtime_error& e) {
      what = e.what();
    }
    g722swb::swb_set_allocator(nullptr);
    EXPECT_EQ(what, n < static_cast<int>(2 * per_encoder) ? "can't create G.722 encoder" : "can't create G.722 decoder")
        << n;
  }
}

}  // namespace
