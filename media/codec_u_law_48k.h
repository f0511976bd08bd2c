// µ-law for the main engine: 48 kHz stereo frames of 960 converted to and from the 8 kHz mono
// µ-law stream of the wire, so that it interworks with an 8 kHz peer.
#pragma once

#include "codec_u_law.h"
#include "sampling_converter_6.h"

namespace orva {

class codec_u_law_48k : public codec_u_law {
 public:
  explicit codec_u_law_48k(int frame_samples);

  int reset() override;
  int encode(unsigned char* out, int out_capacity, const short* in, int frames) override;
  int decode(short* out, int out_frames, const unsigned char* in, int length) override;
  using codec::decode;
  int timestamp_interval() const override { return m_frame_samples / 6; }
  int max_decoded_frames() const override { return 6 * codec_max_payload; }

 private:
  up_converter_6 m_up;
  down_converter_6 m_down;
  std::vector<short> m_enc8k;
  std::vector<short> m_dec8k;
};

}  // namespace orva
