#include "alsa_impl.h"

#include <alloca.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

namespace orva {
namespace {

constexpr snd_pcm_format_t format_table[] = {
    SND_PCM_FORMAT_S8,
    SND_PCM_FORMAT_S16_LE,
    SND_PCM_FORMAT_S24_LE,
    SND_PCM_FORMAT_S32_LE,
};

constexpr int resume_tries = 1001;

}  // namespace

snd_pcm_format_t alsa_format(int device_format) {
  if (device_format < 0 || device_format >= static_cast<int>(std::size(format_table)))
    return SND_PCM_FORMAT_UNKNOWN;
  return format_table[device_format];
}

alsa_impl::~alsa_impl() { close(); }

int alsa_impl::open(const char* name, int rate, int channels, snd_pcm_format_t format, int period, int buffer,
                    snd_pcm_stream_t stream, int mode) {
  close();
  int err = snd_pcm_open(&m_pcm, name, stream, mode);
  if (err < 0) {
    m_pcm = nullptr;
    return err;
  }
  err = set_hw_params(rate, channels, format, period, buffer);
  if (err < 0) {
    close();
    return err;
  }
  // The requested values, not the ones the "near" calls chose.
  m_period = period;
  m_channels = channels;
  m_buffer = buffer;
  m_rate = rate;
  return 0;
}

int alsa_impl::set_hw_params(int rate, int channels, snd_pcm_format_t format, int period, int buffer) {
  if (!m_pcm)
    return -EBADFD;
  const size_t size = snd_pcm_hw_params_sizeof();
  auto* hw = static_cast<snd_pcm_hw_params_t*>(alloca(size));
  std::memset(hw, 0, size);
  snd_pcm_uframes_t period_frames = static_cast<snd_pcm_uframes_t>(period < 0 ? 0 : period);
  snd_pcm_uframes_t buffer_frames = static_cast<snd_pcm_uframes_t>(buffer < 0 ? 0 : buffer);
  int err;
  if ((err = snd_pcm_hw_params_any(m_pcm, hw)) < 0)
    return err;
  if ((err = snd_pcm_hw_params_set_rate(m_pcm, hw, static_cast<unsigned>(rate), 0)) < 0)
    return err;
  if ((err = snd_pcm_hw_params_set_channels(m_pcm, hw, static_cast<unsigned>(channels))) < 0)
    return err;
  // libasound asserts on a format outside its table instead of refusing it.
  if (format < 0 || format > SND_PCM_FORMAT_LAST)
    return -EINVAL;
  if ((err = snd_pcm_hw_params_set_format(m_pcm, hw, format)) < 0)
    return err;
  if ((err = snd_pcm_hw_params_set_period_size_near(m_pcm, hw, &period_frames, nullptr)) < 0)
    return err;
  if ((err = snd_pcm_hw_params_set_buffer_size_near(m_pcm, hw, &buffer_frames)) < 0)
    return err;
  if ((err = snd_pcm_hw_params_set_rate_resample(m_pcm, hw, 0)) < 0)
    return err;
  if ((err = snd_pcm_hw_params_set_access(m_pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0)
    return err;
  return snd_pcm_hw_params(m_pcm, hw);
}

int alsa_impl::close() {
  if (m_pcm) {
    snd_pcm_close(m_pcm);
    m_pcm = nullptr;
  }
  return 0;
}

int alsa_impl::start() { return m_pcm ? snd_pcm_start(m_pcm) : -EBADFD; }

int alsa_impl::stop() { return m_pcm ? snd_pcm_drop(m_pcm) : -EBADFD; }

int alsa_impl::xrun_recovery(int err) {
  if (!m_pcm)
    return 0;
  if (err == -EPIPE)
    return snd_pcm_prepare(m_pcm);
  if (err == -ESTRPIPE) {
    int r = -EAGAIN;
    for (int attempt = 0; attempt < resume_tries; ++attempt) {
      r = snd_pcm_resume(m_pcm);
      if (r != -EAGAIN)
        break;
      if (attempt + 1 < resume_tries)
        ::usleep(1000);
    }
    if (r >= 0)
      return r;
    return snd_pcm_prepare(m_pcm);
  }
  return 0;
}

int alsa_impl::used_size() const {
  if (!m_pcm)
    return 0;
  auto* hw = static_cast<snd_pcm_hw_params_t*>(alloca(snd_pcm_hw_params_sizeof()));
  std::memset(hw, 0, snd_pcm_hw_params_sizeof());
  auto* status = static_cast<snd_pcm_status_t*>(alloca(snd_pcm_status_sizeof()));
  std::memset(status, 0, snd_pcm_status_sizeof());
  snd_pcm_uframes_t buffer = 0;
  if (snd_pcm_hw_params_current(m_pcm, hw) < 0 || snd_pcm_hw_params_get_buffer_size(hw, &buffer) < 0)
    return 0;
  if (snd_pcm_status(m_pcm, status) < 0)
    return 0;
  return static_cast<int>(buffer) - static_cast<int>(snd_pcm_status_get_avail(status));
}

}  // namespace orva
