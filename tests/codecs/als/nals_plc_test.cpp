#include "NalsPlc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kLen = 128;

// A concealment state over 16-bit little-endian stereo, closed at the end of the test.
struct plc {
    NALSPLC_STATE* s = nullptr;
    explicit plc(int mode, int channels = 2, int order = 15)
    {
        EXPECT_EQ(NalsPlc_Open(&s, channels, 16, 0, kLen, order, mode), 0);
    }
    ~plc() { NalsPlc_Close(s); }
};

std::vector<int16_t> frame_of(int channels, int16_t value)
{
    return std::vector<int16_t>(size_t(channels) * kLen, value);
}

// A "hold the last sample" predictor: x[t] = x[t-1].
const int32_t kHold[1] = {-0x100000};
const NALSPLC_LPC kHoldBoth[2] = {{1, kHold}, {1, kHold}};

TEST(Concealment, OpenRefusesArgumentsOutsideTheirRanges)
{
    struct c { int ch, bits, fmt, len, order, mode, result; };
    const c cases[] = {
        {2, 16, 0, 128, 15, 2, 0}, {1, 8, 1, 1, 1, 0, 0}, {6, 32, 1, 4096, 15, 1, 0}, {3, 24, 0, 64, 4, 2, 0},
        {0, 16, 0, 128, 15, 2, 2}, {7, 16, 0, 128, 15, 2, 2}, {2, 12, 0, 128, 15, 2, 2}, {2, 16, 2, 128, 15, 2, 2},
        {2, 16, 0, 0, 15, 2, 2},   {2, 16, 0, 4097, 15, 2, 2}, {2, 16, 0, 128, 0, 2, 2}, {2, 16, 0, 128, 16, 2, 2},
        {2, 16, 0, 128, 15, 3, 2},
    };
    for (const auto& t : cases) {
        NALSPLC_STATE* s = nullptr;
        EXPECT_EQ(NalsPlc_Open(&s, t.ch, t.bits, t.fmt, t.len, t.order, t.mode), t.result)
            << t.ch << " " << t.bits << " " << t.fmt << " " << t.len << " " << t.order << " " << t.mode;
        EXPECT_EQ(s != nullptr, t.result == 0);
        NalsPlc_Close(s);
    }
    EXPECT_EQ(NalsPlc_Open(nullptr, 2, 16, 0, 128, 15, 2), 2);
    EXPECT_EQ(NalsPlc_Close(nullptr), 2);
    plc p(2);
    EXPECT_EQ(NalsPlc_ProcessFrame(p.s, nullptr, nullptr), 2);
    EXPECT_EQ(NalsPlc_ProcessFrame(nullptr, frame_of(2, 0).data(), nullptr), 2);
}

TEST(Concealment, FirstTwoLossesAreSilentInEveryMode)
{
    for (int mode = 0; mode <= 2; ++mode) {
        plc p(mode);
        auto f = frame_of(2, 1234);
        ASSERT_EQ(NalsPlc_ProcessFrame(p.s, f.data(), kHoldBoth), 0);
        auto lost = frame_of(2, 999);
        ASSERT_EQ(NalsPlc_ProcessFrame(p.s, lost.data(), nullptr), 0);
        EXPECT_EQ(lost, frame_of(2, 0)) << mode;
    }
    NALSPLC_STATE* s = nullptr;
    ASSERT_EQ(NalsPlc_Open(&s, 1, 8, 0, kLen, 15, 2), 0);
    std::vector<uint8_t> lost(kLen, 7);
    ASSERT_EQ(NalsPlc_ProcessFrame(s, lost.data(), nullptr), 0);
    EXPECT_EQ(lost, std::vector<uint8_t>(kLen, 0x80));
    NalsPlc_Close(s);
}

