// Behaviour of the ALS encoder and decoder pieces: bit writer and Rice code, stream header,
// set-up rules, block analysis, and the guards against faulty input and overflow.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "als_test_util.h"
#include "nals_bitio.h"
#include "nals_tables.h"
#include "nalsd_impl.h"
#include "nalse_impl.h"
#include "nalse_records.h"

using alstest::Config;

namespace {

std::string Bits(const uint8_t* p, uint64_t n) {
  std::string s;
  for (uint64_t i = 0; i < n; ++i) s += ((p[i / 8] >> (7 - i % 8)) & 1) ? '1' : '0';
  return s;
}

struct EncoderFixture {
  NALSE_IMPL* enc = nullptr;
  explicit EncoderFixture(NALSE_PARAMS p, uint32_t size = sizeof(NALSE_PARAMS)) {
    EXPECT_EQ(NALSE_Init(&enc, alstest::Alloc, alstest::Free), 0);
    open_result = NALSE_Open(enc, &p, size);
  }
  ~EncoderFixture() { NALSE_Destroy(enc); }
  int32_t open_result;
};

NALSE_PARAMS LowDelayParams() {
  NALSE_PARAMS p{};
  p.frequency = 48000;
  p.channels = 2;
  p.resolution = 16;
  p.frame_length = 256;
  p.random_access = 1;
  p.max_order = 15;
  p.adaptive = 1;
  p.mcc = 2;
  p.lsb_check = 1;
  p.lsb_roundup = 1;
  return p;
}

}  // namespace

TEST(AlsRice, CodesOfTheStandard) {
  struct Case {
    int32_t v;
    uint32_t s;
    const char* bits;
  } cases[] = {{0, 0, "0"}, {-1, 0, "10"}, {1, 0, "110"}, {0, 3, "0100"}, {-1, 3, "0000"},
               {5, 3, "10101"}, {-6, 2, "11001"}};
  for (const Case& c : cases) {
    uint8_t buf[16] = {};
    NALSE_BITWRITER bw;
    NALSE_BW_Init(&bw, buf, sizeof buf, 0);
    NALSE_BW_PutRiceBits(&bw, c.v, c.s);
    uint64_t n = NALSE_BW_BitCount(&bw);
    ASSERT_GE(NALSE_BW_Finish(&bw), 0);
    EXPECT_EQ(Bits(buf, n), c.bits) << c.v << " s=" << c.s;
    NALSD_BITREADER br;
    NALSD_BR_Init(&br, buf, sizeof buf);
    EXPECT_EQ(NALSD_BR_GetRiceBits(&br, c.s), c.v);
  }
}

TEST(AlsRice, LongPrefixSpansWordsAndReadsBack) {
  uint8_t buf[32] = {};
  NALSE_BITWRITER bw;
  NALSE_BW_Init(&bw, buf, sizeof buf, 0);
  NALSE_BW_PutRiceBits(&bw, 40, 0);  // 80 one bits and a zero
  NALSE_BW_PutRiceBits(&bw, -7, 5);
  EXPECT_EQ(NALSE_BW_BitCount(&bw), 81u + 6u);
  ASSERT_GE(NALSE_BW_Finish(&bw), 0);
  NALSD_BITREADER br;
  NALSD_BR_Init(&br, buf, sizeof buf);
  EXPECT_EQ(NALSD_BR_GetRiceBits(&br, 0), 40);
  EXPECT_EQ(NALSD_BR_GetRiceBits(&br, 5), -7);
  EXPECT_EQ(br.overrun, 0);
}

TEST(AlsBitWriter, AlignCountsFromTheStreamStart) {
  uint8_t buf[8] = {};
  NALSE_BITWRITER bw;
  NALSE_BW_Init(&bw, buf, sizeof buf, 4);
  PutBits_LE32(&bw, 1, 1);
  NALSE_BW_Align(&bw);
  EXPECT_EQ(NALSE_BW_BitCount(&bw), 4u);
  NALSE_BW_Align(&bw);
  EXPECT_EQ(NALSE_BW_BitCount(&bw), 4u);
}

// The writer is bounded by its area: an overflowing block reports -401 and leaves the bytes
// behind the area untouched.
TEST(AlsBitWriter, StopsAtItsArea) {
  std::vector<uint8_t> buf(16, 0xAA);
  NALSE_BITWRITER bw;
  NALSE_BW_Init(&bw, buf.data(), 8, 0);
  for (int i = 0; i < 10; ++i) PutBits_LE32(&bw, 0xFFFFFFFFu, 32);
  EXPECT_EQ(bw.overflow, 1);
  EXPECT_LT(NALSE_BW_Finish(&bw), 0);
  for (size_t i = 8; i < buf.size(); ++i) EXPECT_EQ(buf[i], 0xAA);
}

TEST(AlsBitWriter, BlockCodingLargerThanItsAreaFails) {
  EncoderFixture f(LowDelayParams());
  ASSERT_EQ(f.open_result, 0);
  NALSE_IMPL* enc = f.enc;
  nals::BLOCK_PARAM* bp = &enc->ps[0];
  std::vector<int32_t> x(15 + 256);
  for (size_t i = 15; i < x.size(); ++i) x[i] = (i % 2 ? 30000 : -30000);
  ASSERT_EQ(nals::EncodeBlockAnalysis(enc, bp, x.data() + 15, 256, 1, 0, 0), 1);
  nals::CalculateResidual(enc, bp, x.data() + 15);
  std::vector<uint8_t> area(64 + 16, 0x55);
  EXPECT_EQ(nals::EncodeBlockCoding(enc, bp, area.data(), 64, 0), NALS_ERR_WRITE);
  for (size_t i = 64; i < area.size(); ++i) EXPECT_EQ(area[i], 0x55);
  std::vector<uint8_t> big(enc->frame_buffer_size);
  EXPECT_GT(nals::EncodeBlockCoding(enc, bp, big.data(), static_cast<uint32_t>(big.size()), 0), 0);
}

