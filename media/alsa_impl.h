// One ALSA PCM handle with the hardware parameters the audio engine asks for, and the recovery
// from overruns, underruns and suspends. alsa_in and alsa_out (alsa_dev.h) are built on it.
#pragma once

#include <alsa/asoundlib.h>

namespace orva {

// ALSA format of an audio_dev::format value (0 S8, 1 S16_LE, 2 S24_LE, 3 S32_LE); any other
// value gives SND_PCM_FORMAT_UNKNOWN (-1), which the hardware parameters refuse.
snd_pcm_format_t alsa_format(int device_format);

class alsa_impl {
 public:
  alsa_impl() = default;
  alsa_impl(const alsa_impl&) = delete;
  alsa_impl& operator=(const alsa_impl&) = delete;
  virtual ~alsa_impl();

  // Opens `name` for `stream` and sets the hardware parameters; 0 or ALSA's negative result.
  // A handle already open is closed first; a failure leaves no handle open.
  int open(const char* name, int rate, int channels, snd_pcm_format_t format, int period, int buffer,
           snd_pcm_stream_t stream, int mode);
  int set_hw_params(int rate, int channels, snd_pcm_format_t format, int period, int buffer);
  int close();
  int start();
  int stop();
  // Brings the stream back after `err`: -EPIPE prepares, -ESTRPIPE resumes (up to 1001 tries,
  // 1 ms apart, while busy) and then prepares if need be; other errors are left alone (0).
  int xrun_recovery(int err);
  // Frames queued for playback: the buffer size less what is available to write.
  int used_size() const;

  snd_pcm_t* handle() const { return m_pcm; }

 protected:
  snd_pcm_t* m_pcm = nullptr;
  int m_period = 0;
  int m_buffer = 0;
  int m_channels = 0;
  int m_rate = 0;
};

}  // namespace orva