TEST(Concealment, AlwaysModeConcealsEveryLossAndFadesFromTheSecond)
{
    plc p(NALSPLC_MODE_CONCEAL_ALWAYS);
    for (int i = 0; i < 2; ++i) {
        auto f = frame_of(2, 1000);
        ASSERT_EQ(NalsPlc_ProcessFrame(p.s, f.data(), kHoldBoth), 0);
    }
    auto first = frame_of(2, 0);
    ASSERT_EQ(NalsPlc_ProcessFrame(p.s, first.data(), nullptr), 0);
    EXPECT_EQ(first, frame_of(2, 1000));  // full gain: the history continues unchanged

    auto second = frame_of(2, 0);
    ASSERT_EQ(NalsPlc_ProcessFrame(p.s, second.data(), nullptr), 0);
    EXPECT_NEAR(second[0], 1000, 2);                 // begins on the extrapolation
    EXPECT_NEAR(second[2 * kLen - 1], 750, 2);       // ends on the pattern at 0.75

    auto third = frame_of(2, 0);
    ASSERT_EQ(NalsPlc_ProcessFrame(p.s, third.data(), nullptr), 0);
    EXPECT_NE(third, frame_of(2, 0));
    EXPECT_LT(std::abs(third[2 * kLen - 1]), 750);
}

TEST(Concealment, OnceModeSilencesTheSecondLossAndDoesNotCrossFadeAfterIt)
{
    plc p(NALSPLC_MODE_CONCEAL_ONCE);
    for (int i = 0; i < 2; ++i) {
        auto f = frame_of(2, 1000);
        ASSERT_EQ(NalsPlc_ProcessFrame(p.s, f.data(), kHoldBoth), 0);
    }
    auto first = frame_of(2, 0);
    ASSERT_EQ(NalsPlc_ProcessFrame(p.s, first.data(), nullptr), 0);
    EXPECT_EQ(first, frame_of(2, 1000));
    auto second = frame_of(2, 5);
    ASSERT_EQ(NalsPlc_ProcessFrame(p.s, second.data(), nullptr), 0);
    EXPECT_EQ(second, frame_of(2, 0));
    auto good = frame_of(2, -300);
    ASSERT_EQ(NalsPlc_ProcessFrame(p.s, good.data(), kHoldBoth), 0);
    EXPECT_EQ(good, frame_of(2, -300));
}

TEST(Concealment, GoodFrameAfterAConcealedOneStartsOnTheContinuation)
{
    plc p(NALSPLC_MODE_CONCEAL_ALWAYS);
    for (int i = 0; i < 2; ++i) {
        auto f = frame_of(2, 1000);
        ASSERT_EQ(NalsPlc_ProcessFrame(p.s, f.data(), kHoldBoth), 0);
    }
    auto lost = frame_of(2, 0);
    ASSERT_EQ(NalsPlc_ProcessFrame(p.s, lost.data(), nullptr), 0);
    auto good = frame_of(2, -500);
    ASSERT_EQ(NalsPlc_ProcessFrame(p.s, good.data(), kHoldBoth), 0);
    EXPECT_NEAR(good[0], 1000, 2);
    EXPECT_NEAR(good[2 * kLen - 1], -500, 2);
    for (int j = 1; j < kLen; ++j)
        EXPECT_LE(good[2 * j], good[2 * (j - 1)]) << j;  // a monotone fade between the two
}

TEST(Concealment, ChannelWithoutPredictionRepeatsItsLastSample)
{
    plc p(NALSPLC_MODE_CONCEAL_ALWAYS);
    const NALSPLC_LPC lpc[2] = {{0, nullptr}, {1, kHold}};
    for (int i = 0; i < 2; ++i) {
        auto f = frame_of(2, 0);
        for (int j = 0; j < kLen; ++j)
            f[2 * j] = int16_t(j * 10);
        ASSERT_EQ(NalsPlc_ProcessFrame(p.s, f.data(), lpc), 0);
    }
    auto lost = frame_of(2, 0);
    ASSERT_EQ(NalsPlc_ProcessFrame(p.s, lost.data(), nullptr), 0);
    for (int j = 0; j < kLen; ++j)
        EXPECT_EQ(lost[2 * j], (kLen - 1) * 10) << j;
}

