// Helpers of the ALS tests: test signals, stream configurations and whole-stream coding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nalsd.h"
#include "nalse.h"

namespace alstest {

void* Alloc(uint32_t space, uint32_t kind, uint32_t size);
void Free(void* p);

// A configuration of the encoder for one stream.
struct Config {
  std::string name;
  uint32_t channels = 2;
  uint32_t resolution = 16;
  uint32_t frequency = 48000;
  uint32_t frame_length = 2048;
  uint32_t block_switching = 0;
  uint32_t joint_stereo = 0;
  uint32_t mcc = 0;          // group size
  uint32_t mcc_mode = 1;     // 1 three taps, 2 six taps, 0 both
  uint32_t mcc_stages = 1;
  uint32_t ltp = 0;
  int32_t coeff_table = -1;  // -1: by rate
  uint32_t max_order = 15;
  uint32_t adaptive = 1;
  uint32_t random_access = 1;
  uint32_t ra_location = 0;
  uint32_t crc = 0;
  uint32_t msb_first = 0;
  uint32_t lsb_check = 1;
  uint32_t samples_known = 1;
  uint32_t lsb_forth_shift = 0;
  uint32_t lsb_roundup = 0;
  uint32_t threads = 0;
  std::vector<uint16_t> positions;  // channel sorting: coding channel k takes input positions[k]
};

// Interleaved PCM of the configured width (little-endian unless msb_first), a mix of tones,
// noise and silence with inter-channel correlation.
std::vector<uint8_t> MakePcm(const Config& c, uint32_t samples, uint32_t seed = 1);

struct Encoded {
  std::vector<uint8_t> header;               // ALSSpecificConfig
  std::vector<std::vector<uint8_t>> frames;  // coded frames
  int32_t result = 0;
};

// Encodes the PCM frame by frame (the last frame shorter); the header is written again at
// the end so that it carries the final CRC and unit sizes.
Encoded Encode(const Config& c, const std::vector<uint8_t>& pcm);

// Decodes with our decoder; result 0 and the PCM on success.
int32_t Decode(const Encoded& e, std::vector<uint8_t>* pcm, uint32_t* crc_reported = nullptr);

std::vector<Config> FeatureMatrix();

}  // namespace alstest
