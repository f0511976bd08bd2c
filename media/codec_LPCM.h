// Linear PCM: interleaved 16-bit stereo samples, little-endian on the wire, 4 bytes per frame.
// Concealment repeats the last payload, fading by 1 % per lost packet and climbing back by 1 %
// per good packet.
#pragma once

#include "codec.h"

namespace orva {

class codec_LPCM : public codec {
 public:
  explicit codec_LPCM(int frame_samples);

  int reset() override;
  int encode(unsigned char* out, int out_capacity, const short* in, int frames) override;
  int decode(short* out, int out_frames, const unsigned char* in, int length) override;
  using codec::decode;
  int get_PLC_data(short* out, int out_frames) override;
  int max_decoded_frames() const override { return codec_max_payload / 4; }

  int level() const { return m_level; }

 private:
  std::vector<short> m_saved;  // last good payload, the concealment source
  int m_level = 100;           // percent
};

}  // namespace orva
