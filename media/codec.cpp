#include "codec.h"

namespace orva {

int codec::decode(std::vector<short>& out, const unsigned char* in, int length) {
  const int ch = m_channels > 0 ? m_channels : 1;
  out.resize(static_cast<size_t>(max_decoded_frames()) * ch);
  int frames = decode(out.data(), max_decoded_frames(), in, length);
  if (frames < 0) frames = 0;
  out.resize(static_cast<size_t>(frames) * ch);
  return frames;
}

}  // namespace orva
