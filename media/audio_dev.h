// The sound hardware as the audio threads see it: a capture device and a playback device of
// interleaved frames. The ALSA implementation (alsa_in, alsa_out) derives from these.
#pragma once

#include <memory>

namespace orva {

class audio_dev {
 public:
  // Device-level sample format; the engine uses s16_le only.
  enum format { s8 = 0, s16_le = 1, s24_le = 2, s32_le = 3 };

  virtual ~audio_dev() = default;
  virtual int open(const char* name, int rate, int channels, format f, int period_frames, int buffer_frames) = 0;
  virtual int close() = 0;
  virtual int start() = 0;
  virtual int stop() = 0;
  virtual int sampling_frequency() const = 0;
  virtual int frame_samples() const = 0;
  virtual int channels() const = 0;
};

class audio_in_dev : public audio_dev {
 public:
  // Reads up to `frames` frames; the frames read or a negative errno (after recovery).
  virtual int read(void* buffer, int frames) = 0;
};

class audio_out_dev : public audio_dev {
 public:
  // Writes `frames` frames; the frames written or a negative errno (after recovery).
  virtual int write(const void* buffer, int frames) = 0;
  // Frames queued in the playback buffer.
  virtual int used_size() const = 0;
};

// Opens the engine's devices. The board uses ALSA; tests may hand an engine their own cards.
class audio_device_factory {
 public:
  virtual ~audio_device_factory() = default;
  // Both throw std::system_error when the device cannot be opened.
  virtual std::unique_ptr<audio_in_dev> open_in(const char* name, int rate, int channels, int period,
                                                int buffer) = 0;
  virtual std::unique_ptr<audio_out_dev> open_out(const char* name, int rate, int channels, int period,
                                                  int buffer) = 0;
};

// The ALSA cards (on the simulated board, its card plugin).
audio_device_factory& alsa_device_factory();

}  // namespace orva