TEST(AlsEncoder, FrameIntoTooSmallBufferFails) {
  EncoderFixture f(LowDelayParams());
  ASSERT_EQ(f.open_result, 0);
  Config c;
  auto pcm = alstest::MakePcm(c, 256);
  std::vector<uint8_t> out(40, 0);
  uint32_t written = 99;
  EXPECT_EQ(NALSE_EncodeFrameOnMemory(f.enc, pcm.data(), 256, out.data(), 40, &written), NALS_ERR_WRITE);
  EXPECT_EQ(written, 0u);
}

TEST(AlsHeader, LowDelayConfiguration) {
  EncoderFixture f(LowDelayParams());
  ASSERT_EQ(f.open_result, 0);
  uint8_t h[64];
  uint32_t n = 0;
  ASSERT_EQ(NALSE_OutputHeaderToMemory(f.enc, h, sizeof h, &n), 0);
  // The callback answers nothing: header and trailer sizes read "none".
  ASSERT_EQ(n, 30u);
  const uint8_t expected[22] = {'A', 'L', 'S', 0, 0, 0, 0xBB, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01,
                                0x04, 0x00, 0xFF, 0x01, 0x20, 0x0F, 0x04, 0x00};
  EXPECT_EQ(std::memcmp(h, expected, 22), 0);
  for (int i = 22; i < 30; ++i) EXPECT_EQ(h[i], 0xFF);
  NALSD_IMPL* dec = nullptr;
  ASSERT_EQ(NALSD_Init(&dec, alstest::Alloc, alstest::Free), 0);
  uint32_t used = 0;
  NALSD_STREAM_INFO info{};
  ASSERT_EQ(NALSD_OpenOnMemory(dec, h, n, &used, &info, 8), 0);
  EXPECT_EQ(used, 30u);
  EXPECT_EQ(info.size, 8u);
  EXPECT_EQ(info.frequency, 48000u);
  EXPECT_EQ(info.channels, 0u);  // beyond the size given
  NALSD_Destroy(dec);
}

TEST(AlsHeader, BlockSwitchingCodes) {
  const uint8_t codes[6] = {0, 1, 1, 1, 2, 3};
  for (uint32_t bs = 0; bs <= 5; ++bs) {
    NALSE_PARAMS p = LowDelayParams();
    p.block_switching = bs;
    p.frame_length = 4096;
    EncoderFixture f(p);
    ASSERT_EQ(f.open_result, 0);
    uint8_t h[64];
    uint32_t n = 0;
    ASSERT_EQ(NALSE_OutputHeaderToMemory(f.enc, h, sizeof h, &n), 0);
    EXPECT_EQ(h[20] >> 6, codes[bs]) << bs;
  }
}

TEST(AlsEncoderSetup, RulesOfTheParameterRecord) {
  struct Case {
    const char* name;
    void (*edit)(NALSE_PARAMS&);
    uint32_t size;
    int32_t result;
    int32_t code;
    uint32_t value;
  } cases[] = {
      {"frame length by rate", [](NALSE_PARAMS& p) { p.frequency = 44100; p.frame_length = 0; }, 104, 0, NALS_INFO_FRAME_LENGTH, 2048},
      {"above 96 kHz", [](NALSE_PARAMS& p) { p.frequency = 192000; p.frame_length = 0; }, 104, 0, NALS_INFO_FRAME_LENGTH, 4096},
      {"bs3 default", [](NALSE_PARAMS& p) { p.frequency = 44100; p.frame_length = 0; p.block_switching = 3; }, 104, 0, NALS_INFO_FRAME_LENGTH, 4096},
      {"1000 bs3", [](NALSE_PARAMS& p) { p.frame_length = 1000; p.block_switching = 3; }, 104, 0, NALS_INFO_FRAME_LENGTH, 1000},
      {"1000 bs5", [](NALSE_PARAMS& p) { p.frame_length = 1000; p.block_switching = 5; }, 104, 0, NALS_INFO_FRAME_LENGTH, 992},
      {"resolution 20", [](NALSE_PARAMS& p) { p.resolution = 20; p.lsb_check = 0; }, 104, 0, NALS_INFO_RESOLUTION, 24},
      {"resolution 20 checks lsb", [](NALSE_PARAMS& p) { p.resolution = 20; p.lsb_check = 0; }, 104, 0, NALS_INFO_LSB_CHECK, 1},
      {"mcc 1 is off", [](NALSE_PARAMS& p) { p.mcc = 1; }, 104, 0, NALS_INFO_MCC, 0},
      {"mcc 8 on stereo", [](NALSE_PARAMS& p) { p.mcc = 8; }, 104, 0, NALS_INFO_MCC, 2},
      {"file type 9", [](NALSE_PARAMS& p) { p.file_type = 9; }, 104, NALS_ERR_FILE_TYPE, 0, 0},
      {"no channels", [](NALSE_PARAMS&) {}, 4, NALS_ERR_CHANNELS, 0, 0},
      {"bgmc", [](NALSE_PARAMS& p) { p.bgmc = 1; }, 104, NALS_ERR_UNSUPPORTED, 0, 0},
      {"8 bits need msb", [](NALSE_PARAMS& p) { p.resolution = 8; }, 20, NALS_ERR_MSB_FIRST, 0, 0},
      {"table by rate", [](NALSE_PARAMS& p) { p.frequency = 96000; }, 104, 0, NALS_INFO_COEFF_TABLE, 1},
      {"too large to allocate", [](NALSE_PARAMS& p) { p.channels = 65536; p.frame_length = 65536; }, 104, NALS_ERR_MEMORY, 0, 0},
  };
  for (const Case& c : cases) {
    NALSE_PARAMS p = LowDelayParams();
    c.edit(p);
    EncoderFixture f(p, c.size);
    EXPECT_EQ(f.open_result, c.result) << c.name;
    if (c.result == 0) {
      uint32_t v = 0xDEAD;
      EXPECT_EQ(NALSE_GetInfo(f.enc, c.code, &v), 0) << c.name;
      EXPECT_EQ(v, c.value) << c.name;
    } else {
      uint32_t v;
      EXPECT_EQ(NALSE_GetInfo(f.enc, NALS_INFO_FREQUENCY, &v), NALS_ERR_NOT_OPEN) << c.name;
    }
  }
}

