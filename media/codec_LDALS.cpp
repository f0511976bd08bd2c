#include "codec_LDALS.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "log.h"

namespace orva {

namespace {

constexpr int kMaxAttempts = 4;
constexpr int kBitRate = 800;  // kbit/s
constexpr int kRate = 48000;

}  // namespace

codec_LDALS::codec_LDALS(int frame_samples)
    : codec(audio_codec_LDALS, kRate, frame_samples, "LDALS", kBitRate, channel_count) {
  const LDALSE_ALS_PARAMS params = {frame_samples, kMaxAttempts};
  if (LDALSE_Open(&m_encoder, kRate, channel_count, 16, &params) != 0)
    throw std::runtime_error("LDALSE_Open failed.");
  // The header never travels: both ends build it from the same parameters.
  if (LDALSD_Open(&m_decoder, LDALSE_GetHeader(m_encoder), LDALSE_GetHeaderSize(m_encoder)) != 0) {
    LDALSE_Close(m_encoder);
    throw std::runtime_error("LDALSD_Open failed.");
  }
  m_target_size = int(kBitRate * 125 / (double(kRate) / frame_samples) + 0.9);
  if (NALSD_InitLpcInfo(LDALSD_GetDecoder(m_decoder), &m_lpc_info) != 0) {
    LDALSD_Close(m_decoder);
    LDALSE_Close(m_encoder);
    throw std::runtime_error("NALSD_InitLpcInfo failed.");
  }
  for (int ch = 0; ch < channel_count; ++ch)
    m_plc_lpc[ch].coef = m_plc_coef[ch];
  try {
    open_concealment();
  } catch (...) {
    NALSD_DestroyLpcInfo(LDALSD_GetDecoder(m_decoder), &m_lpc_info);
    LDALSD_Close(m_decoder);
    LDALSE_Close(m_encoder);
    throw;
  }
  m_spare.resize(size_t(frame_samples) * channel_count);
}

codec_LDALS::~codec_LDALS() {
  NalsPlc_Close(m_plc);
  LDALSE_Close(m_encoder);
  // The LPC record was allocated by the decoder: give it back before the decoder goes.
  NALSD_DestroyLpcInfo(LDALSD_GetDecoder(m_decoder), &m_lpc_info);
  LDALSD_Close(m_decoder);
}

void codec_LDALS::open_concealment() {
  NALSPLC_STATE* plc = nullptr;
  const int32_t r = NalsPlc_Open(&plc, channel_count, 16, 0, m_frame_samples, max_order,
                                 NALSPLC_MODE_CONCEAL_ALWAYS);
  if (r != 0)
    throw std::runtime_error("NalsPlc_Open failed.");
  NalsPlc_Close(m_plc);
  m_plc = plc;
}

int codec_LDALS::reset() {
  try {
    open_concealment();
  } catch (const std::exception&) {
    // Keep the old state rather than none: it only costs one call's history.
    log_s.warn("codec_LDALS::reset: NalsPlc_Open failed.");
  }
  return 0;
}

int codec_LDALS::encode(unsigned char* out, int out_capacity, const short* in, int frames) {
  if (!out || !in || frames != m_frame_samples)
    return -1;
  const int32_t r = LDALSE_EncodeWithTarget(m_encoder, in, m_target_size, nullptr);
  if (r != 0) {
    log_s.warn("LDALSE_EncodeWithTarget returns %d.", r);
    return -1;
  }
  const int size = LDALSE_GetFrameSize(m_encoder);
  if (size <= 0 || size > out_capacity) {
    log_s.warn("codec_LDALS::encode: frame of %d bytes does not fit %d.", size, out_capacity);
    return -1;
  }
  std::memcpy(out, LDALSE_GetFrame(m_encoder), size_t(size));
  return size;
}

int codec_LDALS::decode(short* out, int out_frames, const unsigned char* in, int length) {
  if (!out || out_frames <= 0)
    return 0;
  if (!in || length <= 0 || LDALSD_Decode(m_decoder, in, length, nullptr) != 0)
    return conceal(out, out_frames);

  const int size = LDALSD_GetDataSize(m_decoder);
  const int frames = size / (channel_count * int(sizeof(short)));
  if (frames != m_frame_samples)
    return conceal(out, out_frames);

  // The concealment works on whole frames: decode into the spare buffer when the caller's is
  // shorter, and hand out what fits.
  short* frame = out_frames >= frames ? out : m_spare.data();
  std::memcpy(frame, LDALSD_GetData(m_decoder), size_t(frames) * channel_count * sizeof(short));
  if (NALSD_GetLpcInfo(LDALSD_GetDecoder(m_decoder), &m_lpc_info) == 0) {
    for (int ch = 0; ch < channel_count; ++ch) {
      const NALSD_LPC_CHANNEL& src = m_lpc_info.channel[ch];
      const int order = int(std::min<uint32_t>(src.order, max_order));
      m_plc_lpc[ch].order = order;
      std::memcpy(m_plc_coef[ch], src.coefficients, sizeof(int32_t) * size_t(order));
    }
    const int32_t r = NalsPlc_ProcessFrame(m_plc, frame, m_plc_lpc);
    if (r != 0)
      log_s.warn("NalsPlc_ProcessFrame returns %d.", r);
  }
  if (frame != out)
    std::memcpy(out, frame, size_t(out_frames) * channel_count * sizeof(short));
  return std::min(frames, out_frames);
}

int codec_LDALS::get_PLC_data(short* out, int out_frames) {
  if (!out || out_frames <= 0)
    return 0;
  return conceal(out, out_frames);
}

int codec_LDALS::conceal(short* out, int out_frames) {
  short* frame = out_frames >= m_frame_samples ? out : m_spare.data();
  NalsPlc_ProcessFrame(m_plc, frame, nullptr);
  if (frame != out)
    std::memcpy(out, frame, size_t(out_frames) * channel_count * sizeof(short));
  return std::min(m_frame_samples, out_frames);
}

}  // namespace orva