TEST(Concealment, OrderAboveTheOpenedOneIsRefusedAndChangesNothing)
{
    plc p(NALSPLC_MODE_CONCEAL_ALWAYS, 2, 2);
    for (int i = 0; i < 2; ++i) {
        auto f = frame_of(2, 1000);
        ASSERT_EQ(NalsPlc_ProcessFrame(p.s, f.data(), kHoldBoth), 0);
    }
    const int32_t many[3] = {-0x100000, 0, 0};
    const NALSPLC_LPC bad[2] = {{1, kHold}, {3, many}};
    auto f = frame_of(2, -7000);
    EXPECT_EQ(NalsPlc_ProcessFrame(p.s, f.data(), bad), 2);
    EXPECT_EQ(f, frame_of(2, -7000));
    auto lost = frame_of(2, 0);
    ASSERT_EQ(NalsPlc_ProcessFrame(p.s, lost.data(), nullptr), 0);
    EXPECT_EQ(lost, frame_of(2, 1000));  // the refused frame never entered the history
}

TEST(Concealment, HostileCoefficientsSaturateInsteadOfOverflowing)
{
    NALSPLC_STATE* s = nullptr;
    ASSERT_EQ(NalsPlc_Open(&s, 1, 32, 0, kLen, 15, 2), 0);
    std::vector<int32_t> coef(15, INT32_MIN);
    const NALSPLC_LPC lpc[1] = {{15, coef.data()}};
    std::vector<int32_t> f(kLen);
    for (int j = 0; j < kLen; ++j)
        f[j] = j % 2 ? INT32_MAX : INT32_MIN;
    for (int i = 0; i < 2; ++i) {
        auto g = f;
        ASSERT_EQ(NalsPlc_ProcessFrame(s, g.data(), lpc), 0);
    }
    for (int i = 0; i < 3; ++i) {
        std::vector<int32_t> lost(kLen, 0);
        ASSERT_EQ(NalsPlc_ProcessFrame(s, lost.data(), nullptr), 0);
    }
    NalsPlc_Close(s);
}

TEST(Concealment, SampleConversionsRoundTripAndClip)
{
    struct c { int bits, format; std::vector<uint8_t> bytes; std::vector<int32_t> values; };
    const c cases[] = {
        {8, 0, {0x00, 0x80, 0xff}, {-128, 0, 127}},
        {16, 0, {0x00, 0x80, 0xff, 0x7f, 0xfe, 0xff}, {-32768, 32767, -2}},
        {16, 1, {0x80, 0x00, 0x7f, 0xff, 0xff, 0xfe}, {-32768, 32767, -2}},
        {24, 0, {0x00, 0x00, 0x80, 0x01, 0x00, 0x00}, {-8388608, 1}},
        {24, 1, {0x80, 0x00, 0x00, 0x00, 0x00, 0x01}, {-8388608, 1}},
        {32, 1, {0x80, 0x00, 0x00, 0x00, 0x7f, 0xff, 0xff, 0xff}, {INT32_MIN, INT32_MAX}},
    };
    for (const auto& t : cases) {
        std::vector<int32_t> v(t.values.size());
        NalsPlc_ConvertTo32bit(v.data(), t.bytes.data(), t.bits, t.format, int32_t(v.size()));
        EXPECT_EQ(v, t.values) << t.bits << "/" << t.format;
        std::vector<uint8_t> b(t.bytes.size());
        NalsPlc_ConvertFrom32bit(b.data(), v.data(), t.bits, t.format, int32_t(v.size()));
        EXPECT_EQ(b, t.bytes) << t.bits << "/" << t.format;
    }
    const int32_t loud[2] = {100000, -100000};
    int16_t out16[2];
    NalsPlc_ConvertFrom32bit(out16, loud, 16, 0, 2);
    EXPECT_EQ(out16[0], 32767);
    EXPECT_EQ(out16[1], -32768);
    uint8_t out8[2];
    NalsPlc_ConvertFrom32bit(out8, loud, 8, 0, 2);
    EXPECT_EQ(out8[0], 255);
    EXPECT_EQ(out8[1], 0);
}

TEST(Concealment, WindowsFadeAcrossTheFrame)
{
    std::vector<int32_t> in(kLen), out(kLen);
    NalsPlc_MakeWindow(in.data(), out.data(), kLen);
    EXPECT_LT(in[0], 100);
    EXPECT_GT(in[kLen - 1], 0x100000 - 4096);
    for (int i = 0; i < kLen; ++i)
        EXPECT_EQ(in[i] + out[i], 0x100000);
}

}  // namespace
