// Constant tables of MPEG-4 ALS shared by encoder and decoder.
#pragma once
#include <cstdint>

namespace nals {

// Q20 reconstruction values of the first two companded PARCOR coefficients (index q + 64).
extern const int32_t NALS_PARCOR_pc12_tbl[128];
// Offset and Rice parameter of the first 20 quantised coefficients, per coefficient table 0..2.
struct ParcorVar {
  int8_t offset;
  int8_t param;
};
extern const ParcorVar NALS_PARCOR_Vars[3][20];
// MCC weighting factors in 1/128 units (index 16 is 0).
extern const int32_t gmmtable[32];
// LTP centre-tap gains in 1/128 units.
extern const int32_t qcf_table[16];
// Q31 raised-cosine taper of the analysis window.
extern const int32_t* cosrect_LUT();
// Q25 values of log2(1 - ((i + 0.5) / 256)^2), 257 entries.
extern const int32_t* log_table();
// Q15 fraction of log2(1 + j/32).
extern const uint16_t log2_tbl[33];

// Reconstructs one quantised PARCOR value into Q20.
int32_t NALS_PARCOR_Reconstruct_Single(int32_t q, uint32_t index);
void NALS_PARCOR_Reconstruct(const int8_t* q, uint32_t count, int32_t* out);

// Raises direct-form Q20 coefficients cof[0..k-1] to order k+1 with the PARCOR value par
// (the standard's recursion, 32-bit wrap-around like the decoder). Returns false when a
// coefficient left the signed 32-bit range.
bool ParcorStep(uint32_t k, int32_t par, int32_t* cof);

// Inverse prediction in place: x[n] = e[n] - Q20(sum c[k] x[n-1-k]); order samples before x
// serve as history.
void GetSignal(int32_t* x, uint32_t n, const int32_t* c, uint32_t order);

// Bit length of v (0 for 0).
inline uint32_t BitLength(uint64_t v) { return v ? 64u - static_cast<uint32_t>(__builtin_clzll(v)) : 0u; }
// ceil(log2(v)) for v >= 1.
inline uint32_t CeilLog2(uint64_t v) { return v <= 1 ? 0u : BitLength(v - 1); }
// Bits of the adaptive order field of a block of n samples.
inline uint32_t OrderBits(uint32_t n, uint32_t max_order) {
  if (n < 17) return 1;
  uint32_t a = CeilLog2(max_order + 1u);
  uint32_t q = n >> 3;
  uint32_t b = q > 2 ? CeilLog2(q - 1u) : 1u;
  return a < b ? a : b;
}

// Sum of a[i] * b[i] as 64-bit products, wrapping (the prediction filters' inner product).
inline uint64_t Dot64(const int32_t* a, const int32_t* b, uint32_t n) {
  // Four partial sums, unsigned so that hostile streams wrap instead of overflowing.
  uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  uint32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    s0 += static_cast<uint64_t>(static_cast<int64_t>(a[i]) * b[i]);
    s1 += static_cast<uint64_t>(static_cast<int64_t>(a[i + 1]) * b[i + 1]);
    s2 += static_cast<uint64_t>(static_cast<int64_t>(a[i + 2]) * b[i + 2]);
    s3 += static_cast<uint64_t>(static_cast<int64_t>(a[i + 3]) * b[i + 3]);
  }
  for (; i < n; ++i) s0 += static_cast<uint64_t>(static_cast<int64_t>(a[i]) * b[i]);
  return s0 + s1 + s2 + s3;
}

// Wrap-around helpers: the codec's 32-bit arithmetic is modular by definition.
inline int32_t Wrap32(uint64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }
inline int32_t Add32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t Sub32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t Shl32(int32_t a, uint32_t s) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) << s);
}
// Q20 prediction term: (2^19 + sum) >> 20 of a wrapping 64-bit sum, low 32 bits.
inline int32_t Q20Round(uint64_t sum) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(sum + (1u << 19)) >> 20)));
}

}  // namespace nals
