#include "ldalsd.h"
#include "ldalse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kFrame = 128;
constexpr int kTarget = 267;  // 800 kbit/s at 128 samples

// A wrapper pair as the media engine opens it: 48 kHz stereo 16-bit, four attempts.
struct pair16 {
    LDALSE_IMPL* enc = nullptr;
    LDALSD_IMPL* dec = nullptr;
    pair16()
    {
        const LDALSE_ALS_PARAMS p = {kFrame, 4};
        EXPECT_EQ(LDALSE_Open(&enc, 48000, 2, 16, &p), 0);
        EXPECT_EQ(LDALSD_Open(&dec, LDALSE_GetHeader(enc), LDALSE_GetHeaderSize(enc)), 0);
    }
    ~pair16()
    {
        LDALSD_Close(dec);
        LDALSE_Close(enc);
    }
    // Encodes to the target and decodes again; returns the shift used.
    int round_trip(const std::vector<int16_t>& in, std::vector<int16_t>* out, int target = kTarget)
    {
        int32_t rec[3];
        EXPECT_EQ(LDALSE_EncodeWithTarget(enc, in.data(), target, rec), 0);
        EXPECT_LE(LDALSE_GetFrameSize(enc), target);
        int32_t used = -1;
        EXPECT_EQ(LDALSD_Decode(dec, LDALSE_GetFrame(enc), LDALSE_GetFrameSize(enc), &used), 0);
        EXPECT_EQ(used, LDALSE_GetFrameSize(enc));
        EXPECT_EQ(LDALSD_GetDataSize(dec), kFrame * 4);
        out->assign(kFrame * 2, 0);
        std::memcpy(out->data(), LDALSD_GetData(dec), kFrame * 4);
        return rec[2];
    }
};

std::vector<int16_t> noise(int amplitude, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(-amplitude, amplitude);
    std::vector<int16_t> v(kFrame * 2);
    for (auto& s : v)
        s = int16_t(d(rng));
    return v;
}

double snr_db(const std::vector<int16_t>& ref, const std::vector<int16_t>& got)
{
    double sig = 0, err = 0;
    for (size_t i = 0; i < ref.size(); ++i) {
        sig += double(ref[i]) * ref[i];
        err += double(ref[i] - got[i]) * (ref[i] - got[i]);
    }
    return err == 0 ? 999 : 10 * std::log10(sig / err);
}

