// Multi-channel coding gains: three weights at the same time instant, or six with a searched
// time difference, fitted by least squares and quantised to the standard's weight indices.
#include <cmath>
#include <cstring>

#include "nalse_impl.h"

namespace nals {

namespace {

int32_t QuantiseWeight(double g) {
  if (g > 1.6) return 0;
  if (g < -1.5) return 31;
  if (g > 0) return 16 + static_cast<int32_t>(-10.0 * g - 0.5);
  return 15 + static_cast<int32_t>(-10.0 * g + 1.5);
}

}  // namespace

bool SolveLdl(double* a, double* b, double* x, int n) {
  double d[6], l[6][6];
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < i; ++j) {
      double s = a[i * n + j];
      for (int k = 0; k < j; ++k) s -= l[i][k] * d[k] * l[j][k];
      l[i][j] = s / d[j];
    }
    double s = a[i * n + i];
    for (int k = 0; k < i; ++k) s -= l[i][k] * d[k] * l[i][k];
    if (std::fabs(s) < 1e-16) return false;
    d[i] = s;
  }
  for (int i = 0; i < n; ++i) {
    double s = b[i];
    for (int k = 0; k < i; ++k) s -= l[i][k] * b[k];
    b[i] = s;
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = b[i] / d[i];
    for (int k = i + 1; k < n; ++k) s -= l[k][i] * x[k];
    x[i] = s;
  }
  return true;
}

void MCC_GetGamma_3tap(const int32_t* r, double* power, const int32_t* x, uint32_t n, int32_t* w,
                       uint32_t a) {
  w[0] = w[1] = w[2] = 16;
  if (n < 3) return;
  double p = power ? *power : 0;
  if (p == 0) {
    p = GetPrecisePower(r, n, a);
    if (power) *power = p;
  }
  int64_t c1 = 0, c2 = 0, b0 = 0, b1 = 0, b2 = 0;
  for (uint32_t i = 0; i + 1 < n; ++i) c1 += ShiftedProduct(r[i], r[i + 1], a);
  for (uint32_t i = 0; i + 2 < n; ++i) c2 += ShiftedProduct(r[i], r[i + 2], a);
  for (uint32_t i = 1; i + 1 < n; ++i) {
    b0 += ShiftedProduct(x[i], r[i - 1], a);
    b1 += ShiftedProduct(x[i], r[i], a);
    b2 += ShiftedProduct(x[i], r[i + 1], a);
  }
  const uint32_t e = n - 1, f = n - 2;
  double m[6] = {
      p - ShiftedProduct(r[f], r[f], a) - ShiftedProduct(r[e], r[e], a),
      static_cast<double>(c1) - ShiftedProduct(r[f], r[e], a),
      static_cast<double>(c2),
      p - ShiftedProduct(r[0], r[0], a) - ShiftedProduct(r[e], r[e], a),
      static_cast<double>(c1) - ShiftedProduct(r[0], r[1], a),
      p - ShiftedProduct(r[0], r[0], a) - ShiftedProduct(r[1], r[1], a),
  };
  double rhs[3] = {static_cast<double>(b0), static_cast<double>(b1), static_cast<double>(b2)};
  double g[3];
  Cholesky3(m, g, rhs);
  for (int i = 0; i < 3; ++i) w[i] = QuantiseWeight(g[i]);
}

void MCC_GetGamma_6tap(const int32_t* r, const int32_t* x, uint32_t n, int32_t* w, int32_t* lag,
                       const NALSE_IMPL* enc) {
  for (int i = 0; i < 6; ++i) w[i] = 16;
  *lag = 0;
  int64_t k = static_cast<int64_t>(n) - 6;
  int64_t kmax = int64_t{1} << enc->mcc_lag_bits;
  if (k > kmax) k = kmax;
  if (k <= 0) return;
  const uint32_t s = enc->int_resolution > 16 ? enc->int_resolution - 16 : 0;
  auto s16 = [s](int32_t v) { return static_cast<int32_t>(static_cast<int16_t>(static_cast<uint16_t>(v >> s))); };
  int64_t best_mag = 0;
  int64_t best = 0;
  auto visit = [&](int64_t t) {
    int64_t c = 0;
    int64_t from = t < 0 ? -t : 0;
    int64_t to = t < 0 ? n : static_cast<int64_t>(n) - t;
    for (int64_t i = from; i < to; ++i) c += static_cast<int64_t>(s16(x[i])) * s16(r[i + t]);
    int64_t mag = c < 0 ? -c : c;
    if (mag > best_mag) {
      best_mag = mag;
      best = t;
    }
  };
  for (int64_t t = -(k + 2); t <= -2; ++t) visit(t);
  for (int64_t t = 2; t <= k + 2; ++t) visit(t);
  if (best == 0) return;
  if (best == 2) best = 3;
  if (best == -2) best = -3;
  *lag = static_cast<int32_t>(best);
  const uint32_t a = enc->prec_corr_shift;
  int64_t from = best > 0 ? 1 : 1 - best;
  int64_t to = best > 0 ? static_cast<int64_t>(n) - 2 - best : static_cast<int64_t>(n) - 2;
  if (to < from) return;
  const int64_t off[6] = {-1, 0, 1, best - 1, best, best + 1};
  int64_t m[36] = {};
  int64_t v[6] = {};
  for (int64_t i = from; i <= to; ++i) {
    int32_t t[6];
    for (int j = 0; j < 6; ++j) t[j] = r[i + off[j]];
    for (int j = 0; j < 6; ++j) {
      v[j] += ShiftedProduct(x[i], t[j], a);
      for (int q = 0; q <= j; ++q) m[j * 6 + q] += ShiftedProduct(t[j], t[q], a);
    }
  }
  double dm[36], dv[6], g[6];
  for (int j = 0; j < 6; ++j) {
    dv[j] = static_cast<double>(v[j]);
    for (int q = 0; q <= j; ++q) dm[j * 6 + q] = dm[q * 6 + j] = static_cast<double>(m[j * 6 + q]);
  }
  if (!SolveLdl(dm, dv, g, 6)) return;
  for (int i = 0; i < 6; ++i) w[i] = QuantiseWeight(g[i]);
}

}  // namespace nals
