// Low-delay lossless codec (payload type 97), the default programme codec: 48 kHz stereo 16-bit
// frames coded by the low-delay ALS coder into a byte budget of 800 kbit/s, lossless while a
// frame fits; lost frames are concealed by LPC extrapolation of the decoded history.
#pragma once

#include "codec.h"

#include "NalsPlc.h"
#include "ldalsd.h"
#include "ldalse.h"

namespace orva {

class codec_LDALS : public codec {
 public:
  // Throws std::runtime_error when a part of the coder cannot be opened.
  explicit codec_LDALS(int frame_samples);
  ~codec_LDALS() override;

  // Forgets the concealment history, so that a new call never plays the previous one's audio.
  int reset() override;
  int encode(unsigned char* out, int out_capacity, const short* in, int frames) override;
  // A payload the decoder refuses is concealed like a lost packet.
  int decode(short* out, int out_frames, const unsigned char* in, int length) override;
  using codec::decode;
  int get_PLC_data(short* out, int out_frames) override;

  int target_size() const { return m_target_size; }

 private:
  static constexpr int channel_count = 2;
  static constexpr int max_order = 15;

  void open_concealment();
  int conceal(short* out, int out_frames);

  LDALSE_IMPL* m_encoder = nullptr;
  LDALSD_IMPL* m_decoder = nullptr;
  int m_target_size = 0;
  NALSD_LPC_INFO m_lpc_info{};
  NALSPLC_LPC m_plc_lpc[channel_count]{};
  int32_t m_plc_coef[channel_count][max_order]{};
  NALSPLC_STATE* m_plc = nullptr;
  std::vector<short> m_spare;  // one frame, for payloads or losses that do not fit the caller
};

}  // namespace orva
