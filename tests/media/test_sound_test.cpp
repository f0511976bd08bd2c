// Test sounds of the main engine's capture thread.
#include <gtest/gtest.h>

#include <filesystem>

#include "audio_in_thr.h"
#include "peer_process.h"
#include "sim_cards.h"
#include "unit_root.h"

using namespace orva;
using namespace orva::test;

namespace {

class TestSound : public ::testing::Test {
 protected:
  void SetUp() override {
    root = temp_dir();
    std::filesystem::create_directories(root + "/opt/QM/userdata");
    set_unit_root_for_test(root);
  }
  void TearDown() override {
    set_unit_root_for_test("");
    std::filesystem::remove_all(root);
  }
  std::vector<short> captured() const {
    std::vector<short> f(96 * 2);
    for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<short>(1000 + i);
    return f;
  }
  std::string root;
};

}  // namespace

TEST_F(TestSound, SineGoesToTheChosenChannels) {
  audio_in_thr_f t(48000, 96, 2, nullptr, nullptr, nullptr, nullptr, nullptr);
  const auto& sine = audio_in_thr_f::test_sine();
  ASSERT_EQ(sine.size(), 48u);
  EXPECT_EQ(sine[0], 0);
  EXPECT_EQ(sine[12], 3277);  // 3276.7 at the crest, to the nearest integer
  EXPECT_EQ(sine[36], -3277);
  struct row { test_sound_id id; bool left; bool right; };
  for (const row& r : {row{test_sound_sine, true, true}, row{test_sound_sine_left, true, false},
                       row{test_sound_sine_right, false, true}}) {
    t.set_test_sound(r.id);
    auto f = captured();
    t.apply_test_sound(f);
    for (int i = 0; i < 96; ++i) {
      EXPECT_EQ(f[2 * i], r.left ? sine[i % 48] : 0) << r.id << " frame " << i;
      EXPECT_EQ(f[2 * i + 1], r.right ? sine[i % 48] : 0) << r.id << " frame " << i;
    }
  }
  t.set_test_sound(test_sound_none);
  auto f = captured();
  t.apply_test_sound(f);
  EXPECT_EQ(f, captured());
}

TEST_F(TestSound, WavWithoutAUsableFileLeavesTheFrameUnchanged) {
  struct row { const char* what; int rate; int channels; };
  for (const row& r : {row{"no file", 0, 0}, row{"mono file", 48000, 1}, row{"44.1 kHz file", 44100, 2}}) {
    std::filesystem::remove(root + "/opt/QM/userdata/test_sound.wav");
    if (r.rate) write_wav(root + "/opt/QM/userdata/test_sound.wav", std::vector<short>(200 * r.channels, 77), r.rate, r.channels);
    audio_in_thr_f t(48000, 96, 2, nullptr, nullptr, nullptr, nullptr, nullptr);
    t.set_test_sound(test_sound_wav);
    auto f = captured();
    t.apply_test_sound(f);
    EXPECT_EQ(f, captured()) << r.what;
  }
}

TEST_F(TestSound, WavReplacesTheFrameAndLoops) {
  std::vector<short> wav(100 * 2);
  for (size_t i = 0; i < wav.size(); ++i) wav[i] = static_cast<short>(i);
  write_wav(root + "/opt/QM/test_sound.wav", wav, 48000, 2);  // the fallback location
  audio_in_thr_f t(48000, 96, 2, nullptr, nullptr, nullptr, nullptr, nullptr);
  t.set_test_sound(test_sound_wav);
  auto f = captured();
  t.apply_test_sound(f);
  for (int i = 0; i < 96; ++i) ASSERT_EQ(f[2 * i], 2 * i);
  t.apply_test_sound(f);
  EXPECT_EQ(f[0], 192);
  EXPECT_EQ(f[8], 0) << "the file's 100 frames wrap to its start";
  // A reload while the WAV is in use keeps it in use.
  EXPECT_EQ(t.read_music_data(), 0);
  EXPECT_EQ(t.get_test_sound(), test_sound_wav);
}