TEST(AlsEncoderSetup, ForcedShiftAndItsLimits) {
  EncoderFixture f(LowDelayParams());
  ASSERT_EQ(f.open_result, 0);
  EXPECT_EQ(NALSE_SetLsbForthShift(f.enc, 20), 0);
  EXPECT_EQ(f.enc->lsb_forth_shift, 16u);
  f.enc->lsb_check = 0;
  EXPECT_EQ(NALSE_SetLsbForthShift(f.enc, 0), 0);
  EXPECT_EQ(f.enc->lsb_check, 0u);
  EXPECT_EQ(NALSE_SetLsbForthShift(nullptr, 1), NALS_ERR_ARGUMENT);
  NALSE_PARAMS p = LowDelayParams();
  p.random_access = 10;
  p.ra_location = 1;
  EncoderFixture g(p);
  ASSERT_EQ(g.open_result, 0);
  uint8_t pcm[1024] = {}, out[1024];
  EXPECT_EQ(NALSE_EncodeFrameOnMemory(g.enc, pcm, 256, out, sizeof out, nullptr), NALS_ERR_INVALID);
}

// With a forced shift and round-up only the block's own samples are rounded; the history the
// predictor sees is shifted plainly, as the decoder shifts it.
TEST(AlsBlockAnalysis, RoundUpLeavesTheHistoryPlain) {
  NALSE_PARAMS p = LowDelayParams();
  p.random_access = 0;
  p.mcc = 0;
  EncoderFixture f(p);
  ASSERT_EQ(f.open_result, 0);
  NALSE_SetLsbForthShift(f.enc, 3);
  std::vector<int32_t> x(15 + 64);
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<int32_t>(i * 37 % 200) - 100;
  x[15] = 5;
  x[16] = 32767;
  x[17] = -1;
  std::vector<int32_t> hist(x.begin(), x.begin() + 15);
  nals::BLOCK_PARAM* bp = &f.enc->ps[0];
  ASSERT_EQ(nals::EncodeBlockAnalysis(f.enc, bp, x.data() + 15, 64, 0, 0, 0), 1);
  EXPECT_EQ(bp->lsb_shift, 3u);
  EXPECT_EQ(x[15], 8);
  EXPECT_EQ(x[16], 32760);
  EXPECT_EQ(x[17], -8);
  EXPECT_TRUE(std::equal(hist.begin(), hist.end(), x.begin()));
  // The residual is computed on plainly shifted history: decoding it gives the rounded block.
  nals::CalculateResidual(f.enc, bp, x.data() + 15);
  std::vector<int32_t> y(x.begin(), x.end());
  for (int i = 0; i < 15; ++i) y[i] >>= 3;
  std::memcpy(y.data() + 15, bp->d, 64 * 4);
  std::vector<int32_t> cof(16);
  for (uint32_t i = 0; i < bp->order; ++i) cof[i] = nals::NALS_PARCOR_Reconstruct_Single(bp->asi[i], i);
  for (uint32_t i = 0; i < bp->order; ++i) nals::ParcorStep(i, cof[i], cof.data());
  nals::GetSignal(y.data() + 15, 64, cof.data(), bp->order);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(y[15 + i] * 8, x[15 + i]) << i;
}

TEST(AlsBlockAnalysis, ConstantAndShiftDetection) {
  NALSE_PARAMS p = LowDelayParams();
  p.mcc = 0;
  EncoderFixture f(p);
  ASSERT_EQ(f.open_result, 0);
  nals::BLOCK_PARAM* bp = &f.enc->ps[0];
  std::vector<int32_t> x(15 + 32, 0);
  ASSERT_EQ(nals::EncodeBlockAnalysis(f.enc, bp, x.data() + 15, 32, 1, 0, 0), 1);
  EXPECT_EQ(bp->type, nals::BLOCK_CONST);
  for (int i = 0; i < 32; ++i) x[15 + i] = 40000;  // does not fit 16 bits
  ASSERT_EQ(nals::EncodeBlockAnalysis(f.enc, bp, x.data() + 15, 32, 1, 0, 0), 1);
  EXPECT_EQ(bp->type, nals::BLOCK_NORMAL);
  for (int i = 0; i < 32; ++i) x[15 + i] = (i * 7 % 13) * 2;
  ASSERT_EQ(nals::EncodeBlockAnalysis(f.enc, bp, x.data() + 15, 32, 1, 0, 0), 1);
  EXPECT_EQ(bp->lsb_shift, 1u);
  for (int i = 0; i < 32; ++i) x[15 + i] = (i * 7 % 13) * 4;
  ASSERT_EQ(nals::EncodeBlockAnalysis(f.enc, bp, x.data() + 15, 32, 1, 0, 0), 1);
  EXPECT_EQ(bp->lsb_shift, 2u);
}

