// CRC-32 of ISO 3309 / IEEE 802.3 over input or output PCM bytes.
#include <array>

#include "nals.h"

namespace {

constexpr std::array<uint32_t, 256> make_table() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}

constexpr std::array<uint32_t, 256> NALS_CRC32_Table = make_table();

}  // namespace

extern "C" {

void NALS_CRC32_Init(uint32_t* state) {
  if (state) *state = 0xFFFFFFFFu;
}

void NALS_CRC32_ProcessBlock(uint32_t* state, const void* bytes, uint64_t count) {
  if (!state || !bytes) return;
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  uint32_t c = *state;
  for (uint64_t i = 0; i < count; ++i) c = NALS_CRC32_Table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  *state = c;
}

uint32_t NALS_CRC32_Get(const uint32_t* state) { return state ? ~*state : 0; }

void NALS_CRC32_Set(uint32_t* state, uint32_t value) {
  if (state) *state = ~value;
}

}  // extern "C"
