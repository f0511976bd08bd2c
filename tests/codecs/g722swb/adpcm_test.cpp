// The G.722 blocks, tables and linear-prediction helpers.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>
#include <algorithm>

#include "g722_adpcm.h"
#include "g722_tables.h"

using namespace g722swb;

namespace {

TEST(G722Blocks, FiveBitQuantiserNeverReturnsAnOddCode)
{
    for (int det : {32, 100, 1000, 8000, 16384})
        for (int el = -32768; el <= 32767; el += 37) {
            const int16_t code = quantl5b(static_cast<int16_t>(el), static_cast<int16_t>(det));
            EXPECT_EQ(code & 1, 0) << el << " " << det;
            EXPECT_GE(code, 4);
            EXPECT_LE(code, 62);
        }
}

TEST(G722Blocks, FiveBitQuantiserPicksTheNearestLevelSide)
{
    // Differences beyond the top level take the outermost codes; tiny ones the innermost.
    EXPECT_EQ(quantl5b(30000, 32), 32);
    EXPECT_EQ(quantl5b(-30000, 32), 4);
    EXPECT_EQ(quantl5b(0, 1000), 60);
    EXPECT_EQ(quantl5b(-1, 1000), 62);
    // The reconstruction level grows with the difference.
    int prev = 0;
    for (int el = 0; el < 20000; el += 50) {
        const int16_t code = quantl5b(static_cast<int16_t>(el), 1000);
        const int level = qtab5[code >> 1];
        EXPECT_GE(level, prev) << el;
        prev = level;
    }
}

TEST(G722Blocks, HighBandQuantiserOfMinusOneIsCodeOneForEveryScale)
{
    for (int nbh = 0; nbh <= 22528; nbh += 64)
        EXPECT_EQ(quanth(-1, scaleh(static_cast<int16_t>(nbh))), 1) << nbh;
    EXPECT_EQ(quanth(0, 8), 3);
    EXPECT_EQ(quanth(30000, 8), 2);
    EXPECT_EQ(quanth(-30000, 8), 0);
}

TEST(G722Blocks, LimitAndScaleFactors)
{
    EXPECT_EQ(limit(20000), 16383);
    EXPECT_EQ(limit(-20000), -16384);
    EXPECT_EQ(limit(123), 123);
    EXPECT_EQ(scalel(0), 32);
    EXPECT_EQ(scaleh(0), 8);
    EXPECT_EQ(scalel(18432), 16384);
    EXPECT_EQ(scaleh(22528), 16384);
    for (int i = 1; i < 353; ++i)
        EXPECT_GE(ila2[i], ila2[i - 1]) << i;
    EXPECT_EQ(ila2[96], 64);
    EXPECT_EQ(logscl(1, 18400), 18432);  // clamps at the top
    EXPECT_EQ(logscl(0, 0), 0);          // and at the bottom
}

TEST(G722Blocks, PredictorCoefficientsStayInG722Bounds)
{
    g722_band band;
    g722_band_reset(&band, 32);
    for (int i = 0; i < 20000; ++i) {
        const int16_t code = static_cast<int16_t>((i * 7919) % 64);
        lsbdec(code, 1, &band);
        EXPECT_LE(std::abs(band.a[2]), 12288);
        EXPECT_LE(std::abs(band.a[1]), 15360 - band.a[2]);
    }
}

TEST(NoiseShapingAnalysis, SilenceGivesTheBiasedAutocorrelation)
{
    const float x[80] = {};
    float r[5];
    const int16_t norm = fl_AutocorrNS(x, r);
    EXPECT_FLOAT_EQ(r[0], 10000.0f);
    EXPECT_FLOAT_EQ(r[1], 9500.0f * 0.995469f);
    EXPECT_FLOAT_EQ(r[2], 9025.0f * 0.982293f);
    EXPECT_FLOAT_EQ(r[3], 8573.75f * 0.960720f);
    EXPECT_FLOAT_EQ(r[4], 8145.0625f * 0.931312f);
    EXPECT_EQ(norm, 16);
}

TEST(Levinson, FirstReflectionIsNeverTestedButLaterOnesStopTheRecursion)
{
    // r of a nearly pure DC signal: k1 close to -1 passes, k2 stays small.
    const float r_dc[3] = {1.0f, 0.999f, 0.998f};
    float rc[2], a[3] = {};
    int16_t unstable = 0;
    fl_Levinson(r_dc, rc, &unstable, 2, a);
    EXPECT_NEAR(rc[0], -0.999f, 1e-6);
    EXPECT_EQ(unstable, 0);

    // A sinusoid's autocorrelation at order 3 drives k2 to about 1: stop with the flag set.
    const double w = 0.3;
    const float r_sin[4] = {1.0f, static_cast<float>(std::cos(w)), static_cast<float>(std::cos(2 * w)),
                            static_cast<float>(std::cos(3 * w))};
    float rc3[3], a3[4] = {0, 0, 0, 0};
    fl_Levinson(r_sin, rc3, &unstable, 3, a3);
    EXPECT_EQ(unstable, 1);
    EXPECT_GT(std::fabs(rc3[1]), 0.99f);
}

TEST(Levinson, ZeroEnergyGivesTheTrivialPredictor)
{
    const float r[9] = {};
    float rc[8], a[9];
    for (float& v : a)
        v = 123.0f;
    int16_t unstable = 0;
    fl_Levinson(r, rc, &unstable, 8, a);
    EXPECT_EQ(a[0], 1.0f);
    for (int k = 1; k <= 8; ++k) {
        EXPECT_EQ(a[k], 0.0f);
        EXPECT_EQ(rc[k - 1], 0.0f);
    }
}

TEST(Levinson, WeightingAndLagWindow)
{
    const float a[3] = {1.0f, -1.0f, 0.5f};
    float ap[3];
    fl_Weight_a(a, ap, 2, 0.5f);
    EXPECT_FLOAT_EQ(ap[0], 1.0f);
    EXPECT_FLOAT_EQ(ap[1], -0.5f);
    EXPECT_FLOAT_EQ(ap[2], 0.125f);
    float r[3] = {2.0f, 2.0f, 2.0f};
    const float win[2] = {0.5f, 0.25f};
    fl_Lag_window(r, win, 2);
    EXPECT_FLOAT_EQ(r[0], 2.0f);
    EXPECT_FLOAT_EQ(r[1], 1.0f);
    EXPECT_FLOAT_EQ(r[2], 0.5f);
}

TEST(G722Qmf, TransmitThenReceiveReproducesTheInputTwentyTwoSamplesLater)
{
    int16_t tx[G722_QMF_BUF] = {};
    int16_t rx[G722_QMF_BUF] = {};
    std::vector<int16_t> x(1600), y(1600);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<int16_t>(8000.0 * std::sin(0.37 * static_cast<double>(i)));
    for (size_t f = 0; f < x.size(); f += 80) {
        int pt = 80, pr = 80;
        for (int k = 0; k < 40; ++k) {
            int16_t lo, hi;
            fl_qmf_tx_buf(&x[f + 2 * static_cast<size_t>(k)], &lo, &hi, tx, &pt);
            fl_qmf_rx_buf(lo, hi, rx, &pr, &y[f + 2 * static_cast<size_t>(k)]);
        }
        std::copy(tx, tx + G722_QMF_HIST, tx + 80);
        std::copy(rx, rx + G722_QMF_HIST, rx + 80);
    }
    double err = 0.0, sig = 0.0;
    for (size_t i = 200; i < x.size(); ++i) {
        const double d = x[i - 22] - y[i];
        err += d * d;
        sig += static_cast<double>(x[i]) * x[i];
    }
    EXPECT_GT(10.0 * std::log10(sig / err), 35.0);
}

}  // namespace
