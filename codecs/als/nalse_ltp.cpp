// Long-term prediction: a five-tap predictor one pitch period back, searched on a decimated
// residual, refined at full rate and kept only when it shortens the coded block.
#include <cmath>
#include <cstring>

#include "nals_tables.h"
#include "nalse_impl.h"

namespace nals {

namespace {

int32_t QuantiseSide(double g) {
  if (g > 0.5) return 8;
  if (g < -0.5) return -8;
  double t = 16.0 * g;
  return t >= 0 ? static_cast<int32_t>(t + 0.5) : static_cast<int32_t>(t - 0.5);
}

int32_t QuantiseCentre(double g) {
  static const int32_t thresholds[15] = {8, 24, 40, 56, 72, 88, 104, 120, 134, 146, 158, 170, 180, 188, 196};
  if (g < 0) g = 0;
  if (g > 1.0) g = 1.0;
  int32_t u = static_cast<int32_t>(256.0 * g + 0.5);
  int32_t idx = 0;
  for (int32_t t : thresholds) idx += u > t ? 1 : 0;
  return idx;
}

uint32_t F1(int32_t v) { return static_cast<uint32_t>(v ^ (v >> 31)); }

}  // namespace

void LTP_Analysis(BLOCK_PARAM* bp, NALSE_IMPL* enc) {
  bp->ltp_lag = 0;
  const int64_t n = bp->length;
  const int32_t* x = bp->d;
  const int64_t lmin = bp->order + 1 > 4 ? bp->order + 1 : 4;
  const int64_t span = int64_t{1} << enc->ltp_lag_bits;
  const int64_t lmax = lmin + span + 2 < n ? lmin + span - 1 : n - 4;
  if (lmax - lmin < 8) return;
  const uint32_t s = n <= 4096 ? 2 : 3;
  const int64_t ny = n >> s;
  int32_t* y = enc->ltp_acf.work;
  auto at = [&](int64_t i) -> int64_t { return i >= 0 && i < n ? x[i] : 0; };
  for (int64_t k = 0; k < ny; ++k) {
    int64_t v;
    if (s == 2) {
      v = k == 0 ? (at(0) + 2 * at(1) + at(2)) >> 2
                 : (at(4 * k - 2) + 2 * at(4 * k - 1) + 2 * at(4 * k) + 2 * at(4 * k + 1) + at(4 * k + 2)) >> 3;
    } else {
      v = k == 0 ? (3 * at(0) + 2 * at(1) + 2 * at(2) + at(3)) >> 3
                 : (at(8 * k - 4) + at(8 * k - 3) + 2 * at(8 * k - 2) + 2 * at(8 * k - 1) + 4 * at(8 * k) +
                    2 * at(8 * k + 1) + 2 * at(8 * k + 2) + at(8 * k + 3) + at(8 * k + 4)) >> 4;
    }
    y[k] = static_cast<int32_t>(v);
  }
  const int64_t kmax = lmax >> s, kmin = lmin >> s;
  if (kmax >= ny || kmax < kmin) return;
  int64_t* a = enc->ltp_rxx;
  ACF_FixedPoint(&enc->ltp_acf, static_cast<uint32_t>(ny), static_cast<uint32_t>(kmax), a);
  auto mag = [&](int64_t k) { return std::fabs(static_cast<double>(a[k])); };
  int64_t kb = kmin;
  double m = mag(kmin);
  for (int64_t k = kmin + 1; k <= kmax; ++k)
    if (mag(k) > m) {
      m = mag(k);
      kb = k;
    }
  bool halved = false;
  while (((kb >> 1) << s) >= lmin && mag(kb >> 1) > 0.94 * m) {
    kb >>= 1;
    halved = true;
  }
  if (!halved) {
    bool ok = 2 * kb <= kmax && mag(2 * kb) >= 0.2 * m;
    if (!ok && !(m > 0.19 * static_cast<double>(a[0]))) return;
  }
  int64_t t = kb << s;
  if (t < lmin) t = lmin;
  if (t > lmax) t = lmax;
  const uint32_t pc = enc->prec_corr_shift;
  auto corr = [&](int64_t tau) {
    int64_t count = n - t - 2;
    if (count > n - tau) count = n - tau;
    if (count <= 0) return 0.0;
    if (pc == 0) return static_cast<double>(static_cast<int64_t>(Dot64(x, x + tau, static_cast<uint32_t>(count))));
    int64_t c = 0;
    for (int64_t k = 0; k < count; ++k) c += ShiftedProduct(x[k], x[k + tau], pc);
    return static_cast<double>(c);
  };
  double c0 = corr(t), cu = t < lmax ? corr(t + 1) : 0, cd = t > lmin ? corr(t - 1) : 0;
  bool up = t < lmax && cu > c0;
  bool down = t > lmin && cd > c0;
  int64_t lag = t;
  if (up && (!down || cu > cd)) lag = t + 1;
  else if (down) lag = t - 1;
  // Five-tap normal equations over the samples whose taps all lie in the block.
  int64_t mm[25] = {};
  int64_t vv[5] = {};
  if (pc == 0) {
    // Over i = lag+2 .. n-1, tap j reads x[i - lag + j - 2].
    const uint32_t count = static_cast<uint32_t>(n - lag - 2);
    const int32_t* base = x + lag + 2;
    for (int j = 0; j < 5; ++j) {
      const int32_t* tj = x + j;
      vv[j] = static_cast<int64_t>(Dot64(base, tj, count));
      for (int q = 0; q <= j; ++q) mm[j * 5 + q] = static_cast<int64_t>(Dot64(tj, x + q, count));
    }
  } else {
    for (int64_t i = lag + 2; i < n; ++i) {
      int32_t tap[5];
      for (int j = 0; j < 5; ++j) tap[j] = x[i - lag + j - 2];
      for (int j = 0; j < 5; ++j) {
        vv[j] += ShiftedProduct(x[i], tap[j], pc);
        for (int q = 0; q <= j; ++q) mm[j * 5 + q] += ShiftedProduct(tap[j], tap[q], pc);
      }
    }
  }
  double dm[25], dv[5], g[5] = {};
  for (int j = 0; j < 5; ++j) {
    dv[j] = static_cast<double>(vv[j]);
    for (int q = 0; q <= j; ++q) dm[j * 5 + q] = dm[q * 5 + j] = static_cast<double>(mm[j * 5 + q]);
  }
  if (!SolveLdl(dm, dv, g, 5)) return;
  int32_t idx[5];
  for (int j = 0; j < 5; ++j) idx[j] = j == 2 ? QuantiseCentre(g[j]) : QuantiseSide(g[j]);
  if (!idx[0] && !idx[1] && !idx[2] && !idx[3] && !idx[4]) return;

  uint64_t size0 = EstimateCodedSize(enc, bp);
  BLOCK_PARAM* tr = enc->pltp;
  tr->order = bp->order;
  tr->length = bp->length;
  tr->ra = bp->ra;
  tr->type = BLOCK_NORMAL;
  int32_t gq[5];
  for (int j = 0; j < 5; ++j) {
    gq[j] = j == 2 ? qcf_table[idx[j]] : idx[j] * 8;
    tr->ltp_gain[j] = idx[j];
  }
  int32_t* o = tr->d;
  for (int64_t i = 0; i < n; ++i) {
    if (i < lag - 2) {
      o[i] = x[i];
      continue;
    }
    int64_t sum = 64;
    for (int j = 0; j < 5; ++j) {
      int64_t p = i - lag + j - 2;
      if (p >= 0) sum += static_cast<int64_t>(gq[j]) * x[p];
    }
    o[i] = static_cast<int32_t>(static_cast<uint32_t>(x[i]) - static_cast<uint32_t>(static_cast<int32_t>(sum >> 7)));
  }
  uint64_t size1 = EstimateCodedSize(enc, tr) + enc->ltp_lag_bits + (static_cast<uint32_t>(idx[2]) >> 2) +
                   F1(idx[0]) + F1(idx[4]) + (F1(idx[1]) >> 1) + (F1(idx[3]) >> 1) + 13;
  if (size1 >= size0) return;
  int32_t* tmp = bp->d;
  bp->d = tr->d;
  tr->d = tmp;
  bp->ltp_lag = static_cast<uint32_t>(lag);
  for (int j = 0; j < 5; ++j) bp->ltp_gain[j] = idx[j];
}

}  // namespace nals