TEST(AlsBlockCoding, SilenceAndConstants) {
  NALSE_PARAMS p = LowDelayParams();
  EncoderFixture f(p);
  ASSERT_EQ(f.open_result, 0);
  nals::BLOCK_PARAM* bp = &f.enc->ps[0];
  std::vector<int32_t> x(15 + 64, 0);
  uint8_t out[64];
  ASSERT_EQ(nals::EncodeBlockAnalysis(f.enc, bp, x.data() + 15, 64, 1, 1, 0), 1);
  nals::CalculateResidual(f.enc, bp, x.data() + 15);
  ASSERT_EQ(nals::EncodeBlockCoding(f.enc, bp, out, sizeof out, 0), 2);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 128);  // the end bit of the multi-channel data
  for (int i = 0; i < 64; ++i) x[15 + i] = -1;
  ASSERT_EQ(nals::EncodeBlockAnalysis(f.enc, bp, x.data() + 15, 64, 1, 0, 0), 1);
  nals::CalculateResidual(f.enc, bp, x.data() + 15);
  ASSERT_EQ(nals::EncodeBlockCoding(f.enc, bp, out, sizeof out, 0), 3);
  EXPECT_EQ(out[0], 64);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(out[2], 0xFF);
}

TEST(AlsTables, KnownEntries) {
  EXPECT_EQ(nals::cosrect_LUT()[0], 0);
  EXPECT_NEAR(nals::cosrect_LUT()[512], 1073906550, 1);
  EXPECT_NEAR(nals::cosrect_LUT()[1023], 2147479554, 1);
  EXPECT_EQ(nals::NALS_PARCOR_Reconstruct_Single(0, 5), 8192);
  for (int q = -64; q < 64; ++q)
    EXPECT_EQ(nals::NALS_PARCOR_Reconstruct_Single(q, 1), -nals::NALS_PARCOR_Reconstruct_Single(q, 0));
  EXPECT_EQ(nals::NALS_PARCOR_pc12_tbl[0], -1048544);
  EXPECT_EQ(nals::gmmtable[6], 128);
  EXPECT_EQ(nals::gmmtable[16], 0);
}

// The long-term prediction trial prices its side information with the gains it just chose,
// not with whatever the scratch record held before.
TEST(AlsLtp, SideInformationUsesTheChosenGains) {
  NALSE_PARAMS p = LowDelayParams();
  p.mcc = 0;
  p.ltp = 1;
  p.frame_length = 2048;
  EncoderFixture f(p);
  ASSERT_EQ(f.open_result, 0);
  nals::BLOCK_PARAM* bp = &f.enc->ps[0];
  std::vector<int32_t> x(15 + 2048);
  uint32_t seed = 1;
  for (size_t i = 15; i < x.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    int32_t noise = static_cast<int32_t>((seed >> 16) % 64) - 32;
    x[i] = ((i - 15) % 160 < 4 ? 9000 : 0) + noise;
  }
  for (int stale : {0, 1000000}) {
    for (int j = 0; j < 5; ++j) f.enc->pltp->ltp_gain[j] = stale;
    ASSERT_EQ(nals::EncodeBlockAnalysis(f.enc, bp, x.data() + 15, 2048, 0, 0, 0), 1);
    nals::CalculateResidual(f.enc, bp, x.data() + 15);
    EXPECT_NE(bp->ltp_lag, 0u) << "stale gains " << stale;
  }
}

// Five switching levels give 32 blocks of N/32: the finest split must be reachable.
TEST(AlsBlockSwitching, LevelFiveReachesThirtyTwoBlocks) {
  Config c;
  c.channels = 1;
  c.block_switching = 5;
  c.frame_length = 4096;
  c.random_access = 1;
  std::vector<uint8_t> pcm(4096 * 2);
  // Every 128-sample stretch has its own character: a different tone and level.
  for (int n = 0; n < 4096; ++n) {
    int seg = n / 128;
    double v = (seg % 2 ? 12000.0 : 300.0) * std::sin(n * (0.05 + 0.37 * seg));
    int16_t s = static_cast<int16_t>(v);
    pcm[2 * n] = static_cast<uint8_t>(s);
    pcm[2 * n + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8);
  }
  auto e = alstest::Encode(c, pcm);
  ASSERT_EQ(e.result, 0);
  ASSERT_EQ(e.frames.size(), 1u);
  uint32_t bits = (uint32_t{e.frames[0][0]} << 24) | (uint32_t{e.frames[0][1]} << 16) |
                  (uint32_t{e.frames[0][2]} << 8) | e.frames[0][3];
  EXPECT_NE(bits & 0xFFFFu, 0u) << std::hex << bits;  // some level-4 node split into N/32
  uint32_t lengths[32];
  uint32_t nb = GetBlockPartition(bits, 4096, 4096, lengths);
  EXPECT_GT(nb, 16u);
  std::vector<uint8_t> out;
  ASSERT_EQ(alstest::Decode(e, &out), 0);
  EXPECT_TRUE(out == pcm);
}