TEST(LowDelayWrappers, OpenRefusesWhatTheCoderCannotServe)
{
    struct c { int rate, ch, res, frame, result; };
    const c cases[] = {
        {48000, 2, 16, 128, 0}, {8000, 1, 24, 64, 0}, {96000, 32, 16, 256, 0},
        {7999, 2, 16, 128, -700}, {96001, 2, 16, 128, -700}, {48000, 0, 16, 128, -701},
        {48000, 33, 16, 128, -701}, {48000, 2, 20, 128, -706}, {48000, 2, 16, 100, -301},
        {48000, 2, 16, 0, -301},
    };
    for (const auto& t : cases) {
        LDALSE_IMPL* enc = nullptr;
        const LDALSE_ALS_PARAMS p = {t.frame, 4};
        EXPECT_EQ(LDALSE_Open(&enc, t.rate, t.ch, t.res, &p), t.result) << t.rate << " " << t.ch << " " << t.res
                                                                        << " " << t.frame;
        LDALSE_Close(enc);
    }
    LDALSE_IMPL* enc = nullptr;
    EXPECT_EQ(LDALSE_Open(&enc, 48000, 2, 16, nullptr), -100);
    EXPECT_EQ(LDALSE_Open(nullptr, 48000, 2, 16, nullptr), -100);
    LDALSD_IMPL* dec = nullptr;
    EXPECT_EQ(LDALSD_Open(&dec, nullptr, 10), -100);
    const uint8_t junk[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_NE(LDALSD_Open(&dec, junk, sizeof junk), 0);
    EXPECT_EQ(dec, nullptr);
    EXPECT_EQ(LDALSE_Close(nullptr), -100);
    EXPECT_EQ(LDALSD_Close(nullptr), -100);
    EXPECT_EQ(LDALSE_EncodeWithTarget(nullptr, junk, kTarget, nullptr), -100);
    EXPECT_EQ(LDALSD_Decode(nullptr, junk, 8, nullptr), -100);
}

TEST(LowDelayWrappers, FrameThatFitsIsLosslessAndCostsOneEncode)
{
    pair16 p;
    std::vector<int16_t> in(kFrame * 2);
    for (int n = 0; n < kFrame; ++n) {
        in[2 * n] = int16_t(8000 * std::sin(n * 0.05));
        in[2 * n + 1] = int16_t(6000 * std::sin(n * 0.05 + 0.3));
    }
    int32_t rec[3];
    ASSERT_EQ(LDALSE_EncodeWithTarget(p.enc, in.data(), kTarget, rec), 0);
    EXPECT_EQ(rec[0], rec[1]);
    EXPECT_EQ(rec[2], 0);
    std::vector<int16_t> out;
    EXPECT_EQ(p.round_trip(in, &out), 0);
    EXPECT_EQ(out, in);
}

TEST(LowDelayWrappers, ShiftsAndPostProcessingByLoudness)
{
    struct c { int amplitude; int min_shift, max_shift; double min_snr; };
    const c cases[] = {
        {600, 1, 4, 40.0},      // a few bits too many: plain shift, no pre-processing
        {30000, 5, 16, 25.0},   // full-scale noise: shift of five or more, companded
    };
    for (const auto& t : cases) {
        pair16 p;
        for (unsigned seed = 1; seed <= 4; ++seed) {
            const auto in = noise(t.amplitude, seed);
            const auto copy = in;
            std::vector<int16_t> out;
            const int shift = p.round_trip(in, &out);
            EXPECT_EQ(in, copy) << "the caller's frame is never modified";
            EXPECT_GE(shift, t.min_shift) << t.amplitude;
            EXPECT_LE(shift, t.max_shift) << t.amplitude;
            EXPECT_GT(snr_db(in, out), t.min_snr) << t.amplitude << " shift " << shift;
        }
    }
}

TEST(LowDelayWrappers, SilenceStaysSilentThroughPostProcessing)
{
    pair16 p;
    const std::vector<int16_t> in(kFrame * 2, 0);
    std::vector<int16_t> out;
    EXPECT_EQ(p.round_trip(in, &out), 0);
    EXPECT_EQ(out, in);
    EXPECT_EQ(LDALSD_CheckLsbEmpty(LDALSD_GetData(p.dec), 2, 16, kFrame, 5), 1);
}

TEST(LowDelayWrappers, PlainEncodeKeepsTheShiftOfTheLastRateControlledCall)
{
    pair16 p;
    std::vector<int16_t> out;
    const int shift = p.round_trip(noise(30000, 9), &out);
    ASSERT_GE(shift, 5);
    const auto quiet = noise(3, 10);
    ASSERT_EQ(LDALSE_Encode(p.enc, quiet.data()), 0);
    ASSERT_EQ(LDALSD_Decode(p.dec, LDALSE_GetFrame(p.enc), LDALSE_GetFrameSize(p.enc), nullptr), 0);
    std::vector<int16_t> got(kFrame * 2);
    std::memcpy(got.data(), LDALSD_GetData(p.dec), kFrame * 4);
    EXPECT_NE(got, quiet) << "the small noise went through the loud frame's shift";
    // A new rate-controlled call starts again at shift 0 and is lossless.
    EXPECT_EQ(p.round_trip(quiet, &out), 0);
    EXPECT_EQ(out, quiet);
}

// A constant channel beside a loud one: the constant must carry the shift too, or the receiver
// would not see the frame as pre-processed and would play the companded channel as it is.
TEST(LowDelayWrappers, ConstantBlockFollowsTheForcedShift)
{
    for (int constant_channel = 0; constant_channel < 2; ++constant_channel) {
        pair16 p;
        auto in = noise(30000, 21);
        for (int n = 0; n < kFrame; ++n)
            in[2 * n + constant_channel] = 1000;
        std::vector<int16_t> out;
        const int shift = p.round_trip(in, &out, 150);  // the loud channel alone overflows this
        ASSERT_GE(shift, 5);
        EXPECT_GT(snr_db(in, out), 10.0);
        for (int n = 0; n < kFrame; ++n)
            ASSERT_NEAR(out[2 * n + constant_channel], 1000, 1 << shift) << n;

        // What the core decoder gives before post-processing: every sample carries the shift.
        NALSD_IMPL* core = nullptr;
        ASSERT_EQ(NALSD_Init(&core, LDALSD_Alloc, LDALSD_Free), 0);
        NALSD_STREAM_INFO info{};
        ASSERT_EQ(NALSD_OpenOnMemory(core, LDALSE_GetHeader(p.enc), LDALSE_GetHeaderSize(p.enc), nullptr, &info,
                                     sizeof info), 0);
        std::vector<int16_t> raw(kFrame * 2);
        uint32_t used = 0, samples = 0;
        ASSERT_EQ(NALSD_DecodeFrameOnMemoryInterleaved(core, LDALSE_GetFrame(p.enc), LDALSE_GetFrameSize(p.enc),
                                                       &used, raw.data(), &samples, 1), 0);
        EXPECT_EQ(LDALSD_CheckLsbEmpty(raw.data(), 2, 16, kFrame, 5), 1) << "constant channel " << constant_channel;
        NALSD_Close(core);
        NALSD_Destroy(core);
    }
}

TEST(LowDelayWrappers, LowBitCheck)
{
    std::vector<uint8_t> pcm(64 * 2 * 3, 0);
    EXPECT_EQ(LDALSD_CheckLsbEmpty(pcm.data(), 2, 24, 64, 5), 1);
    pcm[3 * 77] = 0x10;
    EXPECT_EQ(LDALSD_CheckLsbEmpty(pcm.data(), 2, 24, 64, 5), 0);
    EXPECT_EQ(LDALSD_CheckLsbEmpty(pcm.data(), 2, 24, 64, 4), 1);
    EXPECT_EQ(LDALSD_CheckLsbEmpty(nullptr, 2, 24, 64, 5), -1);
    EXPECT_EQ(LDALSD_CheckLsbEmpty(pcm.data(), 0, 24, 64, 5), -1);
    EXPECT_EQ(LDALSD_CheckLsbEmpty(pcm.data(), 2, 20, 64, 5), -1);
    EXPECT_EQ(LDALSD_CheckLsbEmpty(pcm.data(), 2, 24, 0, 5), -1);
    EXPECT_EQ(LDALSD_CheckLsbEmpty(pcm.data(), 2, 24, 64, 9), -1);
}

TEST(LowDelayWrappers, TwentyFourBitHeaderGivesThreeBytesASample)
{
    LDALSE_IMPL* enc = nullptr;
    const LDALSE_ALS_PARAMS params = {256, 4};
    ASSERT_EQ(LDALSE_Open(&enc, 48000, 2, 24, &params), 0);
    LDALSD_IMPL* dec = nullptr;
    ASSERT_EQ(LDALSD_Open(&dec, LDALSE_GetHeader(enc), LDALSE_GetHeaderSize(enc)), 0);
    EXPECT_EQ(LDALSD_GetUnitSize(dec), 6);
    EXPECT_EQ(LDALSD_GetFrameLength(dec), 256);
    EXPECT_EQ(LDALSD_GetResolution(dec), 24);
    EXPECT_EQ(LDALSD_GetChannels(dec), 2);
    EXPECT_EQ(LDALSD_GetSampleRate(dec), 48000);
    LDALSD_Close(dec);
    LDALSE_Close(enc);
}

}  // namespace
