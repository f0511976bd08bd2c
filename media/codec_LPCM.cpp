#include "codec_LPCM.h"

#include <algorithm>

namespace orva {

codec_LPCM::codec_LPCM(int frame_samples)
    : codec(audio_codec_LPCM, 48000, frame_samples, "LPCM", 768, 2) {
  m_saved.reserve(static_cast<size_t>(max_decoded_frames()) * 2);
}

int codec_LPCM::reset() {
  m_level = 100;
  m_saved.clear();
  return 0;
}

int codec_LPCM::encode(unsigned char* out, int out_capacity, const short* in, int frames) {
  if (out == nullptr || in == nullptr || frames <= 0 || frames * 4 > out_capacity) return -1;
  for (int i = 0; i < frames * 2; ++i) {
    const auto v = static_cast<uint16_t>(in[i]);
    out[2 * i] = static_cast<unsigned char>(v & 0xff);
    out[2 * i + 1] = static_cast<unsigned char>(v >> 8);
  }
  return frames * 4;
}

int codec_LPCM::decode(short* out, int out_frames, const unsigned char* in, int length) {
  if (out == nullptr || in == nullptr || length < 4 || out_frames <= 0) return 0;
  const int frames = std::min(length / 4, out_frames);
  m_saved.resize(static_cast<size_t>(frames) * 2);
  for (int i = 0; i < frames * 2; ++i)
    m_saved[i] = static_cast<short>(static_cast<uint16_t>(in[2 * i] | (in[2 * i + 1] << 8)));
  if (m_level < 100) {
    for (int i = 0; i < frames * 2; ++i) out[i] = static_cast<short>(m_saved[i] * m_level / 100);
    ++m_level;
  } else {
    std::copy(m_saved.begin(), m_saved.end(), out);
  }
  return frames;
}

int codec_LPCM::get_PLC_data(short* out, int out_frames) {
  if (out == nullptr || m_saved.empty() || out_frames <= 0) return 0;
  // Exactly one codec frame: a longer saved payload would overrun the playback buffer.
  const int frames = std::min(m_frame_samples, out_frames);
  const int have = std::min<int>(frames * 2, static_cast<int>(m_saved.size()));
  for (int i = 0; i < have; ++i) out[i] = static_cast<short>(m_saved[i] * m_level / 100);
  std::fill(out + have, out + frames * 2, short{0});
  if (m_level > 0) --m_level;
  return frames;
}

}  // namespace orva
