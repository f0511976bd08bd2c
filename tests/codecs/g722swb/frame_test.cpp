// The frame interface: sizes, modes, bit planes on the wire, reset, refusals, out of memory.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "pcmswb.h"
#include "swb_alloc.h"
#include "test_signals.h"

namespace {

struct encoder_ptr {
    pcmswbEncoderState* p;
    explicit encoder_ptr(pcmswbEncoderState* s) : p(s) {}
    ~encoder_ptr() { pcmswbEncode_dest(p); }
};
struct decoder_ptr {
    pcmswbDecoderState* p;
    explicit decoder_ptr(pcmswbDecoderState* s) : p(s) {}
    ~decoder_ptr() { pcmswbDecode_dest(p); }
};

std::vector<unsigned char> encode_all(pcmswbEncoderState* enc, const std::vector<int16_t>& x, int in_frame, int bytes)
{
    std::vector<unsigned char> out;
    for (size_t f = 0; f + static_cast<size_t>(in_frame) <= x.size(); f += static_cast<size_t>(in_frame)) {
        std::vector<unsigned char> frame(static_cast<size_t>(bytes) + 8, 0xA5);
        EXPECT_EQ(pcmswbEncode(x.data() + f, frame.data(), enc), 0);
        for (size_t k = static_cast<size_t>(bytes); k < frame.size(); ++k)
            EXPECT_EQ(frame[k], 0xA5) << "wrote beyond the frame";
        out.insert(out.end(), frame.begin(), frame.begin() + bytes);
    }
    return out;
}

std::vector<int16_t> decode_all(pcmswbDecoderState* dec, const std::vector<unsigned char>& bytes, int frame_bytes,
                                int out_frame, const std::vector<bool>& lost = {})
{
    std::vector<int16_t> out;
    size_t index = 0;
    for (size_t f = 0; f + static_cast<size_t>(frame_bytes) <= bytes.size(); f += static_cast<size_t>(frame_bytes), ++index) {
        std::vector<int16_t> pcm(static_cast<size_t>(out_frame));
        const bool is_lost = index < lost.size() && lost[index];
        // A lost frame's input is never read: pass none.
        EXPECT_EQ(pcmswbDecode(is_lost ? nullptr : bytes.data() + f, pcm.data(), dec, is_lost ? 1 : 0), 0);
        out.insert(out.end(), pcm.begin(), pcm.end());
    }
    return out;
}

TEST(FrameInterface, FrameSizesByModeAndInputRate)
{
    const auto x16 = g722test::vowels(8000);
    const auto x32 = g722test::tone(16000, 1000.0, 8000.0, 32000);
    const struct {
        int rate, mode, in_frame, bytes;
    } cases[] = {
        {16000, 0, 80, 30}, {16000, 1, 80, 35}, {16000, 2, 80, 40},
        {32000, 2, 160, 40}, {44100, 2, 160, 40}, {48000, 0, 160, 30},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pcmswbFrameBytes(c.mode), c.bytes);
        encoder_ptr enc(pcmswbEncode_const(c.rate, c.mode));
        ASSERT_NE(enc.p, nullptr);
        const auto& x = c.in_frame == 80 ? x16 : x32;
        const auto bytes = encode_all(enc.p, x, c.in_frame, c.bytes);
        EXPECT_EQ(bytes.size(), x.size() / static_cast<size_t>(c.in_frame) * static_cast<size_t>(c.bytes));
    }
    EXPECT_EQ(pcmswbFrameBytes(5), 60);
    EXPECT_EQ(pcmswbFrameBytes(6), 0);
}

TEST(FrameInterface, ThirtyTwoKilohertzInputKeepsTheLowBand)
{
    // A 1 kHz tone at 32 kHz decodes at 16 kHz as the same tone.
    const auto x32 = g722test::tone(32000, 1000.0, 8000.0, 32000);
    encoder_ptr enc(pcmswbEncode_const(44100, 2));
    decoder_ptr dec(pcmswbDecode_const(2));
    const auto y = decode_all(dec.p, encode_all(enc.p, x32, 160, 40), 40, 80);
    EXPECT_GT(g722test::snr_db(g722test::tone(16000, 1000.0, 8000.0), y, 80), 20.0);
}

TEST(FrameInterface, RoundTripOfEveryWidebandMode)
{
    const auto x = g722test::tones(16000, {{440.0, 6000.0}, {1700.0, 3000.0}, {5100.0, 1000.0}});
    const double floor_db[] = {18.0, 22.0, 24.0};
    for (int mode = 0; mode <= 2; ++mode) {
        encoder_ptr enc(pcmswbEncode_const(16000, mode));
        decoder_ptr dec(pcmswbDecode_const(mode));
        const int bytes = pcmswbFrameBytes(mode);
        const auto y = decode_all(dec.p, encode_all(enc.p, x, 80, bytes), bytes, 80);
        EXPECT_GT(g722test::snr_db(g722test::dc_removed(x), y), floor_db[mode]) << mode;
    }
}

TEST(FrameInterface, PrefixesOfAMode2FrameDecodeAsModes0And1)
{
    const auto x = g722test::vowels(16000);
    encoder_ptr enc(pcmswbEncode_const(16000, 2));
    const auto full = encode_all(enc.p, x, 80, 40);
    double prev = 0.0;
    for (int mode = 0; mode <= 2; ++mode) {
        const int keep = pcmswbFrameBytes(mode);
        std::vector<unsigned char> cut;
        for (size_t f = 0; f < full.size(); f += 40)
            cut.insert(cut.end(), full.begin() + static_cast<long>(f), full.begin() + static_cast<long>(f) + keep);
        decoder_ptr dec(pcmswbDecode_const(mode));
        const double snr = g722test::snr_db(g722test::dc_removed(x), decode_all(dec.p, cut, keep, 80));
        EXPECT_GT(snr, 10.0) << mode;
        EXPECT_GT(snr, prev) << "each further plane improves the core";
        prev = snr;
    }
}

