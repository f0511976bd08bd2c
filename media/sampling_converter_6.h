// 1:6 sample-rate converters between 48 kHz stereo and 8 kHz mono, for µ-law at 48 kHz.
// Both share one linear-phase low-pass FIR (cut-off 4 kHz at 48 kHz).
#pragma once

#include <vector>

namespace orva {

class sampling_converter_6 {
 public:
  static constexpr int m_filter_size = 256;
  // 255 symmetric taps (entry k equals entry 254 - k) and a trailing 0; DC gain 1.
  static const float* filter();

  virtual ~sampling_converter_6() = default;
  virtual void reset() = 0;

 protected:
  std::vector<short> m_history;
};

// 48 kHz interleaved stereo to 8 kHz mono.
class down_converter_6 : public sampling_converter_6 {
 public:
  down_converter_6();
  void reset() override;
  // Converts `frames` stereo frames into frames / 6 samples; returns frames / 6. Writes silence
  // while the history fills at start-up.
  int convert(short* out, const short* in, int frames);
};

// 8 kHz mono to 48 kHz interleaved stereo (both channels equal).
class up_converter_6 : public sampling_converter_6 {
 public:
  up_converter_6();
  void reset() override;
  // Converts `count` samples into 6 × count stereo frames; returns 6 × count.
  int convert(short* out, const short* in, int count);
};

}  // namespace orva
