// Concealment of lost frames, run under floating-point exception traps.

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "g722.h"
#include "g722_plc.h"
#include "test_signals.h"

using namespace g722swb;

namespace {

// Traps invalid operations, division by zero and overflow while in scope: a NaN or an infinity
// born anywhere in the concealment ends the test with SIGFPE.
struct fp_traps {
    fp_traps()
    {
        std::feclearexcept(FE_ALL_EXCEPT);
        feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    }
    ~fp_traps() { fedisableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); }
};

bool all_finite(const float* x, int n)
{
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(x[i]))
            return false;
    return true;
}

void expect_sane(const g722plc_state* st, const std::string& where)
{
    EXPECT_TRUE(all_finite(st->lb_hist, PLC_LB_HIST)) << where;
    EXPECT_TRUE(all_finite(st->exc, PLC_EXC_HIST)) << where;
    EXPECT_TRUE(all_finite(st->hb_hist, PLC_HB_HIST)) << where;
    EXPECT_TRUE(all_finite(st->cont, PLC_CONT)) << where;
    EXPECT_TRUE(all_finite(st->a, PLC_ORDER + 1)) << where;
    EXPECT_TRUE(all_finite(st->mem, PLC_ORDER)) << where;
    EXPECT_TRUE(std::isfinite(st->hp_x) && std::isfinite(st->hp_y)) << where;
    EXPECT_GE(st->gain_l, 0.0f) << where;
    EXPECT_LE(st->gain_l, 1.0f) << where;
    EXPECT_GE(st->gain_h, 0.0f) << where;
    EXPECT_LE(st->gain_h, 1.0f) << where;
}

struct loss_pattern {
    const char* name;
    bool (*lost)(int frame);
};

const loss_pattern patterns[] = {
    {"first frame", [](int f) { return f == 0; }},
    {"single losses", [](int f) { return f % 9 == 5; }},
    {"bursts of three", [](int f) { return f % 25 >= 20 && f % 25 < 23; }},
    {"long burst", [](int f) { return f >= 40 && f < 100; }},
};

struct signal_case {
    const char* name;
    std::vector<int16_t> x;
};

std::vector<signal_case> signals()
{
    constexpr int n = 16000;
    return {
        {"tone", g722test::tone(n, 440.0, 12000.0)},
        {"high tone", g722test::tone(n, 6800.0, 9000.0)},
        {"tones", g722test::tones(n, {{200.0, 5000.0}, {1300.0, 4000.0}, {5300.0, 3000.0}})},
        {"noise", g722test::noise(n, 6000.0)},
        {"faint noise", g722test::noise(n, 1.5)},
        {"transients", g722test::transients(n)},
        {"vowels", g722test::vowels(n)},
        {"full-scale square", [] {
             std::vector<int16_t> x(n);
             for (int i = 0; i < n; ++i)
                 x[static_cast<size_t>(i)] = (i / 20) % 2 ? 32767 : -32768;
             return x;
         }()},
        {"silence", std::vector<int16_t>(n, 0)},
    };
}

TEST(Concealment, SignalsAndLossPatternsStayFiniteBoundedAndFadeOut)
{
    for (const auto& sig : signals()) {
        // Encode once outside the traps: only the decoder and its concealment run under them.
        std::vector<unsigned char> stream;
        {
            g722_encoder* enc = fl_g722_encode_const();
            for (size_t f = 0; f + 80 <= sig.x.size(); f += 80) {
                unsigned char oct[40];
                g722_encode(1, 2, sig.x.data() + f, oct, nullptr, 3, enc, 0, nullptr);
                stream.insert(stream.end(), oct, oct + 40);
            }
            fl_g722_encode_dest(enc);
        }
        for (const auto& pat : patterns) {
            const std::string where = std::string(sig.name) + " / " + pat.name;
            g722_decoder* dec = g722_decode_const();
            int run = 0;
            int peak_good = 0;
            bool digital_silence = true;
            {
                fp_traps traps;
                for (int f = 0; f < static_cast<int>(stream.size() / 40); ++f) {
                    int16_t out[80];
                    const bool lost = pat.lost(f);
                    g722_decode(1, lost ? nullptr : stream.data() + 40 * f, nullptr, 3, lost ? 1 : 0, out,
                                dec, nullptr, 0);
                    run = lost ? run + 1 : 0;
                    int peak = 0;
                    for (int16_t v : out)
                        peak = std::max(peak, std::abs(static_cast<int>(v)));
                    if (!lost) {
                        peak_good = std::max(peak_good, peak);
                        digital_silence = digital_silence && peak == 0;
                    } else {
                        EXPECT_LE(peak, 2 * peak_good + 64) << where << " frame " << f;
                        if (digital_silence) {
                            EXPECT_EQ(peak, 0) << where << " frame " << f << ": silence conceals silence";
                        }
                        if (run >= 16) {
                            EXPECT_EQ(peak, 0) << where << " frame " << f << ": a long loss is muted";
                        }
                    }
                    expect_sane(dec->plc, where);
                }
            }
            g722_decode_dest(dec);
        }
    }
}

