#include "dct_int.h"
#include "ldals_nic.h"
#include "ldals_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

std::vector<int64_t> random_block(std::mt19937& rng, int n, int64_t range)
{
    std::uniform_int_distribution<int64_t> d(-range, range);
    std::vector<int64_t> v(n);
    for (auto& x : v)
        x = d(rng);
    return v;
}

TEST(IntegerDct, SmallExamplesAndZeros)
{
    int64_t pair[2] = {100, -100};
    dct(2, 1, pair);
    EXPECT_EQ(pair[0], 0);
    EXPECT_EQ(pair[1], 141);

    std::vector<int64_t> zero(64, 0);
    dct(64, 6, zero.data());
    EXPECT_EQ(zero, std::vector<int64_t>(64, 0));
    nic(zero.data());
    inic(zero.data());
    idct(64, 6, zero.data());
    EXPECT_EQ(zero, std::vector<int64_t>(64, 0));
}

TEST(IntegerDct, InverseRestoresEveryBlockBitForBit)
{
    std::mt19937 rng(7);
    for (int log2n = 1; log2n <= 6; ++log2n) {
        const int n = 1 << log2n;
        for (int64_t range : {int64_t{1}, int64_t{300}, int64_t{32768}, int64_t{8388608}, int64_t{1} << 30}) {
            for (int rep = 0; rep < 50; ++rep) {
                auto x = random_block(rng, n, range);
                auto y = x;
                dct(n, log2n, y.data());
                idct(n, log2n, y.data());
                ASSERT_EQ(x, y) << "n=" << n << " range=" << range;
            }
        }
    }
}

// The lifting structure approximates the orthonormal DCT-II: coefficient k at index k.
TEST(IntegerDct, ApproximatesTheOrthonormalTransform)
{
    std::mt19937 rng(11);
    for (int log2n : {2, 3, 6}) {
        const int n = 1 << log2n;
        double worst = 0;
        for (int rep = 0; rep < 50; ++rep) {
            auto x = random_block(rng, n, 20000);
            auto y = x;
            dct(n, log2n, y.data());
            for (int k = 0; k < n; ++k) {
                double s = 0;
                for (int i = 0; i < n; ++i)
                    s += double(x[i]) * std::cos(M_PI * (i + 0.5) * k / n);
                s *= k == 0 ? std::sqrt(1.0 / n) : std::sqrt(2.0 / n);
                worst = std::max(worst, std::fabs(s - double(y[k])));
            }
        }
        // Rounded lifting steps and constants scaled by 32767 keep it within a few units.
        EXPECT_LT(worst, 8.0) << "n=" << n;
    }
}

TEST(NoiseInjection, TableRowsBothUnitsRelyOn)
{
    struct row { int i; int64_t x, y, a, b; };
    const row rows[] = {
        {0, 0, 0, 83886080, 3355443},       {1, 1, 5, 67108864, 4194304},
        {2, 2, 9, 50331648, 5592405},       {10, 10, 34, 33554432, 8388608},
        {155, 155, 346, 33554432, 8388608}, {512, 1858, 2858, 21939436, 12829635},
        {900, 27363, 28113, 14657988, 19202837},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(nicx[r.i], r.x) << r.i;
        EXPECT_EQ(nicy[r.i], r.y) << r.i;
        EXPECT_EQ(niccnstA[r.i], r.a) << r.i;
        EXPECT_EQ(niccnstB[r.i], r.b) << r.i;
    }
    for (int i = 926; i < 1024; ++i) {
        ASSERT_EQ(nicx[i], 32767);
        ASSERT_EQ(nicy[i], 32767);
        ASSERT_EQ(niccnstA[i], 14253210);
        ASSERT_EQ(niccnstB[i], 19748181);
    }
    for (int i = 1; i < 926; ++i) {
        ASSERT_GT(nicx[i], nicx[i - 1]);
        ASSERT_GT(nicy[i], nicy[i - 1]);
    }
    EXPECT_EQ(rotcnstSGN[512], 1);
    EXPECT_EQ(rotcnstSGN[513], -1);
    EXPECT_EQ(rotcnstSGN[1536], -1);
    EXPECT_EQ(rotcnstSGN[1537], 1);
    EXPECT_EQ(rotcnstA[256], 13573);  // tan(pi/8)
}

TEST(NoiseInjection, QuietGroupIsLiftedAndRestored)
{
    std::vector<int64_t> block(64, 0);
    for (int i = 0; i < 8; ++i)
        block[i] = 10;
    nic(block.data());
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(block[i], 33) << i;
    for (int i = 8; i < 64; ++i)
        EXPECT_EQ(block[i], 0) << i;
    inic(block.data());
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(block[i], 10) << i;
}

TEST(NoiseInjection, LoudGroupUsesTheEndSlope)
{
    std::vector<int64_t> block(64, 0);
    for (int i = 0; i < 8; ++i)
        block[i] = i % 2 ? -40000 : 40000;
    nic(block.data());
    // 32767 + 0.85 * (40000 - 32767) = 38911.7
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(double(block[i]), i % 2 ? -38912.0 : 38912.0, 1.0) << i;
}

