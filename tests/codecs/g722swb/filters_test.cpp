// Input high-pass and the 32-tap QMF bank.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "highpass.h"
#include "qmfilt.h"
#include "test_signals.h"

using namespace g722swb;

namespace {

TEST(HighPass, StepPassesThenDecaysToZero)
{
    for (int shift : {6, 7}) {
        highpass_state* hp = highpass_1tap_iir_const();
        ASSERT_NE(hp, nullptr);
        std::vector<int16_t> step(4000, 1000);
        std::vector<float> out(step.size());
        highpass_1tap_iir(shift, static_cast<int>(step.size()), step.data(), out.data(), hp);
        EXPECT_EQ(out[0], 1000.0f) << shift;
        EXPECT_LT(out[1], 1000.0f);
        EXPECT_EQ(out.back(), 0.0f) << shift;
        // The pole is 1 - 2^-shift: the second output is the first times the pole, rounded.
        EXPECT_NEAR(out[1], std::round(1000.0 * (1.0 - std::ldexp(1.0, -shift))), 1.0);
        highpass_1tap_iir_reset(hp);
        int16_t one = 1000;
        float first = 0.0f;
        highpass_1tap_iir(shift, 1, &one, &first, hp);
        EXPECT_EQ(first, 1000.0f) << "reset forgets the history";
        highpass_1tap_iir_dest(hp);
    }
}

TEST(HighPass, FullScaleSwingsSaturate)
{
    highpass_state* hp = highpass_1tap_iir_const();
    const int16_t x[4] = {-32768, 32767, -32768, 32767};
    float y[4];
    highpass_1tap_iir(6, 4, x, y, hp);
    for (float v : y) {
        EXPECT_LE(v, 32767.0f);
        EXPECT_GE(v, -32768.0f);
    }
    EXPECT_EQ(y[1], 32767.0f);
    highpass_1tap_iir_dest(hp);
}

TEST(QmfBank, AnalysisThenSynthesisReproducesTheInputDelayed)
{
    qmf_state* ana = QMFilt_const(SWB_QMF_TAPS, fSWBQmf0, fSWBQmf1);
    qmf_state* syn = QMFilt_const(SWB_QMF_TAPS, fSWBQmf0, fSWBQmf1);
    ASSERT_NE(ana, nullptr);
    ASSERT_NE(syn, nullptr);
    std::vector<int16_t> x = g722test::tones(32000, {{600.0, 6000.0}, {2900.0, 4000.0}, {5300.0, 3000.0}});
    // Treat the 16 kHz tone table as 32 kHz input: components up to 10.6 kHz, both bands busy.
    std::vector<int16_t> y(x.size());
    for (size_t f = 0; f + 160 <= x.size(); f += 160) {
        float in[160], lo[80], hi[80], out[160];
        for (int i = 0; i < 160; ++i)
            in[i] = x[f + static_cast<size_t>(i)];
        QMFilt_ana(160, in, lo, hi, ana);
        QMFilt_syn(80, lo, hi, out, syn);
        for (int i = 0; i < 160; ++i)
            y[f + static_cast<size_t>(i)] = static_cast<int16_t>(out[i]);
    }
    int lag = 0;
    EXPECT_GT(g722test::snr_db(x, y, 64, 400, &lag), 40.0);
    EXPECT_EQ(lag, SWB_QMF_TAPS - 2);
    QMFilt_dest(ana);
    QMFilt_dest(syn);
}

TEST(QmfBank, OutputsSaturate)
{
    qmf_state* syn = QMFilt_const(SWB_QMF_TAPS, fSWBQmf0, fSWBQmf1);
    float lo[80], hi[80], out[160];
    for (int i = 0; i < 80; ++i) {
        lo[i] = (i & 1) ? -32768.0f : 32767.0f;
        hi[i] = (i & 1) ? 32767.0f : -32768.0f;
    }
    for (int rep = 0; rep < 3; ++rep)
        QMFilt_syn(80, lo, hi, out, syn);
    for (float v : out) {
        EXPECT_LE(v, 32767.0f);
        EXPECT_GE(v, -32768.0f);
    }
    QMFilt_dest(syn);
    QMFilt_dest(nullptr);
}

}  // namespace