TEST(FrameInterface, NullStatesAreHarmless)
{
    short pcm[80] = {};
    unsigned char bytes[40] = {};
    EXPECT_EQ(pcmswbDecode(bytes, pcm, nullptr, 0), 1);
    EXPECT_EQ(pcmswbEncode(pcm, bytes, nullptr), 1);
    EXPECT_EQ(pcmswbEncode_reset(nullptr), 0);
    EXPECT_EQ(pcmswbDecode_reset(nullptr), 0);
    EXPECT_EQ(pcmswbDecode_set(2, nullptr), -1);
    pcmswbEncode_dest(nullptr);
    pcmswbDecode_dest(nullptr);
}

TEST(FrameInterface, LostFramesNeverReadTheirInput)
{
    decoder_ptr dec(pcmswbDecode_const(2));
    short pcm[80];
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(pcmswbDecode(nullptr, pcm, dec.p, 1), 0);
    for (short v : pcm)
        EXPECT_EQ(v, 0) << "a loss right after creation conceals silence";
}

TEST(FrameInterface, ResetGivesAFreshEncoderAndDecoder)
{
    const auto a = g722test::noise(4000, 6000.0, 3);
    const auto b = g722test::vowels(4000);
    encoder_ptr used_enc(pcmswbEncode_const(16000, 2));
    decoder_ptr used_dec(pcmswbDecode_const(2));
    std::vector<bool> losses(50, false);
    losses[48] = losses[49] = true;  // leave a loss pending at the reset
    decode_all(used_dec.p, encode_all(used_enc.p, a, 80, 40), 40, 80, losses);
    EXPECT_EQ(pcmswbEncode_reset(used_enc.p), 0);
    EXPECT_EQ(pcmswbDecode_reset(used_dec.p), 0);

    encoder_ptr fresh_enc(pcmswbEncode_const(16000, 2));
    decoder_ptr fresh_dec(pcmswbDecode_const(2));
    const auto bytes_used = encode_all(used_enc.p, b, 80, 40);
    const auto bytes_fresh = encode_all(fresh_enc.p, b, 80, 40);
    EXPECT_EQ(bytes_used, bytes_fresh);
    std::vector<bool> later(50, false);
    later[0] = later[20] = later[21] = true;  // the first frame lost: no old history to conceal from
    EXPECT_EQ(decode_all(used_dec.p, bytes_used, 40, 80, later), decode_all(fresh_dec.p, bytes_fresh, 40, 80, later));
}

TEST(FrameInterface, WidebandDecoderCanProduce32kHz)
{
    const auto x = g722test::tone(16000, 1000.0, 8000.0);
    encoder_ptr enc(pcmswbEncode_const(16000, 2));
    decoder_ptr dec(pcmswbDecode_const(2));
    ASSERT_EQ(pcmswbDecode_set(2, dec.p), 0);
    EXPECT_EQ(pcmswbDecode_set(4, dec.p), -1) << "no super-wideband layers in this decoder";
    std::vector<bool> lost(200, false);
    lost[100] = true;
    const auto y = decode_all(dec.p, encode_all(enc.p, x, 80, 40), 40, 160, lost);
    ASSERT_EQ(y.size(), x.size() * 2);
    EXPECT_GT(g722test::snr_db(g722test::tone(32000, 1000.0, 8000.0, 32000), std::vector<int16_t>(y.begin(), y.begin() + 12000), 120), 15.0);
}

TEST(FrameInterfaceDeathTest, ModesOutsideZeroToFiveEndTheProcess)
{
    for (int mode : {-1, 6, 100}) {
        EXPECT_EXIT(pcmswbEncode_const(16000, mode), testing::ExitedWithCode(1), "^Encoding mode error.\n$") << mode;
        EXPECT_EXIT(pcmswbDecode_const(mode), testing::ExitedWithCode(1), "^Decoding mode error.\n$") << mode;
    }
}

// Fails the n-th allocation from now on.
int g_fail_at = -1;
void* failing_alloc(std::size_t size)
{
    if (g_fail_at-- == 0)
        return nullptr;
    return std::malloc(size);
}

TEST(FrameInterface, EveryFailedAllocationReturnsNullAndLeaksNothing)
{
    // The sanitizer build's leak check sees anything left behind.
    int encoder_steps = 0, decoder_steps = 0;
    for (int n = 0;; ++n) {
        g_fail_at = n;
        g722swb::swb_set_allocator(failing_alloc);
        pcmswbEncoderState* enc = pcmswbEncode_const(16000, 2);
        g722swb::swb_set_allocator(nullptr);
        if (enc != nullptr) {
            pcmswbEncode_dest(enc);
            break;
        }
        ++encoder_steps;
    }
    for (int n = 0;; ++n) {
        g_fail_at = n;
        g722swb::swb_set_allocator(failing_alloc);
        pcmswbDecoderState* dec = pcmswbDecode_const(2);
        g722swb::swb_set_allocator(nullptr);
        if (dec != nullptr) {
            pcmswbDecode_dest(dec);
            break;
        }
        ++decoder_steps;
    }
    EXPECT_GE(encoder_steps, 5);  // state, high-pass, QMF record and delay line, G.722 core
    EXPECT_GE(decoder_steps, 5);  // state, G.722 core, concealment, QMF record and delay line
}

}  // namespace
