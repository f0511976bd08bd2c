// G.711 µ-law at 8 kHz mono, one byte per sample, 160-sample frames. No concealment.
#pragma once

#include <cstdint>

#include "codec.h"

namespace orva {

// G.711 µ-law companding of one 14-bit linear sample (a 16-bit sample shifted right by 2).
uint8_t ulaw_compress14(int sample14);
// G.711 µ-law expansion to a 16-bit linear sample.
int16_t ulaw_expand(uint8_t code);

class codec_u_law : public codec {
 public:
  explicit codec_u_law(int frame_samples);

  int encode(unsigned char* out, int out_capacity, const short* in, int frames) override;
  int decode(short* out, int out_frames, const unsigned char* in, int length) override;
  using codec::decode;
  int timestamp_interval() const override { return 160; }
  int max_decoded_frames() const override { return codec_max_payload; }

 protected:
  codec_u_law(int sampling_frequency, int frame_samples, int channels);
};

}  // namespace orva
