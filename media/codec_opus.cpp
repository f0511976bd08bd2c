#include "codec_opus.h"

#include <opus/opus.h>

#include <algorithm>
#include <stdexcept>

namespace orva {

codec_opus::codec_opus(int frame_samples)
    : codec(audio_codec_opus, 48000, frame_samples, "opus", 384, 2) {
  int err = OPUS_OK;
  m_encoder = opus_encoder_create(48000, 2, OPUS_APPLICATION_VOIP, &err);
  if (m_encoder == nullptr || err != OPUS_OK) {
    if (m_encoder) opus_encoder_destroy(m_encoder);
    throw std::runtime_error(opus_strerror(err));
  }
  opus_encoder_ctl(m_encoder, OPUS_SET_BITRATE(m_bit_rate * 1000));
  opus_encoder_ctl(m_encoder, OPUS_SET_VBR(0));
  m_decoder = opus_decoder_create(48000, 2, &err);
  if (m_decoder == nullptr || err != OPUS_OK) {
    if (m_decoder) opus_decoder_destroy(m_decoder);
    opus_encoder_destroy(m_encoder);
    throw std::runtime_error(opus_strerror(err));
  }
}

codec_opus::~codec_opus() {
  opus_encoder_destroy(m_encoder);
  opus_decoder_destroy(m_decoder);
}

int codec_opus::encode(unsigned char* out, int out_capacity, const short* in, int frames) {
  if (out == nullptr || in == nullptr || frames <= 0 || out_capacity <= 0) return -1;
  // At the constant bit rate a 20 ms frame is exactly 960 bytes.
  const int capacity = std::min({out_capacity, frames, codec_max_payload});
  return opus_encode(m_encoder, in, frames, out, capacity);
}

int codec_opus::decode(short* out, int out_frames, const unsigned char* in, int length) {
  if (out == nullptr || in == nullptr || length <= 0) return 0;
  const int frames = opus_decode(m_decoder, in, length, out, std::min(out_frames, 960), 0);
  return frames < 0 ? 0 : frames;
}

int codec_opus::get_PLC_data(short* out, int out_frames) {
  if (out == nullptr || out_frames < 960) return 0;
  const int frames = opus_decode(m_decoder, nullptr, 0, out, 960, 1);
  return frames < 0 ? 0 : frames;
}

}  // namespace orva
