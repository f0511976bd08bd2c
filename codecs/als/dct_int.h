#pragma once
// Exactly invertible integer DCT-II of one block, built from lifting steps with Q15 constants.
// Both units compute identical results: every product is rounded the same way in 64 bits.
#include <cstdint>

// Forward transform of the n = 2^log2n values in `block`, in place. Coefficient k ends at index k
// (orthonormal scaling, within a few units of the real transform).
void dct(int n, int log2n, int64_t* block);

// Exact inverse of dct(): idct(dct(x)) == x bit for bit.
void idct(int n, int log2n, int64_t* block);
