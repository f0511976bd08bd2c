#include "codec_u_law.h"

#include <algorithm>

namespace orva {

namespace {
// Segment end points of the 14-bit magnitude after the bias is added.
constexpr int seg_end[8] = {0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF};
constexpr int bias14 = 33;    // 0x84 >> 2
constexpr int clip14 = 8159;  // largest magnitude before the bias
}  // namespace

uint8_t ulaw_compress14(int v) {
  int mask = 0xFF;
  if (v < 0) {
    v = -v;
    mask = 0x7F;
  }
  if (v > clip14) v = clip14;
  v += bias14;
  int seg = 0;
  while (seg < 8 && v > seg_end[seg]) ++seg;
  if (seg >= 8) return static_cast<uint8_t>(0x7F ^ mask);
  const int u = (seg << 4) | ((v >> (seg + 1)) & 0xF);
  return static_cast<uint8_t>(u ^ mask);
}

int16_t ulaw_expand(uint8_t code) {
  const int u = ~code & 0xFF;
  int t = ((u & 0x0F) << 3) + 0x84;
  t <<= (u & 0x70) >> 4;
  return static_cast<int16_t>((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

codec_u_law::codec_u_law(int frame_samples) : codec_u_law(8000, frame_samples, 1) {}

codec_u_law::codec_u_law(int sampling_frequency, int frame_samples, int channels)
    : codec(audio_codec_PCMU, sampling_frequency, frame_samples, "PCMU", 0, channels) {}

int codec_u_law::encode(unsigned char* out, int out_capacity, const short* in, int frames) {
  if (out == nullptr || in == nullptr || frames <= 0 || frames > out_capacity) return -1;
  for (int i = 0; i < frames; ++i) out[i] = ulaw_compress14(in[i] >> 2);
  return frames;
}

int codec_u_law::decode(short* out, int out_frames, const unsigned char* in, int length) {
  if (out == nullptr || in == nullptr || length <= 0) return 0;
  const int n = std::min(length, out_frames);
  for (int i = 0; i < n; ++i) out[i] = ulaw_expand(in[i]);
  return std::max(n, 0);
}

}  // namespace orva
