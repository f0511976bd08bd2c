// Conversions, soft bits and bit planes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "bitplane.h"
#include "softbit.h"
#include "swb_float.h"

using namespace g722swb;

namespace {

TEST(FloatConversion, RoundsHalfAwayFromZeroSaturatesAndMapsNaNToZero)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float in;
        int16_t r16;
        int32_t r32;
        int16_t t16;
    } cases[] = {
        {-2.5f, -3, -3, -2},
        {2.5f, 3, 3, 2},
        {2.4999f, 2, 2, 2},
        {-0.5f, -1, -1, 0},
        {40000.0f, 32767, 40000, 32767},
        {32767.4f, 32767, 32767, 32767},
        {-40000.0f, -32768, -40000, -32768},
        {3.0e9f, 32767, 2147483647, 32767},
        {-3.0e9f, -32768, std::numeric_limits<int32_t>::min(), -32768},
        {inf, 32767, 2147483647, 32767},
        {-inf, -32768, std::numeric_limits<int32_t>::min(), -32768},
        {nan, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(roundFto16(c.in), c.r16) << c.in;
        EXPECT_EQ(roundFto32(c.in), c.r32) << c.in;
        EXPECT_EQ(truncFto16(c.in), c.t16) << c.in;
    }
}

TEST(FloatConversion, TwoWordFormSplitsAndSaturates)
{
    const struct {
        float in;
        int16_t hi;
        int16_t lo;
    } cases[] = {
        {65536.0f * 3 + 10.0f, 3, 5},
        {-65536.0f, -1, 0},
        {3.0e9f, 0x7FFF, 0x7FFF},
        {-3.0e9f, -32768, 0},
    };
    for (const auto& c : cases) {
        int16_t hi = 0, lo = 0;
        roundFtoDpf(c.in, &hi, &lo);
        EXPECT_EQ(hi, c.hi) << c.in;
        EXPECT_EQ(lo, c.lo) << c.in;
    }
}

TEST(FloatConversion, NormalisationCounts)
{
    EXPECT_EQ(Fnorme16(0.5f), 15);
    EXPECT_EQ(Fnorme16(0.0f), 0);
    EXPECT_EQ(Fnorme16(-16384.0f), 0);
    EXPECT_EQ(Fnorme32(1.0f), 30);
    EXPECT_EQ(Fnorme32(0.0f), 0);
    EXPECT_EQ(Fnorme32(2.0e9f), 0);
    const float v[3] = {0.25f, -1000.0f, 3.0f};
    EXPECT_EQ(ExpFto16Array(3, v), 5);  // 1000 * 32 = 32000
    int16_t out[3];
    EXPECT_EQ(CnvFto16Array(3, v, out), 5);
    EXPECT_EQ(out[0], 8);
    EXPECT_EQ(out[1], -32000);
    EXPECT_EQ(out[2], 96);
    const float tiny[1] = {1.0e-6f};
    EXPECT_EQ(ExpFto16Array(1, tiny), 0);
}

TEST(FloatConversion, HugeArrayMaximumEndsTheProcess)
{
    const float v[1] = {1.0e10f};
    EXPECT_EXIT(ExpFto16Array(1, v), testing::ExitedWithCode(1), "Floating utility error.");
}

TEST(SoftBits, PushAndGetMostSignificantFirst)
{
    int16_t buf[40] = {};
    int16_t* w = buf;
    s_PushBit(5, &w, 3);
    s_PushBit(1, &w, 0);  // nothing written
    s_PushBitLong(0x12345678, &w, 32);
    EXPECT_EQ(w - buf, 35);
    EXPECT_EQ(buf[0], 129);
    EXPECT_EQ(buf[1], 127);
    EXPECT_EQ(buf[2], 129);
    const int16_t* r = buf;
    EXPECT_EQ(GetBit(&r, 3), 5);
    EXPECT_EQ(GetBit(&r, 0), 0);
    EXPECT_EQ(s_GetBitLong(&r, 32), 0x12345678);
}

