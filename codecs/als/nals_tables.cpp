// Constant tables of MPEG-4 ALS.
#include "nals_tables.h"

#include <array>
#include <cmath>

namespace nals {

namespace {
constexpr std::array<int32_t, 128> make_pc12() {
  std::array<int32_t, 128> t{};
  // Midpoint of the companded interval, ((2q + 129) / 128)^2 / 2 - 1, in Q20.
  for (int i = 0; i < 128; ++i) t[i] = 32 * (2 * i + 1) * (2 * i + 1) - (1 << 20);
  return t;
}
constexpr std::array<int32_t, 128> kPc12 = make_pc12();
}  // namespace

const int32_t NALS_PARCOR_pc12_tbl[128] = {
#define R8(i) kPc12[i], kPc12[i + 1], kPc12[i + 2], kPc12[i + 3], kPc12[i + 4], kPc12[i + 5], kPc12[i + 6], kPc12[i + 7]
    R8(0), R8(8), R8(16), R8(24), R8(32), R8(40), R8(48), R8(56),
    R8(64), R8(72), R8(80), R8(88), R8(96), R8(104), R8(112), R8(120)
#undef R8
};

const ParcorVar NALS_PARCOR_Vars[3][20] = {
    {{-52, 4}, {-29, 5}, {-31, 4}, {19, 4}, {-16, 4}, {12, 3}, {-7, 3}, {9, 3}, {-5, 3}, {6, 3},
     {-4, 3}, {3, 3}, {-3, 2}, {3, 2}, {-2, 2}, {3, 2}, {-1, 2}, {2, 2}, {-1, 2}, {2, 2}},
    {{-58, 3}, {-42, 4}, {-46, 4}, {37, 5}, {-36, 4}, {29, 4}, {-29, 4}, {25, 4}, {-23, 4}, {20, 4},
     {-17, 4}, {16, 4}, {-12, 4}, {12, 3}, {-10, 4}, {7, 3}, {-4, 4}, {3, 3}, {-1, 3}, {1, 3}},
    {{-59, 3}, {-45, 5}, {-50, 4}, {38, 4}, {-39, 4}, {32, 4}, {-30, 4}, {25, 3}, {-23, 3}, {20, 3},
     {-20, 3}, {16, 3}, {-13, 3}, {10, 3}, {-7, 3}, {3, 3}, {0, 3}, {-1, 3}, {2, 3}, {-1, 2}},
};

const int32_t gmmtable[32] = {204, 192, 179, 166, 153, 140, 128, 115, 102, 89, 76,
                              64,  51,  38,  25,  12,  0,   -12, -25, -38, -51, -64,
                              -76, -89, -102, -115, -128, -140, -153, -166, -179, -192};

const int32_t qcf_table[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 70, 76, 82, 88, 92, 96, 100};

const uint16_t log2_tbl[33] = {4,     1459,  2870,  4240,  5572,  6867,  8127,  9355,  10552,
                               11719, 12858, 13971, 15057, 16120, 17158, 18175, 19170, 20145,
                               21100, 22036, 22954, 23854, 24738, 25605, 26457, 27294, 28116,
                               28924, 29719, 30500, 31269, 32025, 32769};

const int32_t* cosrect_LUT() {
  static const std::array<int32_t, 1024> t = [] {
    std::array<int32_t, 1024> v{};
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < 1024; ++i)
      v[i] = static_cast<int32_t>(std::llround(0.5 * (1.0 - std::cos(pi * i / 1023.9)) * 2147483648.0));
    return v;
  }();
  return t.data();
}

const int32_t* log_table() {
  static const std::array<int32_t, 257> t = [] {
    std::array<int32_t, 257> v{};
    for (int i = 0; i < 256; ++i) {
      double f = (i + 0.5) / 256.0;
      v[i] = static_cast<int32_t>(std::llround(33554432.0 * std::log2(1.0 - f * f)));
    }
    v[256] = -1342073465;
    return v;
  }();
  return t.data();
}

int32_t NALS_PARCOR_Reconstruct_Single(int32_t q, uint32_t index) {
  if (q < -64) q = -64;
  if (q > 63) q = 63;
  if (index == 0) return NALS_PARCOR_pc12_tbl[q + 64];
  if (index == 1) return -NALS_PARCOR_pc12_tbl[q + 64];
  return q * (1 << 14) + (1 << 13);
}

void NALS_PARCOR_Reconstruct(const int8_t* q, uint32_t count, int32_t* out) {
  for (uint32_t i = 0; i < count; ++i) out[i] = NALS_PARCOR_Reconstruct_Single(q[i], i);
}

bool ParcorStep(uint32_t k, int32_t par, int32_t* cof) {
  bool ok = true;
  auto term = [&](int32_t c) {
    int64_t v = (static_cast<int64_t>(par) * c + (1 << 19)) >> 20;
    return v;
  };
  uint32_t i = 0, j = k ? k - 1 : 0;
  if (k) {
    for (; i < j; ++i, --j) {
      int64_t nj = static_cast<int64_t>(cof[j]) + term(cof[i]);
      int64_t ni = static_cast<int64_t>(cof[i]) + term(cof[j]);
      if (nj != static_cast<int32_t>(nj) || ni != static_cast<int32_t>(ni)) ok = false;
      cof[j] = Wrap32(static_cast<uint64_t>(nj));
      cof[i] = Wrap32(static_cast<uint64_t>(ni));
    }
    if (i == j) {
      int64_t n = static_cast<int64_t>(cof[i]) + term(cof[i]);
      if (n != static_cast<int32_t>(n)) ok = false;
      cof[i] = Wrap32(static_cast<uint64_t>(n));
    }
  }
  cof[k] = par;
  return ok;
}

}  // namespace nals
