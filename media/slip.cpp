#include "slip.h"

#include <algorithm>
#include <cmath>

namespace orva {

slip::slip(int sampling_frequency, int frame_samples, int channels)
    : m_fs(sampling_frequency), m_frame_samples(frame_samples), m_channels(channels),
      m_length(std::max(1, sampling_frequency / 50)), m_step(1.0 / m_length) {}

void slip::initialize() {
  m_weight = 1.0;
  m_mode = none;
  m_active = false;
  m_prev_in[0] = m_prev_in[1] = m_prev_out[0] = m_prev_out[1] = 0;
}

bool slip::slip_mode(mode_e mode) {
  if (m_active) return false;
  m_mode = mode;
  return true;
}

short slip::fade(int c, short x) {
  const double y = m_prev_in[c] + m_weight * (x - m_prev_out[c]);
  const long v = std::clamp(std::lround(y), -32768L, 32767L);
  m_prev_in[c] = x;
  m_prev_out[c] = static_cast<short>(v);
  return static_cast<short>(v);
}

void slip::remember_last(const std::vector<short>& in, int frames) {
  if (frames <= 0) return;
  const size_t last = static_cast<size_t>(frames - 1) * m_channels;
  for (int c = 0; c < std::min(m_channels, 2); ++c) m_prev_in[c] = m_prev_out[c] = in[last + c];
}

int slip::apply(std::vector<short>& out, const std::vector<short>& in) {
  const int ch = m_channels;
  const int frames = static_cast<int>(in.size()) / ch;
  const size_t before = out.size();
  // The cross-fade works on the first two channels; further channels pass unchanged.
  auto copy_frame = [&](int t) { out.insert(out.end(), in.begin() + t * ch, in.begin() + (t + 1) * ch); };
  auto fade_frame = [&](int t) {
    for (int c = 0; c < ch; ++c) out.push_back(c < 2 ? fade(c, in[t * ch + c]) : in[t * ch + c]);
  };
  int t = 0;
  if (m_mode == insert) {
    if (!m_active) {
      m_active = true;
      m_weight = 1.0;
    }
    for (; t < frames; ++t) {
      fade_frame(t);
      m_weight -= m_step;
      if (m_weight < 0.0) {
        // The extra sample frame.
        for (int c = 0; c < ch; ++c) out.push_back(c < 2 ? m_prev_in[c] : in[t * ch + c]);
        for (int c = 0; c < std::min(ch, 2); ++c) m_prev_out[c] = m_prev_in[c];
        m_mode = none;
        m_active = false;
        ++t;
        break;
      }
    }
  } else if (m_mode == drop) {
    if (!m_active && frames > 0) {
      m_active = true;
      m_weight = 0.0;
      for (int c = 0; c < std::min(ch, 2); ++c) {
        m_prev_out[c] = m_prev_in[c];
        m_prev_in[c] = in[c];
      }
      t = 1;  // the first sample frame is not output directly
    }
    for (; t < frames; ++t) {
      fade_frame(t);
      m_weight += m_step;
      if (m_weight >= 1.0) {
        m_mode = none;
        m_active = false;
        ++t;
        break;
      }
    }
  }
  if (!m_active) {
    for (; t < frames; ++t) copy_frame(t);
    remember_last(in, frames);
  }
  return static_cast<int>((out.size() - before) / ch);
}

}  // namespace orva
