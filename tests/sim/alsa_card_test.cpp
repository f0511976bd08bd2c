// The simulated sound cards through libasound, as the media engine opens them.
#include "test_unit.h"

#include <alsa/asoundlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

class AlsaCard : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("ALSA_CONFIG_PATH", ORVA_BINARY_DIR "/sim/asound.conf", 1);
        ::setenv("ORVA_ROOT", unit.root().c_str(), 1);
        std::filesystem::create_directories(unit.path("/sim/audio"));
        snd_config_update_free_global();
    }
    void TearDown() override
    {
        if (pcm)
            snd_pcm_close(pcm);
        ::unsetenv("ORVA_ROOT");
    }

    int open(const char* card, snd_pcm_stream_t stream, unsigned rate, unsigned channels,
             snd_pcm_uframes_t period, snd_pcm_uframes_t buffer)
    {
        int err = snd_pcm_open(&pcm, (std::string("default:CARD=") + card).c_str(), stream, 0);
        if (err < 0)
            return err;
        snd_pcm_hw_params_t* hw;
        snd_pcm_hw_params_alloca(&hw);
        if ((err = snd_pcm_hw_params_any(pcm, hw)) < 0 || (err = snd_pcm_hw_params_set_rate(pcm, hw, rate, 0)) < 0 ||
            (err = snd_pcm_hw_params_set_channels(pcm, hw, channels)) < 0 ||
            (err = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE)) < 0 ||
            (err = snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr)) < 0 ||
            (err = snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer)) < 0 ||
            (err = snd_pcm_hw_params_set_rate_resample(pcm, hw, 0)) < 0 ||
            (err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
            (err = snd_pcm_hw_params(pcm, hw)) < 0)
            return err;
        return 0;
    }

    // Moves `frames` frames in periods of `period` and returns the seconds it took.
    double move(snd_pcm_uframes_t frames, snd_pcm_uframes_t period, unsigned channels, bool play)
    {
        std::vector<int16_t> buf(period * channels, 0);
        const auto t0 = clock_type::now();
        for (snd_pcm_uframes_t done = 0; done < frames;) {
            const auto n = play ? snd_pcm_writei(pcm, buf.data(), period) : snd_pcm_readi(pcm, buf.data(), period);
            EXPECT_GT(n, 0) << snd_strerror(static_cast<int>(n));
            if (n <= 0)
                return -1;
            done += static_cast<snd_pcm_uframes_t>(n);
        }
        if (play)
            snd_pcm_drain(pcm);
        return std::chrono::duration<double>(clock_type::now() - t0).count();
    }

    orva::test::scoped_unit unit;
    snd_pcm_t* pcm = nullptr;
};

TEST_F(AlsaCard, OnlyTheBoardsCardsExist)
{
    EXPECT_LT(snd_pcm_open(&pcm, "default:CARD=nosuchcard", SND_PCM_STREAM_PLAYBACK, 0), 0);
    for (const char* card : {"orvaainhp", "orvadin", "orvaincom"}) {
        ASSERT_EQ(open(card, SND_PCM_STREAM_CAPTURE, 48000, 2, 128, 1024), 0) << card;
        snd_pcm_close(pcm);
        pcm = nullptr;
    }
}

// The buffers hold 200 ms so that a test thread delayed by a loaded machine does not run the
// card dry or over; the card's pacing, not the thread's, is measured.
TEST_F(AlsaCard, PlaybackMovesTenSecondsInTenSeconds)
{
    ASSERT_EQ(open("orvadin", SND_PCM_STREAM_PLAYBACK, 48000, 2, 480, 9600), 0);
    const double seconds = move(480000, 480, 2, true);
    EXPECT_NEAR(seconds, 10.0, 0.1);
}

TEST_F(AlsaCard, CaptureMovesTenSecondsInTenSeconds)
{
    ASSERT_EQ(open("orvaainhp", SND_PCM_STREAM_CAPTURE, 48000, 2, 480, 9600), 0);
    const double seconds = move(480000, 480, 2, false);
    EXPECT_NEAR(seconds, 10.0, 0.1);
}

TEST_F(AlsaCard, RateOffsetInPpmShowsAsTheMeasuredRate)
{
    struct ppm_case {
        const char* card;
        snd_pcm_stream_t stream;
        double ppm;
    };
    const ppm_case cases[] = {{"orvaincom", SND_PCM_STREAM_CAPTURE, 20000}, {"orvadin", SND_PCM_STREAM_PLAYBACK, -20000}};
    for (const auto& c : cases) {
        std::ofstream(unit.path("/sim/audio/") + c.card + ".ppm") << c.ppm << "\n";
        ASSERT_EQ(open(c.card, c.stream, 16000, 1, 160, 3200), 0);
        // Four seconds of nominal audio: the card's clock is 2 % off, far above the test's noise.
        const double seconds = move(64000, 160, 1, c.stream == SND_PCM_STREAM_PLAYBACK);
        const double measured_ppm = (64000.0 / seconds / 16000.0 - 1.0) * 1e6;
        EXPECT_NEAR(measured_ppm, c.ppm, 5000) << c.card;
        snd_pcm_close(pcm);
        pcm = nullptr;
    }
}

