#include "bench_corpus.h"

#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace alsbench {

namespace {

const char* const kCorpus[][2] = {
    {"music", "sox -n -r 48000 -b 16 -c 2 %s synth 8 pluck %%-21 pluck %%-14 pluck %%-9 pluck %%-2 pluck %%3 "
              "remix 1,3,5 2,4 tremolo 5 30 reverb 40 gain -n -3"},
    {"music24", "sox -n -r 48000 -b 24 -c 2 %s synth 8 pluck %%-21 pluck %%-14 pluck %%-9 pluck %%3 "
                "remix 1,3 2,4 reverb 30 gain -n -3"},
    {"speech", "espeak-ng -w %s.raw.wav 'Broadcast engineers trust this unit on air. It must not drop audio, "
               "lose settings, hang, or crash on a bad packet. The quick brown fox jumps over the lazy dog.' && "
               "sox %s.raw.wav -r 48000 -c 2 -b 16 %s remix 1 1v0.7"},
    {"noise", "sox -n -r 48000 -b 16 -c 2 %s synth 6 pinknoise gain -8"},
    {"tones", "sox -n -r 48000 -b 16 -c 2 %s synth 6 sine 440 sine 997 gain -6"},
};

struct FlacSink {
  std::vector<uint8_t>* out;
  std::vector<uint32_t>* frame_sizes;
};

FLAC__StreamEncoderWriteStatus FlacWrite(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                         uint32_t samples, uint32_t, void* data) {
  auto* sink = static_cast<FlacSink*>(data);
  sink->out->insert(sink->out->end(), buffer, buffer + bytes);
  // libFLAC hands over each audio frame in one call; metadata comes with no samples.
  if (samples && sink->frame_sizes) sink->frame_sizes->push_back(static_cast<uint32_t>(bytes));
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

}  // namespace

bool ReadWav(const std::string& path, Pcm* pcm) {
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) || std::memcmp(d.data() + 8, "WAVE", 4)) return false;
  size_t pos = 12;
  auto le16 = [&](size_t p) { return static_cast<uint32_t>(d[p] | (d[p + 1] << 8)); };
  auto le32 = [&](size_t p) { return le16(p) | (le16(p + 2) << 16); };
  while (pos + 8 <= d.size()) {
    uint32_t size = le32(pos + 4);
    if (!std::memcmp(d.data() + pos, "fmt ", 4)) {
      pcm->channels = le16(pos + 10);
      pcm->rate = le32(pos + 12);
      pcm->bits = le16(pos + 22);
    } else if (!std::memcmp(d.data() + pos, "data", 4)) {
      size_t n = std::min<size_t>(size, d.size() - pos - 8);
      pcm->bytes.assign(d.begin() + static_cast<long>(pos) + 8, d.begin() + static_cast<long>(pos + 8 + n));
      return pcm->channels && pcm->bits;
    }
    pos += 8 + size + (size & 1);
  }
  return false;
}

std::vector<Pcm> LoadCorpus(const std::string& dir) {
  std::vector<Pcm> out;
  std::system(("mkdir -p '" + dir + "'").c_str());
  for (const auto& entry : kCorpus) {
    std::string path = dir + "/" + entry[0] + ".wav";
    Pcm pcm;
    if (!ReadWav(path, &pcm)) {
      char cmd[1024];
      std::snprintf(cmd, sizeof cmd, entry[1], path.c_str(), path.c_str(), path.c_str());
      if (std::system((std::string(cmd) + " 2>/dev/null").c_str()) != 0 || !ReadWav(path, &pcm)) {
        std::fprintf(stderr, "cannot make %s\n", path.c_str());
        continue;
      }
    }
    pcm.name = entry[0];
    out.push_back(std::move(pcm));
  }
  return out;
}

std::string DefaultCorpusDir() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp ? tmp : "/tmp") + "/orva_als_corpus";
}

bool FlacEncode(const Pcm& pcm, uint32_t level, std::vector<uint8_t>* out, uint32_t blocksize,
                std::vector<uint32_t>* frame_sizes) {
  out->clear();
  if (frame_sizes) frame_sizes->clear();
  FlacSink sink{out, frame_sizes};
  FLAC__StreamEncoder* e = FLAC__stream_encoder_new();
  FLAC__stream_encoder_set_channels(e, pcm.channels);
  FLAC__stream_encoder_set_bits_per_sample(e, pcm.bits);
  FLAC__stream_encoder_set_sample_rate(e, pcm.rate);
  FLAC__stream_encoder_set_compression_level(e, level);
  FLAC__stream_encoder_set_total_samples_estimate(e, pcm.frames());
  if (blocksize) FLAC__stream_encoder_set_blocksize(e, blocksize);
  bool ok = FLAC__stream_encoder_init_stream(e, FlacWrite, nullptr, nullptr, nullptr, &sink) ==
            FLAC__STREAM_ENCODER_INIT_STATUS_OK;
  const uint32_t bps = pcm.bits / 8;
  std::vector<FLAC__int32> chunk;
  const uint32_t per = 4096;
  for (uint32_t done = 0; ok && done < pcm.frames(); done += per) {
    uint32_t n = std::min(per, pcm.frames() - done);
    chunk.resize(static_cast<size_t>(n) * pcm.channels);
    const uint8_t* p = pcm.bytes.data() + static_cast<size_t>(done) * pcm.channels * bps;
    for (auto& v : chunk) {
      uint32_t u = 0;
      for (uint32_t b = bps; b-- > 0;) u = (u << 8) | p[b];
      p += bps;
      uint32_t sh = 32 - pcm.bits;
      v = static_cast<int32_t>(u << sh) >> sh;
    }
    ok = FLAC__stream_encoder_process_interleaved(e, chunk.data(), n);
  }
  ok = FLAC__stream_encoder_finish(e) && ok;
  FLAC__stream_encoder_delete(e);
  return ok;
}

}  // namespace alsbench