TEST(AlsDecoderHeader, Refusals) {
  Config c;
  auto e = alstest::Encode(c, alstest::MakePcm(c, 100));
  ASSERT_EQ(e.result, 0);
  struct Case {
    const char* name;
    void (*edit)(std::vector<uint8_t>&);
    int32_t result;
  } cases[] = {
      {"ALS 1", [](std::vector<uint8_t>& h) { h[3] = 1; }, NALS_ERR_HDR_ID},
      {"short", [](std::vector<uint8_t>& h) { h.resize(10); }, NALS_ERR_READ},
      {"resolution", [](std::vector<uint8_t>& h) { h[14] |= 0x1C; }, NALS_ERR_HDR_RESOLUTION},
      {"floating 16", [](std::vector<uint8_t>& h) { h[14] |= 0x02; }, NALS_ERR_HDR_RESOLUTION},
      {"bgmc", [](std::vector<uint8_t>& h) { h[20] |= 0x20; }, NALS_ERR_UNSUPPORTED},
      {"rlslms", [](std::vector<uint8_t>& h) { h[21] |= 0x40; }, NALS_ERR_UNSUPPORTED},
      // 65536 channels of 65536 samples cannot be allocated on this unit.
      {"huge", [](std::vector<uint8_t>& h) { h[12] = h[13] = h[15] = h[16] = 0xFF; }, NALS_ERR_MEMORY},
  };
  for (const Case& k : cases) {
    std::vector<uint8_t> h = e.header;
    k.edit(h);
    NALSD_IMPL* dec = nullptr;
    ASSERT_EQ(NALSD_Init(&dec, alstest::Alloc, alstest::Free), 0);
    EXPECT_EQ(NALSD_OpenOnMemory(dec, h.data(), static_cast<uint32_t>(h.size()), nullptr, nullptr, 0), k.result)
        << k.name;
    NALSD_Destroy(dec);
  }
}

// Channel positions must be a permutation: a repeated position is refused.
TEST(AlsDecoderHeader, PositionsMustBeAPermutation) {
  std::vector<uint8_t> h = {'A', 'L', 'S', 0, 0, 0, 0xBB, 0x80, 0, 0, 0x10, 0, 0, 3,
                            0x04, 0x00, 0xFF, 1, 0x20, 0x0F, 0x01, 0x00};
  // Four channels, two bits each: positions 0, 1, 1, 3 (repeated 1), then the two sizes.
  h.push_back(0x17);
  for (int i = 0; i < 8; ++i) h.push_back(0);
  NALSD_IMPL* dec = nullptr;
  ASSERT_EQ(NALSD_Init(&dec, alstest::Alloc, alstest::Free), 0);
  EXPECT_EQ(NALSD_OpenOnMemory(dec, h.data(), static_cast<uint32_t>(h.size()), nullptr, nullptr, 0),
            NALS_ERR_HDR_POSITION);
  h[22] = 0x1B;  // 0, 1, 2, 3
  EXPECT_EQ(NALSD_OpenOnMemory(dec, h.data(), static_cast<uint32_t>(h.size()), nullptr, nullptr, 0), 0);
  NALSD_Destroy(dec);
}

namespace {

// An MCC frame of two channels whose second block carries the given stage list.
std::vector<uint8_t> MccFrame(uint32_t stages, bool cycle) {
  uint8_t buf[256] = {};
  NALSE_BITWRITER bw;
  NALSE_BW_Init(&bw, buf, sizeof buf, 0);
  // Channel 0: a normal block, order 0, all residuals zero.
  auto normal_block = [&](uint32_t master_stages, uint32_t self, uint32_t master) {
    PutBits_LE32(&bw, 2, 2);   // normal, no joint stereo
    PutBits_LE32(&bw, 0, 4);   // Rice parameter 0
    PutBits_LE32(&bw, 0, 1);   // no shift
    PutBits_LE32(&bw, 0, 1);   // order 0 (one bit for 16-sample blocks)
    for (int i = 0; i < 16; ++i) PutBits_LE32(&bw, 0, 1);
    for (uint32_t s = 0; s < master_stages; ++s) {
      PutBits_LE32(&bw, 0, 1);
      PutBits_LE32(&bw, master, 1);
      if (master != self) {
        PutBits_LE32(&bw, 0, 1);                       // three taps
        NALSE_BW_PutRiceBits(&bw, 0, 1);
        NALSE_BW_PutRiceBits(&bw, 0, 2);
        NALSE_BW_PutRiceBits(&bw, 0, 1);
      }
    }
    PutBits_LE32(&bw, 1, 1);
    NALSE_BW_Align(&bw);
  };
  normal_block(cycle ? 1 : 0, 0, 1);
  normal_block(stages, 1, 0);
  int32_t n = NALSE_BW_Finish(&bw);
  return std::vector<uint8_t>(buf, buf + n);
}

}  // namespace

// The stage list of a block is capped at the encoder's maximum (7), and a stage where two
// channels name each other cannot be resolved.
TEST(AlsDecoderFrame, MccStageListIsBounded) {
  std::vector<uint8_t> h = {'A', 'L', 'S', 0, 0, 0, 0xBB, 0x80, 0, 0, 0, 16, 0, 1,
                            0x04, 0x00, 0x0F, 1, 0x20, 0x01, 0x04, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};
  struct Case {
    uint32_t stages;
    bool cycle;
    int32_t result;
  } cases[] = {{1, false, 0}, {7, false, 0}, {8, false, NALS_ERR_MCC_WEIGHT}, {1, true, NALS_ERR_MCC_CYCLE}};
  for (const Case& c : cases) {
    NALSD_IMPL* dec = nullptr;
    ASSERT_EQ(NALSD_Init(&dec, alstest::Alloc, alstest::Free), 0);
    ASSERT_EQ(NALSD_OpenOnMemory(dec, h.data(), static_cast<uint32_t>(h.size()), nullptr, nullptr, 0), 0);
    auto f = MccFrame(c.stages, c.cycle);
    std::vector<uint8_t> pcm(16 * 2 * 2);
    EXPECT_EQ(NALSD_DecodeFrameOnMemoryInterleaved(dec, f.data(), static_cast<uint32_t>(f.size()), nullptr, pcm.data(),
                                                   nullptr, 0),
              c.result)
        << c.stages << (c.cycle ? " cycle" : "");
    NALSD_Destroy(dec);
  }
}

