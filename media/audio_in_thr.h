// Capture threads: read one frame per period from the capture device, apply the input gains
// and queue the frame for the sender (and, on the main engine, for the local monitor).
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "audio_dev.h"
#include "line_queue.h"
#include "media_ports.h"
#include "stream_statistics.h"
#include "thread_function.h"

namespace orva {

enum test_sound_id { test_sound_none = 0, test_sound_sine = 1, test_sound_sine_left = 2, test_sound_sine_right = 3,
                     test_sound_wav = 4 };
enum audio_src_e { audio_src_digital = 0, audio_src_analog = 1 };

// Multiplies consecutive sample pairs by base × left and base × right, rounding to the nearest
// integer and saturating.
void apply_gains(std::vector<short>& frame, float base, float left, float right);

class a_in_thr_base_f : public thread_function {
 public:
  a_in_thr_base_f(int fs, int frame_samples, int channels, audio_in_dev* device, line_queue* send_queue);

  bool pre_proc() override;
  void main_loop() override;

  int sampling_frequency() const { return m_fs; }
  int frame_size() const { return m_frame_samples; }
  void set_base_gain(float g) { m_base_gain = g; }
  void set_gain(float left, float right) {
    m_left_gain = left;
    m_right_gain = right;
  }

 protected:
  // 0 when the frame is to be processed.
  virtual int capture(std::vector<short>& frame);
  virtual void after_capture(std::vector<short>& frame);

  audio_in_dev* m_device;
  int m_fs, m_frame_samples, m_channels;
  line_queue* m_send_queue;
  std::atomic<float> m_base_gain{1.0f}, m_left_gain{1.0f}, m_right_gain{1.0f};
  std::vector<short> m_frame;
};

class audio_in_thr_f : public a_in_thr_base_f {
 public:
  audio_in_thr_f(int fs, int frame_samples, int channels, audio_in_dev** devices, line_queue* send_queue,
                 line_queue* monitor_queue, level_meter_sink* meters, stream_statistics* statistics);

  bool pre_proc() override;

  void set_test_sound(test_sound_id id);
  test_sound_id get_test_sound() const { return m_test_sound.load(); }
  // Reloads the test WAV file: 0, or a negative errno when no file opens.
  int read_music_data();
  void set_digital_base_gain(float g) { m_dig_base_gain = g; }
  void set_digital_gain(float left, float right) {
    m_dig_left_gain = left;
    m_dig_right_gain = right;
  }
  void set_input_src(audio_src_e s) { m_input_src = s; }
  void set_overflow_test(bool on) { m_overflow_test = on; }

  // One period of the 1 kHz test sine at 48 kHz.
  static const std::vector<short>& test_sine();
  // Applies the current test sound to one interleaved stereo frame.
  void apply_test_sound(std::vector<short>& frame);

 protected:
  int capture(std::vector<short>& frame) override;
  void after_capture(std::vector<short>& frame) override;

 private:
  line_queue* m_monitor_queue;
  level_meter_sink* m_meters;
  std::atomic<float> m_dig_base_gain{1.0f}, m_dig_left_gain{1.0f}, m_dig_right_gain{1.0f};
  std::atomic<test_sound_id> m_test_sound{test_sound_none};
  size_t m_test_pos = 0;                   // capture thread only
  std::atomic<bool> m_test_restart{false};  // set by the controller: restart the read position
  std::atomic<audio_src_e> m_input_src{audio_src_analog};
  stream_statistics* m_statistics;
  std::atomic<bool> m_overflow_test{false};
  // The WAV samples; reloaded from the controller's thread while capture runs.
  std::mutex m_music_mutex;
  std::vector<short> m_test_music;
};

}  // namespace orva
