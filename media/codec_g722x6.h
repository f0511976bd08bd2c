// "SBADPCM": the G.722-based coder at 64 kbit/s (mode 2) run on 48 kHz stereo. Each channel has
// its own encoder and decoder; the 48 kHz samples are coded as the coder's 16 kHz frames, so a
// 160-frame packet is two 80-sample blocks per channel and 160 bytes (192 kbit/s a channel).
// On the wire each 80-byte block interleaves the channels byte by byte: left 0, right 0,
// left 1, right 1, ...
#pragma once

#include "codec.h"

struct pcmswbEncoderState;
struct pcmswbDecoderState;

namespace orva {

class codec_g722x6 : public codec {
 public:
  // Throws std::runtime_error "can't create G.722 encoder" or "can't create G.722 decoder"
  // when memory runs out, after freeing what it made.
  explicit codec_g722x6(int frame_samples);
  ~codec_g722x6() override;

  // Both encoders and both decoders start afresh, concealment history included.
  int reset() override;
  // Codes whole 80-frame blocks; returns the bytes written (80 per block), -1 when they do not
  // fit or nothing was given.
  int encode(unsigned char* out, int out_capacity, const short* in, int frames) override;
  // Decodes whole 80-byte blocks, never more than out_frames; returns the frames written.
  int decode(short* out, int out_frames, const unsigned char* in, int length) override;
  using codec::decode;
  // Conceals one frame length (at most out_frames) on both channels; returns the frames written.
  int get_PLC_data(short* out, int out_frames) override;

 private:
  static constexpr int block_frames = 80;
  static constexpr int block_bytes = 80;

  pcmswbEncoderState* m_enc[2] = {nullptr, nullptr};  // left, right: send thread
  pcmswbDecoderState* m_dec[2] = {nullptr, nullptr};  // left, right: playback thread
};

}  // namespace orva