TEST_F(AlsaCard, LateApplicationGetsXrunAndRecoversWithPrepare)
{
    for (auto stream : {SND_PCM_STREAM_PLAYBACK, SND_PCM_STREAM_CAPTURE}) {
        ASSERT_EQ(open("orvaincom", stream, 48000, 1, 480, 4800), 0);
        std::vector<int16_t> buf(480);
        const bool play = stream == SND_PCM_STREAM_PLAYBACK;
        auto step = [&] { return play ? snd_pcm_writei(pcm, buf.data(), 480) : snd_pcm_readi(pcm, buf.data(), 480); };
        ASSERT_EQ(step(), 480);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the buffer holds 100 ms
        EXPECT_EQ(step(), -EPIPE);
        EXPECT_EQ(snd_pcm_state(pcm), SND_PCM_STATE_XRUN);
        ASSERT_EQ(snd_pcm_prepare(pcm), 0);
        EXPECT_EQ(step(), 480);
        snd_pcm_close(pcm);
        pcm = nullptr;
    }
}

// A little-endian 16-bit PCM WAV file.
void write_wav(const std::string& path, unsigned rate, unsigned channels, const std::vector<int16_t>& samples)
{
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    f.write("RIFF", 4);
    u32(36 + data);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(static_cast<uint16_t>(channels));
    u32(rate);
    u32(rate * channels * 2);
    u16(static_cast<uint16_t>(channels * 2));
    u16(16);
    f.write("data", 4);
    u32(data);
    f.write(reinterpret_cast<const char*>(samples.data()), data);
}

TEST_F(AlsaCard, CaptureLoopsTheUnitsWavFileAndFallsBackToATone)
{
    std::vector<int16_t> ramp(300);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(i * 7 - 1000);
    write_wav(unit.path("/sim/audio/orvaainhp-in.wav"), 48000, 1, ramp);
    // Buffers larger than one read: a test thread delayed by a loaded machine must not overrun.
    ASSERT_EQ(open("orvaainhp", SND_PCM_STREAM_CAPTURE, 48000, 2, 256, 8192), 0);
    std::vector<int16_t> got(1024 * 2);
    ASSERT_EQ(snd_pcm_readi(pcm, got.data(), 1024), 1024);
    for (size_t f = 0; f < 1024; ++f) {
        ASSERT_EQ(got[2 * f], ramp[f % ramp.size()]) << f;
        ASSERT_EQ(got[2 * f + 1], ramp[f % ramp.size()]) << f;
    }
    snd_pcm_close(pcm);
    pcm = nullptr;

    ASSERT_EQ(open("orvaincom", SND_PCM_STREAM_CAPTURE, 48000, 1, 480, 14400), 0);
    std::vector<int16_t> tone(4800);
    ASSERT_EQ(snd_pcm_readi(pcm, tone.data(), 4800), 4800);
    double sum = 0;
    for (int16_t s : tone)
        sum += double(s) * s;
    EXPECT_NEAR(std::sqrt(sum / tone.size()) / 32767.0, 0.25 / std::sqrt(2.0), 0.01);
}

TEST_F(AlsaCard, PlaybackIsRecordedToTheUnitsWavFile)
{
    ASSERT_EQ(open("orvadin", SND_PCM_STREAM_PLAYBACK, 48000, 2, 240, 9600), 0);
    std::vector<int16_t> samples(4800 * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(i);
    ASSERT_EQ(snd_pcm_writei(pcm, samples.data(), 4800), 4800);
    snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    pcm = nullptr;
    std::ifstream f(unit.path("/sim/audio/orvadin-out.wav"), std::ios::binary);
    std::vector<char> all((std::istreambuf_iterator<char>(f)), {});
    ASSERT_EQ(all.size(), 44 + samples.size() * 2);
    uint32_t data_size, rate;
    uint16_t channels;
    std::memcpy(&data_size, &all[40], 4);
    std::memcpy(&rate, &all[24], 4);
    std::memcpy(&channels, &all[22], 2);
    EXPECT_EQ(data_size, samples.size() * 2);
    EXPECT_EQ(rate, 48000u);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(std::memcmp(&all[44], samples.data(), samples.size() * 2), 0);
}

}  // namespace
