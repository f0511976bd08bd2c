// Fuzz target of the ALS decoder: hostile headers, and valid streams of several feature sets
// with mutated and truncated frames. No crash, no hang, memory bounded by the allocator below.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "als_test_util.h"

namespace {

size_t g_in_use = 0;
constexpr size_t kBudget = 16u << 20;

void* BoundedAlloc(uint32_t, uint32_t, uint32_t size) {
  if (g_in_use + size + 16 > kBudget) return nullptr;
  auto* p = static_cast<size_t*>(std::malloc(size + 16));
  if (!p) return nullptr;
  p[0] = size;
  g_in_use += size;
  return p + 2;
}

void BoundedFree(void* q) {
  if (!q) return;
  auto* p = static_cast<size_t*>(q) - 2;
  g_in_use -= p[0];
  std::free(p);
}

struct Seed {
  alstest::Encoded stream;
};

const std::vector<Seed>& Seeds() {
  static std::vector<Seed> seeds = [] {
    std::vector<Seed> out;
    for (const auto& c0 : alstest::FeatureMatrix()) {
      alstest::Config c = c0;
      if (c.channels * c.frame_length > 16384 || c.threads) continue;
      c.frame_length = c.frame_length > 1024 ? 1024 : c.frame_length;
      auto pcm = alstest::MakePcm(c, c.frame_length * 2 + 100, 3);
      Seed s{alstest::Encode(c, pcm)};
      if (s.stream.result == 0) out.push_back(std::move(s));
    }
    return out;
  }();
  return seeds;
}

void DecodeAll(const uint8_t* header, size_t hsize, const std::vector<std::vector<uint8_t>>& frames) {
  NALSD_IMPL* dec = nullptr;
  if (NALSD_Init(&dec, BoundedAlloc, BoundedFree)) return;
  NALSD_STREAM_INFO info{};
  if (NALSD_OpenOnMemory(dec, header, static_cast<uint32_t>(hsize), nullptr, &info, sizeof info) == 0) {
    std::vector<uint8_t> pcm(static_cast<size_t>(info.channels) * info.frame_length * (info.resolution / 8) + 8);
    NALSD_LPC_INFO lpc{};
    bool have_lpc = NALSD_InitLpcInfo(dec, &lpc) == 0;
    for (const auto& f : frames) {
      uint32_t used = 0, samples = 0;
      std::vector<uint8_t> copy(f);  // exact size, so that reads past the end are caught
      NALSD_DecodeFrameOnMemoryInterleaved(dec, copy.data(), static_cast<uint32_t>(copy.size()), &used, pcm.data(),
                                           &samples, 0);
      if (have_lpc) NALSD_GetLpcInfo(dec, &lpc);
    }
    if (have_lpc) NALSD_DestroyLpcInfo(dec, &lpc);
    NALSD_Close(dec);
  }
  NALSD_Destroy(dec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const auto& seeds = Seeds();
  if ((data[0] & 1) || seeds.empty()) {
    // The input itself: a header, then frames of lengths given by a byte before each.
    NALSD_IMPL* probe = nullptr;
    if (NALSD_Init(&probe, BoundedAlloc, BoundedFree)) return 0;
    uint32_t consumed = 0;
    int32_t r = NALSD_OpenOnMemory(probe, data + 1, static_cast<uint32_t>(size - 1), &consumed, nullptr, 0);
    NALSD_Destroy(probe);
    if (r) return 0;
    std::vector<std::vector<uint8_t>> frames;
    size_t pos = 1 + consumed;
    while (pos < size && frames.size() < 16) {
      size_t len = static_cast<size_t>(data[pos++]) * 8 + 1;
      if (len > size - pos) len = size - pos;
      frames.emplace_back(data + pos, data + pos + len);
      pos += len;
    }
    DecodeAll(data + 1, consumed, frames);
    return 0;
  }
  // A valid stream with mutations: (frame, offset, xor) triples and a truncation.
  const Seed& s = seeds[data[1] % seeds.size()];
  std::vector<std::vector<uint8_t>> frames = s.stream.frames;
  std::vector<uint8_t> header = s.stream.header;
  size_t pos = 2;
  while (pos + 4 <= size) {
    uint8_t sel = data[pos], hi = data[pos + 1], lo = data[pos + 2], x = data[pos + 3];
    pos += 4;
    size_t off = (static_cast<size_t>(hi) << 8) | lo;
    if (sel == 0xFF) {
      if (!header.empty()) header[off % header.size()] ^= x;
    } else if (sel == 0xFE) {
      auto& f = frames[off % frames.size()];
      f.resize(f.size() * x / 256);
    } else {
      auto& f = frames[sel % frames.size()];
      if (!f.empty()) f[off % f.size()] ^= x;
    }
  }
  DecodeAll(header.data(), header.size(), frames);
  return 0;
}
