#pragma once
// Bit-plane order of the G.722 core: the 40 octets of a frame are rewritten as 8 planes of
// 5 bytes, least important bits last, so that the 30- and 35-byte prefixes of a 64 kbit/s core
// are the 48 and 56 kbit/s cores.

namespace g722swb {

constexpr int BITPLANE_BYTES = 40;

// Plane p (bytes 5p..5p+4; in byte 5p + j, bit i holds octet 8j + i) carries octet bit
// plane_bit[p].
extern const int plane_bit[8];

void bst_G722_frame(const unsigned char* octets, unsigned char* planes);
void bst_frame_G722(const unsigned char* planes, unsigned char* octets);

}  // namespace g722swb
