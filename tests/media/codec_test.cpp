// Codec classes and the codec manager.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
#include <string>

#include "codec_LPCM.h"
#include "codec_manager.h"
#include "codec_opus.h"
#include "codec_u_law.h"
#include "codec_u_law_48k.h"
#include "sampling_converter_6.h"
#include "test_signal.h"

using namespace orva;

namespace {

std::string run_capture(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

double response_db(double f) {
  const float* h = sampling_converter_6::filter();
  std::complex<double> sum = 0;
  const double pi = std::acos(-1.0);
  for (int k = 0; k < sampling_converter_6::m_filter_size; ++k)
    sum += static_cast<double>(h[k]) * std::polar(1.0, -2 * pi * f * k / 48000.0);
  return 20 * std::log10(std::abs(sum));
}

}  // namespace

TEST(CodecManager, HandsOutCodecsByIdAndEngine) {
  codec_manager m(128);
  struct row { int id; bool list_b; const char* name; int fs; int channels; int frame; int step; };
  const row rows[] = {
      {0, false, "PCMU", 48000, 2, 960, 160},
      {0, true, "PCMU", 8000, 1, 160, 160},
      {96, false, "opus", 48000, 2, 960, 960},
      {100, false, "LPCM", 48000, 2, 128, 128},
  };
  for (const row& r : rows) {
    codec* c = m.get(r.id, r.list_b);
    ASSERT_NE(c, nullptr) << r.id;
    EXPECT_EQ(c->payload_type(), r.id);
    EXPECT_EQ(c->name(), r.name);
    EXPECT_EQ(c->sampling_frequency(), r.fs);
    EXPECT_EQ(c->channels(), r.channels);
    EXPECT_EQ(c->frame_samples(), r.frame);
    EXPECT_EQ(c->timestamp_interval(), r.step);
  }
  EXPECT_EQ(m.get(98, false), nullptr);
  EXPECT_EQ(m.get(97, true), nullptr);
  EXPECT_EQ(m.get(96, true), nullptr);
}

TEST(CodecManager, RefusesFrameLengthsThatDoNotFitAPacket) {
  struct row { int asked; int used; };
  const row rows[] = {{64, 64}, {128, 128}, {384, 384}, {0, 128}, {-64, 128}, {96, 128}, {448, 128}, {4096, 128}};
  for (const row& r : rows) {
    EXPECT_EQ(codec_manager::checked_frame_length(r.asked), r.used) << r.asked;
    codec_manager m(r.asked);
    EXPECT_EQ(m.get(100, false)->frame_samples(), r.used) << r.asked;
  }
}

TEST(CodecManager, SharedCodecIsDeletedOnce) {
  // Listing one codec several times must not free it several times (ASan watches).
  codec_manager m(new codec_LPCM(128), 3);
  EXPECT_EQ(m.list(false).size(), 3u);
  EXPECT_TRUE(m.list(true).empty());
  EXPECT_EQ(m.get(100, false), m.list(false)[2]);
}

TEST(CodecLPCM, RoundTripIsBitExactAndLittleEndian) {
  codec_LPCM c(128);
  auto in = test::stereo_tone(128, 1000, 3000, 30000);
  in[0] = -32768;
  in[1] = 0x1234;
  unsigned char pay[1600];
  ASSERT_EQ(c.encode(pay, sizeof pay, in.data(), 128), 512);
  EXPECT_EQ(pay[0], 0x00);
  EXPECT_EQ(pay[1], 0x80);
  EXPECT_EQ(pay[2], 0x34);
  EXPECT_EQ(pay[3], 0x12);
  std::vector<short> out;
  ASSERT_EQ(c.decode(out, pay, 512), 128);
  EXPECT_EQ(out, in);
  EXPECT_EQ(c.encode(pay, 511, in.data(), 128), -1) << "encode must respect the output room";
}

TEST(CodecLPCM, ConcealmentFadesAndRecovers) {
  codec_LPCM c(4);
  short frame[8] = {1000, -1000, 2000, -2000, 3000, -3000, 4000, -4000};
  unsigned char pay[32];
  short out[8];
  EXPECT_EQ(c.get_PLC_data(out, 4), 0) << "nothing to conceal before the first packet";
  c.encode(pay, sizeof pay, frame, 4);
  ASSERT_EQ(c.decode(out, 4, pay, 16), 4);
  // Sequence: loss, loss, good, good, good; expected level of the first sample.
  struct step { bool lost; int expect; };
  const step steps[] = {{true, 1000}, {true, 990}, {false, 980}, {false, 990}, {false, 1000}};
  for (const step& s : steps) {
    const int n = s.lost ? c.get_PLC_data(out, 4) : c.decode(out, 4, pay, 16);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(out[0], s.expect);
    EXPECT_EQ(out[1], -s.expect);
  }
}

TEST(CodecLPCM, WritesNeverExceedTheCallersRoom) {
  // A peer may send a longer payload than our frame; neither decode nor the concealment that
  // repeats it may write more than the caller's buffer holds.
  codec_LPCM c(4);
  std::vector<unsigned char> pay(64 * 4, 0x11);
  std::vector<short> out(4 * 2 + 8, 0x7777);
  EXPECT_EQ(c.decode(out.data(), 4, pay.data(), static_cast<int>(pay.size())), 4);
  EXPECT_EQ(out[8], 0x7777);
  std::fill(out.begin(), out.end(), 0x7777);
  EXPECT_EQ(c.get_PLC_data(out.data(), 4), 4);
  EXPECT_EQ(out[7], 0x1111);
  EXPECT_EQ(out[8], 0x7777);
  // A payload shorter than a frame conceals as one full frame, padded with silence.
  codec_LPCM d(4);
  d.decode(out.data(), 4, pay.data(), 8);
  EXPECT_EQ(d.get_PLC_data(out.data(), 4), 4);
  EXPECT_EQ(out[3], 0x1111);
  EXPECT_EQ(out[4], 0);
  EXPECT_EQ(d.decode(out.data(), 4, pay.data(), 3), 0) << "less than one frame";
}

TEST(CodecULaw, MatchesPythonAudioopForEverySample) {
  const std::string enc = run_capture(
      "python3 -W ignore -c \"import audioop,struct,sys;"
      "sys.stdout.buffer.write(audioop.lin2ulaw(struct.pack('<65536h',*range(-32768,32768)),2))\"");
  ASSERT_EQ(enc.size(), 65536u) << "python3 with audioop is needed (scripts/deps)";
  int mismatches = 0;
  for (int v = -32768; v < 32768; ++v)
    if (ulaw_compress14(v >> 2) != static_cast<uint8_t>(enc[v + 32768]) && ++mismatches < 5)
      ADD_FAILURE() << "sample " << v;
  EXPECT_EQ(mismatches, 0);
  const std::string dec = run_capture(
      "python3 -W ignore -c \"import audioop,sys;"
      "sys.stdout.buffer.write(audioop.ulaw2lin(bytes(range(256)),2))\"");
  ASSERT_EQ(dec.size(), 512u);
  for (int u = 0; u < 256; ++u) {
    const int16_t ref = static_cast<int16_t>(static_cast<uint8_t>(dec[2 * u]) | (static_cast<uint8_t>(dec[2 * u + 1]) << 8));
    EXPECT_EQ(ulaw_expand(static_cast<uint8_t>(u)), ref) << u;
  }
}

TEST(CodecULaw, EightKilohertzFramesAreOneBytePerSample) {
  codec_u_law c(160);
  std::vector<short> in(160);
  for (int i = 0; i < 160; ++i) in[i] = static_cast<short>(std::lround(8000 * std::sin(i * 0.785)));
  unsigned char pay[160];
  ASSERT_EQ(c.encode(pay, 160, in.data(), 160), 160);
  EXPECT_EQ(c.encode(pay, 159, in.data(), 160), -1);
  short out[200];
  EXPECT_EQ(c.decode(out, 100, pay, 160), 100) << "decode is bounded by the caller's room";
  EXPECT_EQ(c.get_PLC_data(out, 160), 0);
}

TEST(SamplingConverter, FilterHasTheSpecifiedShape) {
  const float* h = sampling_converter_6::filter();
  for (int k = 0; k < 127; ++k) EXPECT_EQ(h[k], h[254 - k]) << k;
  EXPECT_EQ(h[255], 0.0f);
  EXPECT_NEAR(h[127], 1.0 / 6, 1e-4);
  double dc = 0;
  for (int k = 0; k < 256; ++k) dc += h[k];
  EXPECT_NEAR(dc, 1.0, 1e-5);
  for (double f = 0; f <= 3400; f += 100) EXPECT_NEAR(response_db(f), 0.0, 0.001) << f;
  EXPECT_NEAR(response_db(4000), -6.0, 0.1);
  EXPECT_NEAR(response_db(4200), -18.7, 4.0);
  for (double f = 5000; f <= 24000; f += 50) EXPECT_LT(response_db(f), -87.0) << f;
}

TEST(CodecULaw48k, StartsSilentAndDecodesToEqualChannels) {
  codec_u_law_48k c(960);
  const auto in = test::stereo_tone(960, 1000, 1000, 8000);
  unsigned char pay[1600];
  ASSERT_EQ(c.encode(pay, sizeof pay, in.data(), 960), 160);
  for (int i = 0; i < 160; ++i) ASSERT_EQ(pay[i], 0xFF) << "start-up frame is silence";
  std::vector<short> out;
  ASSERT_EQ(c.decode(out, pay, 160), 960);
  ASSERT_EQ(out.size(), 1920u);
  for (int i = 0; i < 960; ++i) ASSERT_EQ(out[2 * i], out[2 * i + 1]);
  short small[2 * 100];
  EXPECT_EQ(c.decode(small, 100, pay, 160), 96) << "bounded by the room, whole 8 kHz samples";
}

TEST(CodecULaw48k, ToneSurvivesTheRoundTrip) {
  // G.711 gives about 38 dB of signal to quantisation noise for a tone well above the lowest
  // segments; the converters' filter is flat to 0.001 dB at 1 kHz and removes aliases by more
  // than 87 dB, so 33 dB leaves room for the interpolation error and nothing more.
  codec_u_law_48k enc(960), dec(960);
  std::vector<short> all;
  for (int f = 0; f < 25; ++f) {
    const auto in = test::stereo_tone(960, 1000, 1000, 10000, 48000, f * 960);
    unsigned char pay[1600];
    const int n = enc.encode(pay, sizeof pay, in.data(), 960);
    ASSERT_EQ(n, 160);
    std::vector<short> out;
    ASSERT_EQ(dec.decode(out, pay, n), 960);
    all.insert(all.end(), out.begin(), out.end());
  }
  EXPECT_GT(test::tone_snr_db(all, 2, 0, 1000, 48000, 960 * 5, 960 * 19), 33.0);
  EXPECT_GT(test::tone_snr_db(all, 2, 1, 1000, 48000, 960 * 5, 960 * 19), 33.0);
}

TEST(CodecOpus, ConstantBitRatePacketsDecodeToTheTone) {
  // At 384 kbit/s a stereo 1 kHz tone is coded nearly transparently; 30 dB is far below what
  // the coder gives and far above what a broken path (wrong channel order, wrong frame) gives.
  codec_opus c(960);
  std::vector<short> all;
  for (int f = 0; f < 25; ++f) {
    const auto in = test::stereo_tone(960, 1000, 1500, 10000, 48000, f * 960);
    unsigned char pay[1600];
    const int n = c.encode(pay, sizeof pay, in.data(), 960);
    ASSERT_GT(n, 0);
    ASSERT_LE(n, 960);
    std::vector<short> out;
    ASSERT_EQ(c.decode(out, pay, n), 960);
    all.insert(all.end(), out.begin(), out.end());
  }
  EXPECT_GT(test::tone_snr_db(all, 2, 0, 1000, 48000, 960 * 5, 960 * 19), 30.0);
  EXPECT_GT(test::tone_snr_db(all, 2, 1, 1500, 48000, 960 * 5, 960 * 19), 30.0);
  std::vector<short> plc(1920);
  EXPECT_EQ(c.get_PLC_data(plc.data(), 960), 960);
  EXPECT_EQ(c.get_PLC_data(plc.data(), 959), 0) << "concealment needs a whole frame of room";
  const unsigned char junk[7] = {0xff, 0xfe, 0xfd, 1, 2, 3, 4};
  std::vector<short> out;
  c.decode(out, junk, sizeof junk);  // must not crash; result may be 0
  EXPECT_LE(out.size(), 1920u);
}