TEST(NoiseInjection, InverseCompandingReturnsWithinAFewUnits)
{
    std::mt19937 rng(3);
    for (int64_t range : {int64_t{20}, int64_t{400}, int64_t{5000}, int64_t{60000}}) {
        for (int rep = 0; rep < 200; ++rep) {
            auto x = random_block(rng, 64, range);
            auto y = x;
            nic(y.data());
            inic(y.data());
            for (int i = 0; i < 64; ++i)
                ASSERT_LE(std::llabs(x[i] - y[i]), 3 + std::llabs(x[i]) / 500) << range << " " << i;
        }
    }
}

TEST(NicRecord, InitRefusesWhatItCannotHold)
{
    struct c { int ch, res, len, result; };
    const c cases[] = {
        {2, 16, 128, 0}, {32, 24, 64, 0}, {1, 16, 4096, 0},
        {0, 16, 128, -701}, {33, 16, 128, -701}, {2, 8, 128, -706}, {2, 32, 128, -706},
        {2, 16, 0, -301}, {2, 16, 100, -301}, {2, 16, -64, -301},
    };
    for (const auto& t : cases) {
        LDALS_NIC_INFO info{};
        EXPECT_EQ(LDALS_InitNicInfo(&info, t.ch, t.res, t.len), t.result) << t.ch << " " << t.res << " " << t.len;
        if (t.result == 0) {
            EXPECT_EQ(info.blocks, t.len / 64);
            EXPECT_EQ(info.block_length, 64);
        }
        EXPECT_EQ(LDALS_DestroyNicInfo(&info), 0);
        EXPECT_EQ(info.work, nullptr);
    }
    EXPECT_EQ(LDALS_InitNicInfo(nullptr, 2, 16, 128), -100);
    EXPECT_EQ(LDALS_DestroyNicInfo(nullptr), -100);
    EXPECT_EQ(LDALS_Preprocess(nullptr, nullptr), -100);
}

std::vector<uint8_t> pcm16(const std::vector<int>& samples)
{
    std::vector<uint8_t> out;
    for (int s : samples) {
        out.push_back(uint8_t(s & 0xff));
        out.push_back(uint8_t((s >> 8) & 0xff));
    }
    return out;
}

TEST(NicRecord, CopyClipsToTheResolution)
{
    LDALS_NIC_INFO info{};
    ASSERT_EQ(LDALS_InitNicInfo(&info, 1, 24, 64), 0);
    std::vector<uint8_t> pcm(64 * 3, 0);
    info.work[0] = -9000000;
    info.work[1] = 9000000;
    info.work[2] = -5;
    ASSERT_EQ(LDALS_CopyFromBuffer(&info, pcm.data()), 0);
    EXPECT_EQ(std::vector<uint8_t>(pcm.begin(), pcm.begin() + 9),
              (std::vector<uint8_t>{0x00, 0x00, 0x80, 0xff, 0xff, 0x7f, 0xfb, 0xff, 0xff}));
    ASSERT_EQ(LDALS_CopyToBuffer(&info, pcm.data()), 0);
    EXPECT_EQ(info.work[0], -8388608);
    EXPECT_EQ(info.work[1], 8388607);
    EXPECT_EQ(info.work[2], -5);
    LDALS_DestroyNicInfo(&info);
}

TEST(NicRecord, PreprocessThenPostprocessKeepsTheSignal)
{
    LDALS_NIC_INFO info{};
    ASSERT_EQ(LDALS_InitNicInfo(&info, 2, 16, 128), 0);
    std::vector<int> samples(256);
    for (int n = 0; n < 128; ++n) {
        samples[2 * n] = int(3000 * std::sin(n * 0.07));
        samples[2 * n + 1] = int(40 * std::sin(n * 0.5));
    }
    auto pcm = pcm16(samples);
    ASSERT_EQ(LDALS_Preprocess(&info, pcm.data()), 0);
    EXPECT_NE(pcm, pcm16(samples));
    ASSERT_EQ(LDALS_Postprocess(&info, pcm.data()), 0);
    for (int i = 0; i < 256; ++i) {
        const int v = int16_t(pcm[2 * i] | (pcm[2 * i + 1] << 8));
        EXPECT_NEAR(v, samples[i], 12) << i;
    }
    LDALS_DestroyNicInfo(&info);
}

TEST(NicRecord, LoudFrameIsClippedNotWrapped)
{
    LDALS_NIC_INFO info{};
    ASSERT_EQ(LDALS_InitNicInfo(&info, 1, 16, 64), 0);
    std::vector<int> samples(64);
    for (int n = 0; n < 64; ++n)
        samples[n] = n % 2 ? -32768 : 32767;
    auto pcm = pcm16(samples);
    ASSERT_EQ(LDALS_Preprocess(&info, pcm.data()), 0);
    for (int n = 0; n < 64; ++n) {
        const int v = int16_t(pcm[2 * n] | (pcm[2 * n + 1] << 8));
        EXPECT_EQ(v < 0, n % 2 == 1) << n;  // a wrapped sample would flip its sign
    }
    LDALS_DestroyNicInfo(&info);
}

}  // namespace
