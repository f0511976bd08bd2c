// The audio corpus of the ALS benchmarks (made with sox and espeak-ng on first use) and the
// libFLAC encoder they are measured against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace alsbench {

struct Pcm {
  std::string name;
  uint32_t rate = 0, channels = 0, bits = 0;
  std::vector<uint8_t> bytes;  // interleaved little-endian
  uint32_t frames() const { return static_cast<uint32_t>(bytes.size() / (channels * (bits / 8))); }
};

bool ReadWav(const std::string& path, Pcm* pcm);

// Loads (making what is missing) music-like, speech, noise and tone signals from `dir`.
std::vector<Pcm> LoadCorpus(const std::string& dir);

// The default corpus folder: $TMPDIR/orva_als_corpus.
std::string DefaultCorpusDir();

// Encodes with libFLAC at `level`; a non-zero `blocksize` fixes the block size. `frame_sizes`
// (may be null) receives the size of every coded frame.
bool FlacEncode(const Pcm& pcm, uint32_t level, std::vector<uint8_t>* out, uint32_t blocksize = 0,
                std::vector<uint32_t>* frame_sizes = nullptr);

}  // namespace alsbench