TEST(AlsDecoderFrame, PartitionRules) {
  uint32_t l[32];
  EXPECT_EQ(GetBlockPartition(0, 4096, 4096, l), 1u);
  EXPECT_EQ(GetBlockPartition(0x40000000u, 4096, 4096, l), 2u);
  EXPECT_EQ(GetBlockPartition(0x40000000u, 4095, 4095, l), 0u);  // halves fall short
  EXPECT_EQ(GetBlockPartition(0x7FFFFFFFu, 16, 16, l), 0u);     // zero-length blocks
  EXPECT_EQ(GetBlockPartition(0x7FFFFFFFu, 4096, 4096, l), 32u);
  EXPECT_EQ(GetBlockPartition(0x40000000u, 4096, 3000, l), 2u);
  EXPECT_EQ(l[1], 3000u - 2048u);
}

TEST(AlsDecoderOutput, FormatsAndControls) {
  Config c;
  c.channels = 1;
  c.resolution = 8;
  auto pcm = alstest::MakePcm(c, 300);
  auto e = alstest::Encode(c, pcm);
  ASSERT_EQ(e.result, 0);
  NALSD_IMPL* dec = nullptr;
  ASSERT_EQ(NALSD_Init(&dec, alstest::Alloc, alstest::Free), 0);
  EXPECT_EQ(NALSD_SetInfo(dec, NALS_INFO_CRC_ENABLED, 1), NALS_ERR_INVALID);  // before open
  ASSERT_EQ(NALSD_OpenOnMemory(dec, e.header.data(), static_cast<uint32_t>(e.header.size()), nullptr, nullptr, 0), 0);
  std::vector<uint8_t> out(2048);
  uint32_t samples = 0;
  ASSERT_EQ(NALSD_DecodeFrameOnMemoryInterleaved(dec, e.frames[0].data(), static_cast<uint32_t>(e.frames[0].size()),
                                                 nullptr, out.data(), &samples, 0),
            0);
  EXPECT_EQ(samples, 300u);
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), out.begin()));  // unsigned with offset 128
  NALS_STREAM s;
  NALS_MemStream_Open(&s, out.data(), out.size(), "w");
  EXPECT_EQ(NALSD_OutputFrameLinear(dec, &s, 1, 0), NALS_ERR_INVALID);
  EXPECT_EQ(NALSD_SetInfo(dec, NALS_INFO_POSITION, uint64_t{0}), 0);
  EXPECT_EQ(NALSD_SetInfo(dec, 99, 0), NALS_ERR_INVALID);
  NALSD_Destroy(dec);

  c.random_access = 10;
  auto e10 = alstest::Encode(c, pcm);
  dec = nullptr;
  ASSERT_EQ(NALSD_Init(&dec, alstest::Alloc, alstest::Free), 0);
  ASSERT_EQ(NALSD_OpenOnMemory(dec, e10.header.data(), static_cast<uint32_t>(e10.header.size()), nullptr, nullptr, 0), 0);
  EXPECT_EQ(NALSD_SetInfo(dec, NALS_INFO_POSITION, uint64_t{5}), NALS_ERR_INVALID);
  EXPECT_EQ(NALSD_SetInfo(dec, NALS_INFO_POSITION, uint64_t{20}), 0);
  NALSD_Destroy(dec);
}

TEST(AlsDecoderOutput, LpcInfoOfTheLastFrame) {
  Config c;
  c.channels = 2;
  auto pcm = alstest::MakePcm(c, 2048);
  // Channel 1 silent: a zero block, no predictor.
  for (size_t i = 2; i < pcm.size(); i += 4) pcm[i] = pcm[i + 1] = 0;
  auto e = alstest::Encode(c, pcm);
  ASSERT_EQ(e.result, 0);
  NALSD_IMPL* dec = nullptr;
  ASSERT_EQ(NALSD_Init(&dec, alstest::Alloc, alstest::Free), 0);
  ASSERT_EQ(NALSD_OpenOnMemory(dec, e.header.data(), static_cast<uint32_t>(e.header.size()), nullptr, nullptr, 0), 0);
  NALSD_LPC_INFO info{};
  ASSERT_EQ(NALSD_InitLpcInfo(dec, &info), 0);
  EXPECT_EQ(info.channels, 2u);
  EXPECT_EQ(info.max_order, 15u);
  std::vector<uint8_t> out(2048 * 4);
  ASSERT_EQ(NALSD_DecodeFrameOnMemoryInterleaved(dec, e.frames[0].data(), static_cast<uint32_t>(e.frames[0].size()),
                                                 nullptr, out.data(), nullptr, 0),
            0);
  ASSERT_EQ(NALSD_GetLpcInfo(dec, &info), 0);
  EXPECT_GT(info.channel[0].order, 0u);
  EXPECT_NE(info.channel[0].coefficients[0], 0);
  EXPECT_EQ(info.channel[1].order, 0u);
  for (uint32_t k = 0; k < 15; ++k) EXPECT_EQ(info.channel[1].coefficients[k], 0);
  // The exported coefficients predict the channel as the decoder does.
  EXPECT_EQ(NALSD_DestroyLpcInfo(dec, &info), 0);
  EXPECT_EQ(info.channel, nullptr);
  NALSD_Destroy(dec);
}

namespace {
int g_allocs_left = -1;
int g_live = 0;
void* CountingAlloc(uint32_t, uint32_t, uint32_t size) {
  if (g_allocs_left == 0) return nullptr;
  if (g_allocs_left > 0) --g_allocs_left;
  ++g_live;
  return std::malloc(size);
}
void CountingFree(void* p) {
  if (p) --g_live;
  std::free(p);
}
}  // namespace

