#pragma once
// Constant tables of the low-delay coder's integer DCT and noise-injection companding.
#include <cstdint>

extern const int16_t rotcnstA[2048];    // round(32767 tan(theta/2))
extern const int16_t rotcnstB[2048];    // round(-32767 sin(theta))
extern const int16_t rotcnstSGN[2048];  // -1 where theta was folded by pi
extern const int64_t nicx[1024];        // breakpoints of the mean absolute level
extern const int64_t nicy[1024];        // companded level at each breakpoint
extern const int64_t niccnstA[1024];    // slope nicx -> nicy after each breakpoint, Q24
extern const int64_t niccnstB[1024];    // slope nicy -> nicx after each breakpoint, Q24
