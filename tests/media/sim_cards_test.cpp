// Two engines on the simulated board's cards: linear PCM bit-exact end to end. (The drift slip
// is checked in virtual time by drift_test; its long real-time run with the cards ±200 ppm apart
// is in bench/media.)
#include "sim_cards.h"

using namespace orva;
using namespace orva::test;
using namespace std::chrono_literals;

namespace {

class SimCards : public ::testing::Test {
 protected:
  void SetUp() override { dir = temp_dir(); }
  void TearDown() override {
    unsetenv("ALSA_CONFIG_PATH");
    snd_config_update_free_global();
    std::filesystem::remove_all(dir);
  }
  void cards(double a_ppm, double b_ppm) {
    use_sim_cards(dir, {{"unitA_in", "orvaainhp", dir + "/a", a_ppm},
                        {"unitA_out", "orvadin", dir + "/a", a_ppm},
                        {"unitB_in", "orvaainhp", dir + "/b", b_ppm},
                        {"unitB_out", "orvadin", dir + "/b", b_ppm}});
    // Unit A's capture card plays the position signal (10 s, looped by the card).
    std::vector<short> src(48000 * 10 * 2);
    for (int64_t p = 0; p < 48000 * 10; ++p) position_signal(p, &src[2 * p], 2);
    write_wav(dir + "/a/sim/audio/orvaainhp-in.wav", src, 48000, 2);
  }
  static void start(sim_unit& u, int periods = 3) {
    ASSERT_EQ(u.engine.restart(u.codecs.get(audio_codec_LPCM, false), periods, periods), 0);
    ASSERT_TRUE(wait_for([&] { return u.engine.startable(); }, 5s));
  }
  std::string dir;
};

}  // namespace

TEST_F(SimCards, LpcmIsBitExactBetweenTwoUnits) {
  cards(0, 0);
  realtime_tries(3, [&](bool last) {
    sim_unit a("unitA"), b("unitB");
    start(a);
    start(b);
    const uint16_t pa = free_udp_port(), pb = free_udp_port();
    const audio_manager_base::buffer_ctrl ctrl{12, 512, 256};
    EXPECT_EQ(a.engine.start_rtp("127.0.0.1", &pb, &pa, 1, a.codecs.get(100, false), ctrl, 2000), 0);
    EXPECT_EQ(b.engine.start_rtp("127.0.0.1", &pa, &pb, 1, b.codecs.get(100, false), ctrl, 2000), 0);
    EXPECT_TRUE(wait_for([&] { return b.listener.count(recording_listener::event::rtp_stat, 1) == 1; }, 10s));
    std::this_thread::sleep_for(3s);
    a.engine.stop_rtp();
    b.engine.stop_rtp();
    b.engine.stop_threads();  // playback stopped: the card's file holds everything played
    const wav_data w = read_wav(dir + "/b/sim/audio/orvadin-out.wav");
    EXPECT_EQ(w.rate, 48000);
    EXPECT_EQ(w.channels, 2);
    // As over the test cards: one long exact run and most of the stream exact.
    const bool ok = longest_exact_run(w.samples) > 48000u / 2 && exact_frames(w.samples) > 3u * 48000u / 2;
    if (last && !ok) {
      EXPECT_GT(longest_exact_run(w.samples), 48000u / 2);
      EXPECT_GT(exact_frames(w.samples), 3u * 48000u / 2);
    }
    return ok;
  });
}
