#pragma once
// G.192 soft bits: one 16-bit word per bit, 0x007F for 0 and 0x0081 for 1. The extension
// layers are built and read in this form and packed to bytes for the wire.

#include <cstdint>

namespace g722swb {

constexpr int16_t G192_BIT0 = 0x007F;
constexpr int16_t G192_BIT1 = 0x0081;
constexpr int16_t G192_SYNC_GOOD = 0x6B21;
constexpr int16_t G192_SYNC_BAD = 0x6B20;

// Expands `bytes` bytes into 8 x bytes soft bits (first bit from bit 0); returns `bytes`.
int hardbit2softbit(int bytes, const unsigned char* in, int16_t* out);
// Packs 8 x bytes soft bits into bytes; only a word equal to 0x0081 counts as 1.
void softbit2hardbit(int bytes, const int16_t* in, unsigned char* out);

// Write the low `bits` bits of value, most significant first, at *pos, and advance *pos.
void s_PushBit(int16_t value, int16_t** pos, int bits);
void s_PushBitLong(int32_t value, int16_t** pos, int bits);
// Read `bits` soft bits, most significant first (any word but 0x007F is 1); 0 for bits < 1.
int16_t GetBit(const int16_t** pos, int bits);
int32_t s_GetBitLong(const int16_t** pos, int bits);

// Checks a G.192 frame (sync word, length word, bit words): its bit count, or 0 when erased.
// A bad sync word or bit word ends the process.
int checksoftbit(const int16_t* frame);

}  // namespace g722swb