TEST(AlsRecords, MemoryBlocksCopiesAndClones) {
  NALSE_IMPL* enc = nullptr;
  ASSERT_EQ(NALSE_Init(&enc, CountingAlloc, CountingFree), 0);
  int base = g_live;
  // An aligned payload is freed through the block it lives in.
  void* a = nals::AllocAligned(100);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 16, 0u);
  EXPECT_EQ(NALSE_GetMemoryBlockSize(a), 100u);
  NALSE_Free(a);
  EXPECT_EQ(g_live, base);
  void* b = NALSE_Alloc(NALS_SPACE_L1, NALS_KIND_SCRATCH, 8);
  EXPECT_EQ(NALSE_GetMemoryBlockSpace(b), 0u);
  EXPECT_EQ(NALSE_GetMemoryBlockType(b), 0u);
  void* bc = NALSE_CloneMemoryBlock(b);
  EXPECT_EQ(NALSE_GetMemoryBlockSize(bc), 8u);
  NALSE_Free(b);
  NALSE_Free(bc);
  // A copy into a record with a larger residual buffer keeps that buffer.
  auto* big = static_cast<nals::BLOCK_PARAM*>(nals::AllocZero(sizeof(nals::BLOCK_PARAM)));
  auto* small = static_cast<nals::BLOCK_PARAM*>(nals::AllocZero(sizeof(nals::BLOCK_PARAM)));
  big->d = static_cast<int32_t*>(nals::AllocZero(400));
  small->d = static_cast<int32_t*>(nals::AllocZero(40));
  small->d[3] = 7;
  small->order = 5;
  int32_t* kept = big->d;
  ASSERT_EQ(NALSE_CopyBLOCK_PARAM(big, small), 0);
  EXPECT_EQ(big->d, kept);
  EXPECT_EQ(big->d[3], 7);
  EXPECT_EQ(big->order, 5u);
  // A clone that fails half-way leaves nothing behind.
  int before = g_live;
  g_allocs_left = 1;  // the array, not its residual buffer
  EXPECT_EQ(NALSE_CloneBLOCK_PARAM(big, 1), nullptr);
  g_allocs_left = -1;
  EXPECT_EQ(g_live, before);
  nals::BLOCK_PARAM* clone = NALSE_CloneBLOCK_PARAM(big, 1);
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone->d, big->d);
  EXPECT_EQ(clone->d[3], 7);
  NALSE_FreeBLOCK_PARAM(clone, 1);
  NALSE_FreeBLOCK_PARAM(big, 1);
  NALSE_FreeBLOCK_PARAM(small, 1);
  EXPECT_EQ(g_live, base);
  NALSE_Destroy(enc);
  EXPECT_EQ(g_live, 0);
}

TEST(AlsFrameCoder, UnknownLengthEndsWithTheShortRead) {
  NALSE_PARAMS p = LowDelayParams();
  p.mcc = 0;
  EncoderFixture f(p);
  ASSERT_EQ(f.open_result, 0);
  Config c;
  auto pcm = alstest::MakePcm(c, 300);
  NALS_STREAM in, out;
  std::vector<uint8_t> buf(4096);
  NALS_MemStream_Open(&in, pcm.data(), pcm.size(), "r");
  NALS_MemStream_Open(&out, buf.data(), buf.size(), "w");
  uint32_t n = 0;
  ASSERT_EQ(NALSE_EncodeFrame(f.enc, &in, &out, &n), 0);
  EXPECT_EQ(n, 256u);
  ASSERT_EQ(NALSE_EncodeFrame(f.enc, &in, &out, &n), 0);
  EXPECT_EQ(n, 44u);
  uint64_t total = 0;
  EXPECT_EQ(NALSE_GetInfo(f.enc, NALS_INFO_SAMPLES, &total), 0);
  EXPECT_EQ(total, 300u);
  EXPECT_EQ(NALSE_EncodeFrame(f.enc, &in, &out, &n), NALS_ERR_END);
  // A read that ends inside a sample frame.
  EncoderFixture g(p);
  NALS_MemStream_Open(&in, pcm.data(), 3, "r");
  EXPECT_EQ(NALSE_EncodeFrame(g.enc, &in, &out, &n), NALS_ERR_READ);
}

// With unit sizes in front of random-access frames, the field ends as the byte count of the
// whole unit behind it.
TEST(AlsFrameCoder, UnitSizeCoversTheWholeUnit) {
  Config c;
  c.random_access = 4;
  c.ra_location = 1;
  c.frame_length = 256;
  auto pcm = alstest::MakePcm(c, 256 * 6);
  auto e = alstest::Encode(c, pcm);
  ASSERT_EQ(e.result, 0);
  ASSERT_EQ(e.frames.size(), 6u);
  const auto& f0 = e.frames[0];
  uint32_t unit = (uint32_t{f0[0]} << 24) | (uint32_t{f0[1]} << 16) | (uint32_t{f0[2]} << 8) | f0[3];
  size_t bytes = 0;
  for (int i = 0; i < 4; ++i) bytes += e.frames[i].size();
  EXPECT_EQ(unit, bytes - 4);
}

TEST(AlsFrameCoder, FixedOrderTooHighForTheDepthCodesWholeFrames) {
  NALSE_PARAMS p = LowDelayParams();
  p.mcc = 0;
  p.adaptive = 0;
  p.block_switching = 5;
  p.channels = 1;
  EncoderFixture f(p);
  ASSERT_EQ(f.open_result, 0);
  Config c;
  c.channels = 1;
  auto pcm = alstest::MakePcm(c, 256);
  std::vector<uint8_t> out(4096);
  uint32_t n = 0;
  ASSERT_EQ(NALSE_EncodeFrameOnMemory(f.enc, pcm.data(), 256, out.data(), 4096, &n), 0);
  // 256 >> 5 = 8 is below the order 15: one block, bs_info with only its top bit.
  EXPECT_EQ(out[0], 0x80);
  EXPECT_EQ(out[1] | out[2] | out[3], 0);
}

