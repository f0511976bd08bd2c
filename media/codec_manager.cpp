#include "codec_manager.h"

#include "codec_LDALS.h"
#include "codec_LPCM.h"
#include "codec_g722x6.h"
#include "codec_opus.h"
#include "codec_u_law.h"
#include "codec_u_law_48k.h"
#include "log.h"

namespace orva {

namespace {

using codec_factory = std::unique_ptr<codec> (*)(int frame_samples);

template <class C, int fixed_frame = 0>
std::unique_ptr<codec> make(int frame_samples) {
  return std::make_unique<C>(fixed_frame ? fixed_frame : frame_samples);
}

// The codec table. A codec library plugs in by adding its class here with one line (and its
// source to media/CMakeLists.txt); the order is the order `get` searches.
struct codec_entry {
  bool list_b;  // intercom engine
  codec_factory factory;
};
const codec_entry codec_table[] = {
    {false, make<codec_LDALS>},
    {false, make<codec_LPCM>},
    {false, make<codec_u_law_48k, 960>},
    {false, make<codec_g722x6, 160>},
    {false, make<codec_opus, 960>},
    {true, make<codec_u_law, 160>},
};

}  // namespace

int codec_manager::checked_frame_length(int frame_samples) {
  // Longer frames would not fit a packet (LPCM: 4 bytes per frame in 1588 payload bytes), and
  // the low-delay coder works in blocks of 64.
  if (frame_samples >= 64 && frame_samples <= 384 && frame_samples % 64 == 0) return frame_samples;
  log_s.error("codec_manager: audio.frame_length_samples %d refused (a multiple of 64 from 64 to 384), %d used",
              frame_samples, default_frame_length);
  return default_frame_length;
}

codec_manager::codec_manager(int frame_samples) {
  frame_samples = checked_frame_length(frame_samples);
  // unique_ptr ownership frees what was built when a later constructor throws.
  for (const codec_entry& e : codec_table) {
    m_owned.push_back(e.factory(frame_samples));
    (e.list_b ? m_list_b : m_list_a).push_back(m_owned.back().get());
  }
}

codec_manager::codec_manager(codec* c, unsigned count) {
  if (c == nullptr) return;
  m_owned.emplace_back(c);
  m_list_a.assign(count, c);
}

codec_manager::~codec_manager() = default;

codec* codec_manager::get(audio_codec_id id, bool list_b) {
  for (codec* c : list_b ? m_list_b : m_list_a)
    if (c->id() == id) return c;
  return nullptr;
}

const codec* codec_manager::get(audio_codec_id id, bool list_b) const {
  return const_cast<codec_manager*>(this)->get(id, list_b);
}

}  // namespace orva
