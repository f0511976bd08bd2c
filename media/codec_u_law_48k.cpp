#include "codec_u_law_48k.h"

#include <algorithm>

namespace orva {

codec_u_law_48k::codec_u_law_48k(int frame_samples) : codec_u_law(48000, frame_samples, 2) {
  m_enc8k.resize(static_cast<size_t>(frame_samples) / 6 + 1);
  m_dec8k.resize(static_cast<size_t>(frame_samples) / 6 + 1);
}

int codec_u_law_48k::reset() {
  m_up.reset();
  m_down.reset();
  return 0;
}

int codec_u_law_48k::encode(unsigned char* out, int out_capacity, const short* in, int frames) {
  if (out == nullptr || in == nullptr || frames <= 0 || frames / 6 > out_capacity) return -1;
  if (static_cast<int>(m_enc8k.size()) < frames / 6) m_enc8k.resize(frames / 6);
  const int n = m_down.convert(m_enc8k.data(), in, frames);
  for (int i = 0; i < n; ++i) out[i] = ulaw_compress14(m_enc8k[i] >> 2);
  return n;
}

int codec_u_law_48k::decode(short* out, int out_frames, const unsigned char* in, int length) {
  if (out == nullptr || in == nullptr || length <= 0) return 0;
  const int n = std::min(length, out_frames / 6);
  if (n <= 0) return 0;
  if (static_cast<int>(m_dec8k.size()) < n) m_dec8k.resize(n);
  for (int i = 0; i < n; ++i) m_dec8k[i] = ulaw_expand(in[i]);
  return m_up.convert(out, m_dec8k.data(), n);
}

}  // namespace orva
