#include "codec_g722x6.h"

#include <algorithm>
#include <stdexcept>

#include "pcmswb.h"

namespace orva {

namespace {

constexpr int coder_mode = 2;  // 64 kbit/s: 80 samples in, 40 bytes out
constexpr int half_block = 40;

}  // namespace

codec_g722x6::codec_g722x6(int frame_samples)
    : codec(audio_codec_SBADPCM, 48000, frame_samples, "SBADPCM", 384, 2) {
  for (auto& e : m_enc) e = pcmswbEncode_const(16000, coder_mode);
  for (auto& d : m_dec) d = pcmswbDecode_const(coder_mode);
  const bool enc_ok = m_enc[0] && m_enc[1];
  const bool dec_ok = m_dec[0] && m_dec[1];
  if (!enc_ok || !dec_ok) {
    for (auto* e : m_enc) pcmswbEncode_dest(e);
    for (auto* d : m_dec) pcmswbDecode_dest(d);
    throw std::runtime_error(enc_ok ? "can't create G.722 decoder" : "can't create G.722 encoder");
  }
}

codec_g722x6::~codec_g722x6() {
  for (auto* e : m_enc) pcmswbEncode_dest(e);
  for (auto* d : m_dec) pcmswbDecode_dest(d);
}

int codec_g722x6::reset() {
  for (auto* e : m_enc) pcmswbEncode_reset(e);
  for (auto* d : m_dec) pcmswbDecode_reset(d);
  return 0;
}

int codec_g722x6::encode(unsigned char* out, int out_capacity, const short* in, int frames) {
  if (out == nullptr || in == nullptr || frames < block_frames) return -1;
  const int blocks = frames / block_frames;
  if (blocks * block_bytes > out_capacity) return -1;
  for (int b = 0; b < blocks; ++b) {
    const short* src = in + 2 * block_frames * b;
    short ch[2][block_frames];
    for (int i = 0; i < block_frames; ++i) {
      ch[0][i] = src[2 * i];
      ch[1][i] = src[2 * i + 1];
    }
    unsigned char coded[2][half_block];
    pcmswbEncode(ch[0], coded[0], m_enc[0]);
    pcmswbEncode(ch[1], coded[1], m_enc[1]);
    unsigned char* dst = out + block_bytes * b;
    for (int k = 0; k < half_block; ++k) {
      dst[2 * k] = coded[0][k];
      dst[2 * k + 1] = coded[1][k];
    }
  }
  return blocks * block_bytes;
}

int codec_g722x6::decode(short* out, int out_frames, const unsigned char* in, int length) {
  if (out == nullptr || in == nullptr || length < block_bytes || out_frames < block_frames) return 0;
  // Only whole blocks, and never more than the caller has room for.
  const int blocks = std::min(length / block_bytes, out_frames / block_frames);
  for (int b = 0; b < blocks; ++b) {
    const unsigned char* src = in + block_bytes * b;
    unsigned char coded[2][half_block];
    for (int k = 0; k < half_block; ++k) {
      coded[0][k] = src[2 * k];
      coded[1][k] = src[2 * k + 1];
    }
    short ch[2][block_frames];
    pcmswbDecode(coded[0], ch[0], m_dec[0], 0);
    pcmswbDecode(coded[1], ch[1], m_dec[1], 0);
    short* dst = out + 2 * block_frames * b;
    for (int i = 0; i < block_frames; ++i) {
      dst[2 * i] = ch[0][i];
      dst[2 * i + 1] = ch[1][i];
    }
  }
  return blocks * block_frames;
}

int codec_g722x6::get_PLC_data(short* out, int out_frames) {
  if (out == nullptr) return 0;
  const int blocks = std::min(m_frame_samples, out_frames) / block_frames;
  for (int b = 0; b < blocks; ++b) {
    short ch[2][block_frames];
    pcmswbDecode(nullptr, ch[0], m_dec[0], 1);
    pcmswbDecode(nullptr, ch[1], m_dec[1], 1);
    short* dst = out + 2 * block_frames * b;
    for (int i = 0; i < block_frames; ++i) {
      dst[2 * i] = ch[0][i];
      dst[2 * i + 1] = ch[1][i];
    }
  }
  return blocks * block_frames;
}

}  // namespace orva