TEST(SoftBits, ReaderAndPackerDisagreeOnOddWordsAsDocumented)
{
    const int16_t odd[8] = {0, 127, 127, 127, 127, 127, 127, 129};
    const int16_t* r = odd;
    EXPECT_EQ(GetBit(&r, 1), 1);  // a word that is not 127 reads as 1
    unsigned char b = 0xFF;
    softbit2hardbit(1, odd, &b);
    EXPECT_EQ(b, 0x80);  // only 129 packs as 1
}

TEST(SoftBits, HardAndSoftRoundTripFirstBitInBitZero)
{
    const unsigned char in[3] = {0x01, 0xA5, 0xFF};
    int16_t soft[24];
    EXPECT_EQ(hardbit2softbit(3, in, soft), 3);
    EXPECT_EQ(soft[0], 129);
    EXPECT_EQ(soft[1], 127);
    unsigned char out[3] = {};
    softbit2hardbit(3, soft, out);
    EXPECT_EQ(std::memcmp(in, out, 3), 0);
}

TEST(SoftBits, CheckFrameCountsBitsAndIgnoresErasedFrames)
{
    const int16_t good[5] = {0x6B21, 3, 127, 129, 127};
    EXPECT_EQ(checksoftbit(good), 3);
    const int16_t erased[3] = {0x6B20, 9999, 5};
    EXPECT_EQ(checksoftbit(erased), 0);
}

TEST(SoftBits, MalformedFramesEndTheProcess)
{
    const int16_t bad_sync[3] = {0x1234, 1, 127};
    EXPECT_EXIT(checksoftbit(bad_sync), testing::ExitedWithCode(1), "G192 format \\(header\\) error.");
    const int16_t bad_bit[4] = {0x6B21, 2, 127, 128};
    EXPECT_EXIT(checksoftbit(bad_bit), testing::ExitedWithCode(1), "G192 format \\(bit\\) error.");
}

TEST(BitPlanes, LayoutPutsTheLeastImportantBitsLast)
{
    unsigned char oct[40] = {};
    oct[9] = 0x01;   // bit 0 of octet 9: plane 7, byte 35 + 1, bit 1
    oct[0] = 0x04;   // bit 2 of octet 0: plane 0, byte 0, bit 0
    oct[39] = 0x80;  // bit 7 of octet 39: plane 5, byte 25 + 4, bit 7
    oct[16] = 0x02;  // bit 1 of octet 16: plane 6, byte 30 + 2, bit 0
    unsigned char planes[40];
    bst_G722_frame(oct, planes);
    for (int k = 0; k < 40; ++k) {
        unsigned char expected = 0;
        if (k == 36)
            expected = 0x02;
        if (k == 0)
            expected = 0x01;
        if (k == 29)
            expected = 0x80;
        if (k == 32)
            expected = 0x01;
        EXPECT_EQ(planes[k], expected) << k;
    }
    unsigned char back[40];
    bst_frame_G722(planes, back);
    EXPECT_EQ(std::memcmp(oct, back, 40), 0);
}

TEST(BitPlanes, PrefixesAreTheLowerRateCores)
{
    unsigned char oct[40];
    for (int k = 0; k < 40; ++k)
        oct[k] = static_cast<unsigned char>(k * 37 + 11);
    unsigned char planes[40];
    bst_G722_frame(oct, planes);
    for (const auto& [bytes, mask] : {std::pair{30, 0xFC}, std::pair{35, 0xFE}, std::pair{40, 0xFF}}) {
        unsigned char cut[40] = {};
        std::memcpy(cut, planes, static_cast<size_t>(bytes));
        unsigned char back[40];
        bst_frame_G722(cut, back);
        for (int k = 0; k < 40; ++k)
            EXPECT_EQ(back[k], oct[k] & mask) << bytes << " " << k;
    }
}

}  // namespace
