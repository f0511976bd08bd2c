// Engines on the simulated board's sound cards (the project's ALSA card plugin), two units in
// one process: each unit's cards get their own root and their own rate offset.
#pragma once

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "engine_fixture.h"
#include "peer_process.h"

namespace orva::test {

struct sim_card_spec {
  std::string pcm;   // PCM name the engine opens
  std::string card;  // card name (file names under the root)
  std::string root;
  double ppm = 0;
};

// Writes an ALSA configuration with the card plugin and one PCM per spec and points ALSA at it.
inline void use_sim_cards(const std::string& dir, const std::vector<sim_card_spec>& cards) {
  std::ifstream base(ORVA_BINARY_DIR "/sim/asound.conf");
  std::stringstream text;
  text << base.rdbuf();
  std::smatch m;
  const std::string s = text.str();
  std::string lib;
  if (std::regex_search(s, m, std::regex("lib \"([^\"]+)\""))) lib = m[1];
  const std::string path = dir + "/asound.conf";
  std::ofstream out(path);
  out << "pcm_type.orva {\n\tlib \"" << lib << "\"\n}\n";
  for (const sim_card_spec& c : cards) {
    std::filesystem::create_directories(c.root + "/sim/audio");
    out << "pcm." << c.pcm << " {\n\ttype orva\n\tcard \"" << c.card << "\"\n\troot \"" << c.root << "\"\n\tppm "
        << c.ppm << "\n\tmax_seconds 60\n}\n";
  }
  out.close();
  setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
  snd_config_update_free_global();
}

// A 16-bit WAV of interleaved frames.
inline void write_wav(const std::string& path, const std::vector<short>& samples, int rate, int channels) {
  std::ofstream f(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { f.put(char(v)).put(char(v >> 8)).put(char(v >> 16)).put(char(v >> 24)); };
  auto u16 = [&](unsigned v) { f.put(char(v)).put(char(v >> 8)); };
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  f << "RIFF";
  u32(36 + bytes);
  f << "WAVEfmt ";
  u32(16);
  u16(1);
  u16(static_cast<unsigned>(channels));
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * channels * 2));
  u16(static_cast<unsigned>(channels * 2));
  u16(16);
  f << "data";
  u32(bytes);
  for (short v : samples) u16(static_cast<uint16_t>(v));
}

// One simulated unit's main engine on its own cards.
struct sim_unit {
  sim_unit(const std::string& name)
      : engine(&listener, true, (name + "_in").c_str(), (name + "_out").c_str(), {}) {}
  codec_manager codecs{128};
  recording_listener listener;
  audio_manager engine;
};

}  // namespace orva::test
