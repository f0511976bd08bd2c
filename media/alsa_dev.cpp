#include "alsa_dev.h"

#include <system_error>

namespace orva {
namespace {

[[noreturn]] void throw_alsa(int err, const char* what) {
  throw std::system_error(-err, std::system_category(), what);
}

class alsa_factory : public audio_device_factory {
 public:
  std::unique_ptr<audio_in_dev> open_in(const char* name, int rate, int channels, int period, int buffer) override {
    return std::make_unique<alsa_in>(name, rate, channels, audio_dev::s16_le, period, buffer);
  }
  std::unique_ptr<audio_out_dev> open_out(const char* name, int rate, int channels, int period,
                                          int buffer) override {
    return std::make_unique<alsa_out>(name, rate, channels, audio_dev::s16_le, period, buffer);
  }
};

}  // namespace

alsa_in::alsa_in(const char* name, int rate, int channels, audio_dev::format f, int period, int buffer) {
  const int err = alsa_in::open(name, rate, channels, f, period, buffer);
  if (err < 0)
    throw_alsa(err, "alsa_in");
}

int alsa_in::open(const char* name, int rate, int channels, format f, int period_frames, int buffer_frames) {
  return alsa_impl::open(name, rate, channels, alsa_format(f), period_frames, buffer_frames, SND_PCM_STREAM_CAPTURE, 0);
}

int alsa_in::read(void* buffer, int frames) {
  if (!m_pcm)
    return -EBADFD;
  const auto n = snd_pcm_readi(m_pcm, buffer, static_cast<snd_pcm_uframes_t>(frames));
  if (n < 0)
    xrun_recovery(static_cast<int>(n));
  return static_cast<int>(n);
}

alsa_out::alsa_out(const char* name, int rate, int channels, audio_dev::format f, int period, int buffer) {
  const int err = alsa_out::open(name, rate, channels, f, period, buffer);
  if (err < 0)
    throw_alsa(err, "alsa_out");
}

int alsa_out::open(const char* name, int rate, int channels, format f, int period_frames, int buffer_frames) {
  return alsa_impl::open(name, rate, channels, alsa_format(f), period_frames, buffer_frames, SND_PCM_STREAM_PLAYBACK, 0);
}

int alsa_out::write(const void* buffer, int frames) {
  if (!m_pcm)
    return -EBADFD;
  const auto n = snd_pcm_writei(m_pcm, buffer, static_cast<snd_pcm_uframes_t>(frames));
  if (n < 0)
    xrun_recovery(static_cast<int>(n));
  return static_cast<int>(n);
}

audio_device_factory& alsa_device_factory() {
  static alsa_factory factory;
  return factory;
}

}  // namespace orva
