// Bit writer and reader with the ALS Rice code.
#include "nals_bitio.h"

#include <cstring>

namespace {

inline void StoreWord(NALSE_BITWRITER* bw) {
  if (bw->limit - bw->current < 4) {
    bw->overflow = 1;
  } else {
    uint32_t a = bw->accumulator;
    bw->current[0] = static_cast<uint8_t>(a >> 24);
    bw->current[1] = static_cast<uint8_t>(a >> 16);
    bw->current[2] = static_cast<uint8_t>(a >> 8);
    bw->current[3] = static_cast<uint8_t>(a);
    bw->current += 4;
  }
  bw->accumulator = 0;
  bw->free_bits = 32;
}

inline void PutOnes(NALSE_BITWRITER* bw, uint64_t count) {
  while (count && !bw->overflow) {
    uint32_t n = count > 23 ? 23u : static_cast<uint32_t>(count);
    PutBits_LE32(bw, (1u << n) - 1u, n);
    count -= n;
  }
}

}  // namespace

extern "C" {

void NALSE_BW_Init(NALSE_BITWRITER* bw, void* area, uint32_t size, uint32_t start_bit_offset) {
  bw->start = static_cast<uint8_t*>(area);
  bw->current = bw->start;
  bw->limit = bw->start + size;
  bw->start_bit_offset = start_bit_offset;
  bw->free_bits = 32;
  bw->accumulator = 0;
  bw->overflow = 0;
}

void PutBits_LE32(NALSE_BITWRITER* bw, uint32_t value, uint32_t n) {
  if (n == 0) return;
  if (n < 32) value &= (1u << n) - 1u;
  if (n < bw->free_bits) {
    bw->free_bits -= n;
    bw->accumulator |= value << bw->free_bits;
    return;
  }
  uint32_t rest = n - bw->free_bits;
  bw->accumulator |= rest < 32 ? value >> rest : 0;
  StoreWord(bw);
  if (rest) {
    bw->free_bits = 32 - rest;
    bw->accumulator = value << bw->free_bits;
  }
}

uint64_t NALSE_BW_BitCount(const NALSE_BITWRITER* bw) {
  return static_cast<uint64_t>(bw->current - bw->start) * 8u + (32u - bw->free_bits);
}

NALSE_BITWRITER* NALSE_BW_Align(NALSE_BITWRITER* bw) {
  uint64_t pos = NALSE_BW_BitCount(bw) + bw->start_bit_offset;
  uint32_t pad = static_cast<uint32_t>((8u - (pos & 7u)) & 7u);
  PutBits_LE32(bw, 0, pad);
  return bw;
}

NALSE_BITWRITER* NALSE_BW_PutRiceBits(NALSE_BITWRITER* bw, int32_t v, uint32_t s) {
  if (s == 0) {
    uint32_t u = v >= 0 ? static_cast<uint32_t>(v) << 1 : (~static_cast<uint32_t>(v) << 1) | 1u;
    PutOnes(bw, u);
    PutBits_LE32(bw, 0, 1);
    return bw;
  }
  uint32_t m = v >= 0 ? static_cast<uint32_t>(v) : ~static_cast<uint32_t>(v);
  uint32_t q = m >> (s - 1);
  uint32_t low = s > 1 ? m & ((1u << (s - 1)) - 1u) : 0u;
  uint32_t rem = v >= 0 ? (1u << (s - 1)) | low : low;
  PutOnes(bw, q);
  PutBits_LE32(bw, 0, 1);
  PutBits_LE32(bw, rem, s);
  return bw;
}

NALSE_BITWRITER* NALSE_BW_PutRiceBlock(NALSE_BITWRITER* bw, const int32_t* d, uint32_t s,
                                       uint32_t count) {
  for (uint32_t i = 0; i < count && !bw->overflow; ++i) NALSE_BW_PutRiceBits(bw, d[i], s);
  return bw;
}

NALSE_BITWRITER* NALSE_BW_PutRiceBlocks(NALSE_BITWRITER* bw, const int32_t* d, uint32_t w,
                                        const uint32_t* params, uint32_t n, uint32_t count) {
  if (n == 0 || count == 0) return bw;
  uint32_t sub = n / count;
  uint32_t pos = w;
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t end = (k + 1) * sub;
    if (end > pos) NALSE_BW_PutRiceBlock(bw, d + pos, params[k] >> 4, end - pos);
    pos = end;
  }
  return bw;
}

