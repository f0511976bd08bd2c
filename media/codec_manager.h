// Owner of the codec objects of both audio engines, handed out by `audio_codec_id`.
#pragma once

#include <memory>
#include <vector>

#include "codec.h"

namespace orva {

class codec_manager {
 public:
  // Builds every codec for the configured frame length (`audio.frame_length_samples`). List A
  // holds the main engine's codecs, list B the intercom engine's. A codec constructor that
  // throws makes this constructor throw after freeing what was built.
  explicit codec_manager(int frame_samples);

  // A manager whose list A holds `c` `count` times and whose list B is empty (for tests and
  // tools). The codec is owned once, however often it is listed.
  codec_manager(codec* c, unsigned count);

  codec_manager(const codec_manager&) = delete;
  codec_manager& operator=(const codec_manager&) = delete;
  ~codec_manager();

  // The first codec of list A (or list B when `list_b`) whose id equals `id`; null when none.
  codec* get(audio_codec_id id, bool list_b = false);
  const codec* get(audio_codec_id id, bool list_b = false) const;
  codec* get(int id, bool list_b = false) { return get(static_cast<audio_codec_id>(id), list_b); }

  static constexpr int default_frame_length = 128;
  // The frame length itself when it is a multiple of 64 from 64 to 384; otherwise logs the
  // refusal and returns the default.
  static int checked_frame_length(int frame_samples);

  const std::vector<codec*>& list(bool list_b) const { return list_b ? m_list_b : m_list_a; }

 private:
  std::vector<codec*> m_list_a;
  std::vector<codec*> m_list_b;
  std::vector<std::unique_ptr<codec>> m_owned;
};

}  // namespace orva