TEST(AlsDecoderFrame, EightBitConstantIsOffsetBy128) {
  std::vector<uint8_t> h = {'A', 'L', 'S', 0, 0, 0, 0xBB, 0x80, 0, 0, 0, 16, 0, 0,
                            0x00, 0x00, 0x0F, 1, 0x20, 0x01, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};
  NALSD_IMPL* dec = nullptr;
  ASSERT_EQ(NALSD_Init(&dec, alstest::Alloc, alstest::Free), 0);
  ASSERT_EQ(NALSD_OpenOnMemory(dec, h.data(), static_cast<uint32_t>(h.size()), nullptr, nullptr, 0), 0);
  const uint8_t frame[] = {0x40, 0x80};
  uint8_t pcm[16];
  uint32_t samples = 0;
  ASSERT_EQ(NALSD_DecodeFrameOnMemoryInterleaved(dec, frame, 2, nullptr, pcm, &samples, 0), 0);
  EXPECT_EQ(samples, 16u);
  for (uint8_t v : pcm) EXPECT_EQ(v, 128);  // sample 0, written unsigned
  ASSERT_EQ(NALSD_SetInfo(dec, NALS_INFO_POSITION, uint64_t{0}), 0);
  const uint8_t cut[] = {0x40};
  EXPECT_EQ(NALSD_DecodeFrameOnMemoryInterleaved(dec, cut, 1, nullptr, pcm, &samples, 0), NALS_ERR_READ);
  NALSD_Destroy(dec);
}

// The size the host reserves from NALSE_GetMaximumFrameSize holds every frame, even of
// full-scale noise and of a block too large for its area that is coded again without
// prediction.
TEST(AlsEncoder, MaximumFrameSizeHoldsNoise) {
  for (uint32_t res : {16u, 24u}) {
    NALSE_PARAMS p = LowDelayParams();
    p.resolution = res;
    EncoderFixture f(p);
    ASSERT_EQ(f.open_result, 0);
    uint32_t max = 0;
    ASSERT_EQ(NALSE_GetMaximumFrameSize(f.enc, &max), 0);
    std::vector<uint8_t> pcm(256 * 2 * (res / 8));
    uint32_t seed = 7;
    for (auto& b : pcm) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    // A square wave at full scale drives high orders to large residuals.
    for (size_t i = 0; i < 64; ++i) pcm[i * (res / 8) * 2 + res / 8 - 1] = (i / 4) % 2 ? 0x7F : 0x80;
    std::vector<uint8_t> out(max);
    uint32_t n = 0;
    for (int frame = 0; frame < 4; ++frame)
      ASSERT_EQ(NALSE_EncodeFrameOnMemory(f.enc, pcm.data(), 256, out.data(), max, &n), 0) << res;
    EXPECT_LE(n, max);
  }
}

TEST(AlsRecords, MovedBlocksAreFollowed) {
  EncoderFixture f(LowDelayParams());
  ASSERT_EQ(f.open_result, 0);
  int32_t* old = f.enc->cof;
  uint32_t size = NALSE_GetMemoryBlockSize(old);
  auto* moved = static_cast<int32_t*>(nals::AllocAligned(size));
  std::memcpy(moved, old, size);
  EXPECT_EQ(NALSE_MemoryMoved(f.enc, old, moved), 1);
  EXPECT_EQ(f.enc->cof, moved);
  NALSE_Free(old);
  int32_t local = 0;
  EXPECT_EQ(NALSE_MemoryMoved(f.enc, &local, moved), 0);
  EXPECT_EQ(NALSE_MemoryMoved(nullptr, old, moved), 0);
  Config c;
  auto pcm = alstest::MakePcm(c, 256);
  std::vector<uint8_t> out(4096);
  EXPECT_EQ(NALSE_EncodeFrameOnMemory(f.enc, pcm.data(), 256, out.data(), 4096, nullptr), 0);
  NALSD_IMPL* dec = nullptr;
  ASSERT_EQ(NALSD_Init(&dec, alstest::Alloc, alstest::Free), 0);
  EXPECT_EQ(NALSD_MemoryMoved(dec, &local, &local), 0);
  NALSD_Destroy(dec);
}

namespace {
int g_coded_reports[8];
int32_t CountingEncodeCallback(NALSE_IMPL*, int32_t channel, int32_t, int32_t kind) {
  if (kind == 0 && channel >= 0 && channel < 8) ++g_coded_reports[channel];
  return 1;
}
}  // namespace

// Trial codings that only measure a size are not reported: the host hears once per channel
// and block what was really coded.
TEST(AlsEncoder, CodedBitsAreReportedOncePerBlock) {
  struct Case {
    uint32_t mcc, js;
  } cases[] = {{2, 0}, {0, 1}, {2, 1}};
  for (const Case& k : cases) {
    NALSE_PARAMS p = LowDelayParams();
    p.mcc = k.mcc;
    p.joint_stereo = k.js;
    EncoderFixture f(p);
    ASSERT_EQ(f.open_result, 0);
    NALSE_SetEncodeCallback(f.enc, CountingEncodeCallback);
    Config c;
    auto pcm = alstest::MakePcm(c, 256 * 8);
    std::vector<uint8_t> out(8192);
    for (int frame = 0; frame < 8; ++frame) {
      std::memset(g_coded_reports, 0, sizeof g_coded_reports);
      ASSERT_EQ(NALSE_EncodeFrameOnMemory(f.enc, pcm.data() + frame * 1024, 256, out.data(), 8192, nullptr), 0);
      EXPECT_EQ(g_coded_reports[0], 1) << k.mcc << k.js << " frame " << frame;
      EXPECT_EQ(g_coded_reports[1], 1) << k.mcc << k.js << " frame " << frame;
    }
  }
}
