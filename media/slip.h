// Clock-drift slip: lengthens or shortens the played audio by exactly one sample frame,
// cross-faded over 20 ms so that it cannot be heard. Used by the playback thread alone.
#pragma once

#include <vector>

namespace orva {

class slip {
 public:
  enum mode_e { drop = -1, none = 0, insert = 1 };

  slip(int sampling_frequency, int frame_samples, int channels);
  void initialize();

  // Refused (false) while a cross-fade runs; otherwise stores the mode.
  bool slip_mode(mode_e mode);
  mode_e mode() const { return m_mode; }
  bool active() const { return m_active; }

  // Appends to `out` the slipped version of one input frame of interleaved sample frames;
  // returns the sample frames appended.
  int apply(std::vector<short>& out, const std::vector<short>& in);

 private:
  short fade(int c, short x);
  void remember_last(const std::vector<short>& in, int frames);

  int m_fs, m_frame_samples, m_channels;
  int m_length;   // cross-fade length in sample frames
  double m_step;  // 1 / length
  mode_e m_mode = none;
  bool m_active = false;
  short m_prev_in[2] = {0, 0};
  short m_prev_out[2] = {0, 0};
  double m_weight = 1.0;
};

}  // namespace orva
