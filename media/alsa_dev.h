// The engine's sound devices on ALSA: a capture device and a playback device, each one PCM
// handle opened in blocking mode with the engine's hardware parameters.
#pragma once

#include "alsa_impl.h"
#include "audio_dev.h"

namespace orva {

class alsa_in : public audio_in_dev, public alsa_impl {
 public:
  // Opens the capture stream of `name`; throws std::system_error with ALSA's errno.
  alsa_in(const char* name, int rate, int channels, audio_dev::format f, int period, int buffer);

  int open(const char* name, int rate, int channels, format f, int period_frames, int buffer_frames) override;
  int close() override { return alsa_impl::close(); }
  int start() override { return alsa_impl::start(); }
  int stop() override { return alsa_impl::stop(); }
  int sampling_frequency() const override { return m_rate; }
  int frame_samples() const override { return m_period; }
  int channels() const override { return m_channels; }
  // snd_pcm_readi; a failure runs the recovery and is still returned.
  int read(void* buffer, int frames) override;
};

class alsa_out : public audio_out_dev, public alsa_impl {
 public:
  // Opens the playback stream of `name`; throws std::system_error with ALSA's errno.
  alsa_out(const char* name, int rate, int channels, audio_dev::format f, int period, int buffer);

  int open(const char* name, int rate, int channels, format f, int period_frames, int buffer_frames) override;
  int close() override { return alsa_impl::close(); }
  int start() override { return alsa_impl::start(); }
  int stop() override { return alsa_impl::stop(); }
  int sampling_frequency() const override { return m_rate; }
  int frame_samples() const override { return m_period; }
  int channels() const override { return m_channels; }
  // snd_pcm_writei; a failure runs the recovery and is still returned.
  int write(const void* buffer, int frames) override;
  int used_size() const override { return alsa_impl::used_size(); }
};

}  // namespace orva