int32_t NALSE_BW_Finish(NALSE_BITWRITER* bw) {
  uint32_t used = 32 - bw->free_bits;
  uint32_t bytes = (used + 7) / 8;
  if (bw->overflow || bw->limit - bw->current < static_cast<long>(bytes)) {
    bw->overflow = 1;
    return -1;
  }
  for (uint32_t i = 0; i < bytes; ++i)
    bw->current[i] = static_cast<uint8_t>(bw->accumulator >> (24 - 8 * i));
  return static_cast<int32_t>(bw->current - bw->start) + static_cast<int32_t>(bytes);
}

void NALSD_BR_Init(NALSD_BITREADER* br, const void* data, uint32_t size) {
  br->data = static_cast<const uint8_t*>(data);
  br->size = size;
  br->position = 0;
  br->overrun = 0;
}

// Next 64 bits from the current position (zeros past the end).
static inline uint64_t Peek64(const NALSD_BITREADER* br) {
  uint64_t byte = br->position >> 3;
  uint32_t bit = static_cast<uint32_t>(br->position & 7);
  uint64_t v = 0;
  if (byte + 9 <= br->size) {
    for (int i = 0; i < 8; ++i) v = (v << 8) | br->data[byte + i];
    v = (v << bit) | (bit ? br->data[byte + 8] >> (8 - bit) : 0);
    return v;
  }
  for (int i = 0; i < 9; ++i) {
    uint64_t b = byte + i < br->size ? br->data[byte + i] : 0;
    if (i < 8) v = (v << 8) | b;
    else if (bit) v = (v << bit) | (b >> (8 - bit));
  }
  if (bit && byte + 8 >= br->size) {
    // Bits shifted in from beyond the data are zero already.
  }
  return v;
}

uint32_t GetBits_LE32(NALSD_BITREADER* br, uint32_t n) {
  if (n == 0) return 0;
  if (br->position + n > static_cast<uint64_t>(br->size) * 8u) {
    br->overrun = 1;
    br->position = static_cast<uint64_t>(br->size) * 8u + 32u;
    return 0;
  }
  uint64_t v = Peek64(br);
  br->position += n;
  return static_cast<uint32_t>(v >> (64 - n));
}

uint32_t GetBit(NALSD_BITREADER* br) { return GetBits_LE32(br, 1); }

void NALSD_BR_Align(NALSD_BITREADER* br) { br->position = (br->position + 7) & ~uint64_t{7}; }

uint32_t NALSD_BR_GetUnary(NALSD_BITREADER* br, uint32_t limit) {
  uint32_t q = 0;
  uint64_t end = static_cast<uint64_t>(br->size) * 8u;
  for (;;) {
    if (br->position >= end) {
      br->overrun = 1;
      return q;
    }
    uint64_t v = Peek64(br);
    uint32_t ones = v == ~uint64_t{0} ? 64u : static_cast<uint32_t>(__builtin_clzll(~v));
    if (br->position + ones >= end) {
      br->overrun = 1;
      br->position = end + 32u;
      return q;
    }
    if (ones < 64) {
      q += ones;
      br->position += ones + 1;
      if (q > limit) br->overrun = 1;
      return q;
    }
    q += 64;
    br->position += 64;
    if (q > limit) {
      br->overrun = 1;
      return q;
    }
  }
}

int32_t NALSD_BR_GetRiceBits(NALSD_BITREADER* br, uint32_t s) {
  // A quotient above 2^32 cannot come from a 32-bit value; stop reading there.
  uint32_t q = NALSD_BR_GetUnary(br, 0xFFFFFFFEu);
  if (s == 0) return static_cast<int32_t>((q >> 1) ^ (0u - (q & 1u)));
  uint32_t r = GetBits_LE32(br, s);
  uint32_t mag = (q << (s - 1)) + (r & ((s > 1 ? (1u << (s - 1)) : 1u) - 1u));
  if (s == 1) mag = q;
  bool positive = (r >> (s - 1)) & 1u;
  return positive ? static_cast<int32_t>(mag) : static_cast<int32_t>(~mag);
}

void NALSD_BR_GetRiceBlock(NALSD_BITREADER* br, int32_t* d, uint32_t s, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    d[i] = NALSD_BR_GetRiceBits(br, s);
    if (br->overrun) {
      std::memset(d + i, 0, (count - i) * sizeof *d);
      return;
    }
  }
}

}  // extern "C"
