// The G.722 core: embedded low-band bits, the high band's extra bits, noise-shaping weights.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "g722.h"
#include "g722_plc.h"
#include "softbit.h"
#include "test_signals.h"

using namespace g722swb;

namespace {

bool same_band(const g722_band& x, const g722_band& y) { return std::memcmp(&x, &y, sizeof x) == 0; }

struct core_pair {
    g722_encoder* enc = fl_g722_encode_const();
    g722_decoder* dec = g722_decode_const();
    ~core_pair()
    {
        fl_g722_encode_dest(enc);
        g722_decode_dest(dec);
    }
};

TEST(G722Core, DecodersOfEveryRateTrackTheEncodersAdpcmState)
{
    // The 64 kbit/s core adapts on the 4-bit core only, so decoders that drop the sixth bit,
    // or the fifth too, stay in step with the encoder.
    const auto x = g722test::tones(16000, {{300.0, 7000.0}, {2500.0, 3000.0}, {6100.0, 2500.0}});
    const auto n = g722test::noise(16000, 3000.0);
    for (const auto* sig : {&x, &n}) {
        core_pair p;
        g722_decoder* d56 = g722_decode_const();
        g722_decoder* d48 = g722_decode_const();
        for (size_t f = 0; f + 80 <= sig->size(); f += 80) {
            unsigned char oct[40], o56[40], o48[40];
            g722_encode(1, 2, sig->data() + f, oct, nullptr, 3, p.enc, 0, nullptr);
            for (int k = 0; k < 40; ++k) {
                o56[k] = static_cast<unsigned char>(oct[k] & 0xFE);
                o48[k] = static_cast<unsigned char>(oct[k] & 0xFC);
            }
            int16_t out[80];
            g722_decode(1, oct, nullptr, 3, 0, out, p.dec, nullptr, 0);
            g722_decode(2, o56, nullptr, 3, 0, out, d56, nullptr, 0);
            g722_decode(3, o48, nullptr, 3, 0, out, d48, nullptr, 0);
            ASSERT_TRUE(same_band(p.enc->low, p.dec->low)) << f;
            ASSERT_TRUE(same_band(p.enc->low, d56->low)) << f;
            ASSERT_TRUE(same_band(p.enc->low, d48->low)) << f;
            ASSERT_TRUE(same_band(p.enc->high, d48->high)) << f;
        }
        g722_decode_dest(d56);
        g722_decode_dest(d48);
    }
}

TEST(G722Core, LowerRateModesOnlyCarryTheirCodeBits)
{
    const auto x = g722test::noise(4000, 5000.0);
    for (const auto& [mode, mask] : {std::pair{2, 0x01}, std::pair{3, 0x03}}) {
        core_pair p;
        for (size_t f = 0; f + 80 <= x.size(); f += 80) {
            unsigned char oct[40];
            g722_encode(mode, mode, x.data() + f, oct, nullptr, 3, p.enc, 0, nullptr);
            for (unsigned char o : oct)
                ASSERT_EQ(o & mask, 0) << mode;
        }
    }
}

TEST(G722Core, ExtraBitsSpendNineteenPerFrameAndTheDecoderFollows)
{
    const auto sigs = {g722test::noise(8000, 4000.0), g722test::tone(8000, 7000.0, 9000.0),
                       std::vector<int16_t>(8000, 0), g722test::transients(8000)};
    for (const auto& x : sigs) {
        core_pair p;
        for (size_t f = 0; f + 80 <= x.size(); f += 80) {
            int16_t soft[64];
            std::fill(std::begin(soft), std::end(soft), int16_t{0});
            int16_t* w = soft;
            unsigned char oct[40], enh[5];
            g722_encode(1, 2, x.data() + f, oct, enh, 2, p.enc, 1, &w);
            ASSERT_EQ(w - soft, G722_EXTRA_BITS);
            for (int i = 0; i < G722_EXTRA_BITS; ++i)
                ASSERT_TRUE(soft[i] == G192_BIT0 || soft[i] == G192_BIT1);
            const int16_t* r = soft;
            int16_t out[80];
            g722_decode(1, oct, enh, 2, 0, out, p.dec, &r, 1);
            ASSERT_EQ(r - soft, G722_EXTRA_BITS) << "the decoder reads what the encoder wrote";
            ASSERT_TRUE(same_band(p.enc->high, p.dec->high));
        }
    }
}

TEST(G722Core, TheFirstHighBandSampleAlwaysSpendsAnExtraBit)
{
    EXPECT_TRUE(g722_extra_bit_spent(0, 0, -1, 19));
    EXPECT_TRUE(g722_extra_bit_spent(0, 500, -1, 19));
    EXPECT_FALSE(g722_extra_bit_spent(5, 0, 10, 0)) << "no bits left";
    EXPECT_TRUE(g722_extra_bit_spent(35, 0, 1000, 5)) << "the rest is forced at the end";
    EXPECT_FALSE(g722_extra_bit_spent(10, 3, 30, 12));
    EXPECT_TRUE(g722_extra_bit_spent(10, 4, 30, 12));
}

TEST(G722Core, LowBandShapingSwitchesOffAfterALowPassFrameAndFadesBackIn)
{
    core_pair p;
    const auto low = g722test::tone(800, 150.0, 12000.0);
    const auto wide = g722test::noise(800, 6000.0);
    unsigned char oct[40];
    for (size_t f = 0; f + 80 <= low.size(); f += 80)
        g722_encode(1, 2, low.data() + f, oct, nullptr, 3, p.enc, 0, nullptr);
    EXPECT_FLOAT_EQ(p.enc->ns_low.acc, 0.23f);
    const float expected[] = {0.46f, 0.69f, 0.92f, 0.92f, 0.92f};
    for (size_t i = 0; i < std::size(expected); ++i) {
        g722_encode(1, 2, wide.data() + 80 * (i + 2), oct, nullptr, 3, p.enc, 0, nullptr);
        EXPECT_NEAR(p.enc->ns_low.acc, expected[i], 1e-5) << i;
    }
}

TEST(G722Core, ResetRestoresTheCreationState)
{
    core_pair p;
    g722_encoder* fresh = fl_g722_encode_const();
    const auto x = g722test::noise(800, 5000.0);
    unsigned char oct[40];
    for (size_t f = 0; f + 80 <= x.size(); f += 80)
        g722_encode(1, 2, x.data() + f, oct, nullptr, 3, p.enc, 0, nullptr);
    fl_g722_encode_reset(p.enc);
    EXPECT_EQ(std::memcmp(p.enc, fresh, sizeof(g722_encoder)), 0);
    fl_g722_encode_dest(fresh);
}

}  // namespace
