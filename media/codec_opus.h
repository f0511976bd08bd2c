// Opus at 48 kHz stereo, 20 ms frames, constant bit rate (384 kbit/s: 960-byte packets).
#pragma once

#include "codec.h"

struct OpusEncoder;
struct OpusDecoder;

namespace orva {

class codec_opus : public codec {
 public:
  // Throws std::runtime_error with libopus's error text when a coder cannot be created.
  explicit codec_opus(int frame_samples);
  ~codec_opus() override;

  int encode(unsigned char* out, int out_capacity, const short* in, int frames) override;
  int decode(short* out, int out_frames, const unsigned char* in, int length) override;
  using codec::decode;
  int get_PLC_data(short* out, int out_frames) override;
  int timestamp_interval() const override { return 960; }
  int max_decoded_frames() const override { return 960; }

 private:
  OpusEncoder* m_encoder = nullptr;
  OpusDecoder* m_decoder = nullptr;
};

}  // namespace orva
