#include "sampling_converter_6.h"

#include <array>
#include <cmath>

namespace orva {

namespace {

constexpr int taps = 255;
constexpr int centre = 127;

double bessel_i0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 60; ++k) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

// Kaiser-windowed sinc: cut-off 4 kHz at 48 kHz (half amplitude there, peak tap 1/6), window
// designed for about 95 dB of stop-band attenuation, which over 255 taps leaves a transition
// band of roughly ±0.6 kHz: flat to 3.4 kHz, deep in the stop band from 5 kHz.
std::array<float, sampling_converter_6::m_filter_size> design() {
  std::array<float, sampling_converter_6::m_filter_size> h{};
  const double fc = 4000.0 / 48000.0;
  const double attenuation = 95.0;
  const double beta = 0.1102 * (attenuation - 8.7);
  const double pi = std::acos(-1.0);
  double dc = 0.0;
  std::array<double, taps> d{};
  for (int k = 0; k < taps; ++k) {
    const int n = k - centre;
    const double sinc = n == 0 ? 2.0 * fc : std::sin(2.0 * pi * fc * n) / (pi * n);
    const double r = static_cast<double>(n) / centre;
    const double w = bessel_i0(beta * std::sqrt(1.0 - r * r)) / bessel_i0(beta);
    d[k] = sinc * w;
    dc += d[k];
  }
  for (int k = 0; k < taps; ++k) h[k] = static_cast<float>(d[k] / dc);
  // Force exact symmetry after rounding to single precision.
  for (int k = 0; k < centre; ++k) h[taps - 1 - k] = h[k];
  h[taps] = 0.0f;
  return h;
}

short saturate(float y) {
  const long v = static_cast<long>(y);  // truncates toward zero
  if (v > 32767) return 32767;
  if (v < -32768) return -32768;
  return static_cast<short>(v);
}

}  // namespace

const float* sampling_converter_6::filter() {
  static const std::array<float, m_filter_size> table = design();
  return table.data();
}

down_converter_6::down_converter_6() { reset(); }

void down_converter_6::reset() { m_history.clear(); }

int down_converter_6::convert(short* out, const short* in, int frames) {
  if (frames <= 0) return 0;
  for (int i = 0; i < frames; ++i) m_history.push_back(static_cast<short>((in[2 * i] + in[2 * i + 1]) / 2));
  const int outn = frames / 6;
  if (static_cast<int>(m_history.size()) <= frames + m_filter_size) {
    for (int k = 0; k < outn; ++k) out[k] = 0;
    return outn;
  }
  const float* f = filter();
  for (int k = 0; k < outn; ++k) {
    const short* x = m_history.data() + 6 * k;
    float y = 0.0f;
    for (int j = 0; j < m_filter_size; ++j) y += x[j] * f[m_filter_size - 1 - j];
    out[k] = saturate(y);
  }
  m_history.erase(m_history.begin(), m_history.begin() + frames);
  return outn;
}

up_converter_6::up_converter_6() { reset(); }

void up_converter_6::reset() { m_history.assign(m_filter_size / 6 + 1, 0); }

int up_converter_6::convert(short* out, const short* in, int count) {
  if (count <= 0) return 0;
  m_history.insert(m_history.end(), in, in + count);
  const float* f = filter();
  constexpr int phases_taps = 42;
  for (int i = 0; i < count; ++i) {
    const short* x = m_history.data() + i;
    for (int p = 0; p < 6; ++p) {
      float y = 0.0f;
      for (int m = 0; m < phases_taps; ++m) y += x[m] * f[250 + p - 6 * m];
      const short s = saturate(6.0f * y);
      out[2 * (6 * i + p)] = s;
      out[2 * (6 * i + p) + 1] = s;
    }
  }
  m_history.erase(m_history.begin(), m_history.begin() + count);
  return 6 * count;
}

}  // namespace orva