TEST(Concealment, TransientClassNeverFadesWithNegativeGains)
{
    // A history of silence ending in a short loud burst: a transient.
    fp_traps traps;
    g722_decoder* dec = g722_decode_const();
    g722plc_state* plc = dec->plc;
    std::srand(5);
    for (int i = PLC_LB_HIST - 30; i < PLC_LB_HIST; ++i)
        plc->lb_hist[i] = static_cast<float>(std::rand() % 16000 - 8000);
    int16_t out[80];
    g722_decode(1, nullptr, nullptr, 3, 1, out, dec, nullptr, 0);
    ASSERT_EQ(plc->cls, 3);
    EXPECT_EQ(plc->gain_l, 0.0f) << "the fade ends at silence";
    for (int i = PLC_CONT / 2; i < PLC_CONT; ++i)
        EXPECT_EQ(plc->cont[i], 0.0f) << i;
    expect_sane(plc, "transient");
    for (int f = 0; f < 3; ++f) {
        g722_decode(1, nullptr, nullptr, 3, 1, out, dec, nullptr, 0);
        expect_sane(plc, "transient, further loss");
    }
    g722_decode_dest(dec);
}

TEST(Concealment, FirstGoodFrameStartsWithTheContinuationThenCrossFades)
{
    const auto x = g722test::vowels(8000);
    g722_encoder* enc = fl_g722_encode_const();
    g722_decoder* dec = g722_decode_const();
    unsigned char oct[40];
    int16_t out[80];
    for (size_t f = 0; f + 80 <= 4000; f += 80) {
        g722_encode(1, 2, x.data() + f, oct, nullptr, 3, enc, 0, nullptr);
        g722_decode(1, oct, nullptr, 3, 0, out, dec, nullptr, 0);
    }
    g722_encode(1, 2, x.data() + 4000, oct, nullptr, 3, enc, 0, nullptr);
    g722_decode(1, nullptr, nullptr, 3, 1, out, dec, nullptr, 0);
    float cont[PLC_CONT];
    std::copy(dec->plc->cont, dec->plc->cont + PLC_CONT, cont);
    int16_t tap_low[40], tap_high[40];
    dec->tap_low = tap_low;
    dec->tap_high = tap_high;
    g722_encode(1, 2, x.data() + 4080, oct, nullptr, 3, enc, 0, nullptr);
    g722_decode(1, oct, nullptr, 3, 0, out, dec, nullptr, 0);
    const float* lb = dec->plc->lb_hist + PLC_LB_HIST - 40;
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(lb[k], std::trunc(cont[k])) << k;
    for (int k = 20; k < 40; ++k) {
        const float g = 0.01662597619f * static_cast<float>(k - 19);
        EXPECT_EQ(lb[k], std::trunc((1.0f - g) * cont[k] + g * tap_low[k])) << k;
    }
    EXPECT_EQ(dec->plc->since_loss, 40);
    g722_encode(1, 2, x.data() + 4160, oct, nullptr, 3, enc, 0, nullptr);
    g722_decode(1, oct, nullptr, 3, 0, out, dec, nullptr, 0);
    EXPECT_EQ(lb[0], std::trunc((1.0f - 0.34991455078125f) * cont[40] + 0.34991455078125f * tap_low[0]));
    EXPECT_EQ(dec->plc->since_loss, 80);
    fl_g722_encode_dest(enc);
    g722_decode_dest(dec);
}

TEST(Concealment, DecoderResetKeepsTheConcealmentButPlcResetClearsIt)
{
    g722_decoder* dec = g722_decode_const();
    const auto x = g722test::tone(4000, 500.0, 9000.0);
    g722_encoder* enc = fl_g722_encode_const();
    unsigned char oct[40];
    int16_t out[80];
    for (size_t f = 0; f + 80 <= x.size(); f += 80) {
        g722_encode(1, 2, x.data() + f, oct, nullptr, 3, enc, 0, nullptr);
        g722_decode(1, oct, nullptr, 3, 0, out, dec, nullptr, 0);
    }
    g722_decode_reset(dec);
    EXPECT_NE(dec->plc->lb_hist[PLC_LB_HIST - 1], 0.0f);
    G722PLC_reset_flt(dec->plc);
    g722plc_state* fresh = G722PLC_init_flt();
    EXPECT_EQ(std::memcmp(dec->plc, fresh, sizeof(g722plc_state)), 0);
    G722PLC_clear_flt(fresh);
    fl_g722_encode_dest(enc);
    g722_decode_dest(dec);
}

}  // namespace
