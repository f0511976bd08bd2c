// Signals and measurements shared by the media tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace orva::test {

// Interleaved stereo tone; left and right may differ in frequency.
inline std::vector<short> stereo_tone(int frames, double f_left, double f_right, double amplitude,
                                      int rate = 48000, int start = 0) {
  std::vector<short> v(static_cast<size_t>(frames) * 2);
  const double pi = std::acos(-1.0);
  for (int i = 0; i < frames; ++i) {
    v[2 * i] = static_cast<short>(std::lround(amplitude * std::sin(2 * pi * f_left * (i + start) / rate)));
    v[2 * i + 1] = static_cast<short>(std::lround(amplitude * std::sin(2 * pi * f_right * (i + start) / rate)));
  }
  return v;
}

// Ratio in dB of a tone of frequency f to everything else in one channel of `v` (interleaved,
// `channels` per frame), over frames [from, from + count). The tone's amplitude and phase are
// fitted, so the measure does not depend on the delay or the gain of the path.
inline double tone_snr_db(const std::vector<short>& v, int channels, int channel, double f, int rate,
                          size_t from, size_t count) {
  const double pi = std::acos(-1.0);
  double ss = 0, sc = 0, cc = 0, xs = 0, xc = 0, xx = 0;
  for (size_t i = from; i < from + count && (i * channels + channel) < v.size(); ++i) {
    const double x = v[i * channels + channel];
    const double s = std::sin(2 * pi * f * i / rate), c = std::cos(2 * pi * f * i / rate);
    ss += s * s; sc += s * c; cc += c * c; xs += x * s; xc += x * c; xx += x * x;
  }
  const double det = ss * cc - sc * sc;
  if (det <= 0) return -1e9;
  const double a = (xs * cc - xc * sc) / det, b = (xc * ss - xs * sc) / det;
  const double tone = a * xs + b * xc;  // energy explained by the fit
  const double noise = xx - tone;
  return 10 * std::log10(tone / (noise > 1e-9 ? noise : 1e-9));
}

// Median over blocks of `block` frames of tone_snr_db: a scheduling hiccup of the test machine
// (a late thread inserting a frame of silence) spoils the blocks it touches, not the verdict.
inline double median_block_snr_db(const std::vector<short>& v, int channels, int channel, double f, int rate,
                                  size_t from, size_t count, size_t block) {
  std::vector<double> snr;
  for (size_t b = from; b + block <= from + count; b += block) snr.push_back(tone_snr_db(v, channels, channel, f, rate, b, block));
  if (snr.empty()) return -1e9;
  std::sort(snr.begin(), snr.end());
  return snr[snr.size() / 2];
}

}  // namespace orva::test
