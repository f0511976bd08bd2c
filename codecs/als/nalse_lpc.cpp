// Block analysis of the encoder: windowed autocorrelation, PARCOR estimation and quantisation,
// adaptive order choice, and the prediction filters shared with the decoder.
#include <cmath>
#include <cstring>

#include "nals_tables.h"
#include "nalse_impl.h"

namespace nals {

void ACF_Window(ACF_CONTEXT* ctx, const int32_t* x, uint32_t n) {
  int32_t* w = ctx->work;
  uint32_t m = ctx->max_length;
  uint32_t step = 0;
  for (uint32_t c = 0; c < 32 && n; ++c) {
    if ((uint64_t{n} << c) == m) {
      step = 1u << c;
      break;
    }
    if ((uint64_t{n} << c) > m) break;
  }
  uint32_t taper = n / 10;
  if (!step || !ctx->taper || taper == 0) {
    std::memcpy(w, x, n * sizeof *w);
    return;
  }
  const int32_t* t = ctx->taper;
  auto mul = [](int32_t v, int32_t q31) {
    return static_cast<int32_t>((static_cast<int64_t>(v) * q31) >> 31);
  };
  for (uint32_t i = 0; i < taper; ++i) w[i] = mul(x[i], t[i * step]);
  for (uint32_t i = taper; i < n - taper; ++i) w[i] = x[i];
  for (uint32_t j = 0; j < taper; ++j) w[n - taper + j] = mul(x[n - taper + j], t[(taper - 1 - j) * step]);
}

namespace {

void Acf32(const int32_t* w, uint32_t n, uint32_t a, uint32_t b, int64_t* r) {
  for (uint32_t k = a; k <= b; ++k) {
    if (k >= n) {
      r[k] = 0;
      continue;
    }
    uint32_t s = 0;
    for (uint32_t i = k; i < n; ++i)
      s += static_cast<uint32_t>(w[i]) * static_cast<uint32_t>(w[i - k]);
    r[k] = static_cast<int32_t>(s);
  }
}

void Acf64(const int32_t* w, uint32_t n, uint32_t a, uint32_t b, int64_t* r) {
  for (uint32_t k = a; k <= b; ++k) r[k] = k >= n ? 0 : static_cast<int64_t>(Dot64(w + k, w, n - k));
}

uint32_t ScaleShift(uint32_t v) {
  uint32_t z = v ? static_cast<uint32_t>(__builtin_clz(v)) : 32u;
  return (34u - z) / 2u;
}

}  // namespace

void ACF_FixedPoint(ACF_CONTEXT* ctx, uint32_t n, uint32_t order, int64_t* r) {
  int32_t* w = ctx->work;
  if (n == 0) {
    for (uint32_t k = 0; k <= order; ++k) r[k] = 0;
    return;
  }
  uint64_t e = 0;
  uint32_t overflows = 0;
  for (uint32_t i = 0; i < n; ++i) {
    e += static_cast<uint64_t>(static_cast<int64_t>(w[i]) * w[i]);
    if (ctx->resolution > 24 && (e >> 63)) {
      e &= ~(uint64_t{1} << 63);
      ++overflows;
    }
  }
  if (overflows) {
    uint32_t s = ScaleShift(overflows);
    for (uint32_t i = 0; i < n; ++i) w[i] >>= s;
    Acf64(w, n, 0, order, r);
    return;
  }
  r[0] = static_cast<int64_t>(e);
  uint64_t h = e >> 31;
  if (order == 0) return;
  if (h == 0) {
    Acf32(w, n, 1, order, r);
  } else if (h >= (uint64_t{1} << 20)) {
    Acf64(w, n, 1, order, r);
  } else {
    uint32_t s = ScaleShift(static_cast<uint32_t>(h));
    for (uint32_t i = 0; i < n; ++i) w[i] >>= s;
    Acf32(w, n, 0, order, r);
  }
}

void NALSE_ACF_Calculate(ACF_CONTEXT* ctx, const int32_t* x, uint32_t n, uint32_t order,
                         int64_t* r) {
  ACF_Window(ctx, x, n);
  ACF_FixedPoint(ctx, n, order, r);
}

double GetPrecisePower(const int32_t* x, uint32_t n, uint32_t shift) {
  int64_t a = 0, b = 0;
  uint32_t i = 0;
  for (; i + 1 < n; i += 2) {
    a += (static_cast<int64_t>(x[i]) * x[i]) >> shift;
    b += (static_cast<int64_t>(x[i + 1]) * x[i + 1]) >> shift;
  }
  if (i < n) a += (static_cast<int64_t>(x[i]) * x[i]) >> shift;
  return static_cast<double>(a) + static_cast<double>(b);
}

void Cholesky3(const double* a, double* out, double* b) {
  out[0] = out[1] = out[2] = 0;
  double d0 = a[0];
  if (std::fabs(d0) < 1e-16) return;
  double i0 = 1.0 / d0;
  double l10 = a[1] * i0;
  double d1 = a[3] - l10 * (d0 * l10);
  if (std::fabs(d1) < 1e-16) return;
  double i1 = 1.0 / d1;
  double l20 = a[2] * i0;
  double l21 = (a[4] - d0 * l10 * l20) * i1;
  double d2 = a[5] - l20 * (d0 * l20) - l21 * (d1 * l21);
  if (std::fabs(d2) < 1e-16) return;
  b[1] = b[1] - l10 * b[0];
  b[2] = b[2] - (l21 * b[1] + l20 * b[0]);
  out[2] = b[2] / d2;
  out[1] = b[1] * i1 - l21 * out[2];
  out[0] = b[0] * i0 - l20 * out[2] - l10 * out[1];
}

void NALSE_PARCOR_Fixed(int8_t* asi, uint32_t valid, uint32_t order) {
  if (order == 0) return;
  if (valid == 0) asi[0] = -36;
  if (valid < 2 && order > 1) asi[1] = 26;
  for (uint32_t i = valid > 2 ? valid : 2; i < order; ++i) asi[i] = 0;
}

namespace {

int32_t QuantiseCompanded(int32_t w) {
  const int32_t* t = NALS_PARCOR_pc12_tbl;
  if (w < t[0]) return -64;
  if (w >= t[127]) return 63;
  // First entry above w.
  uint32_t lo = 0, hi = 127;
  while (lo < hi) {
    uint32_t mid = (lo + hi) / 2;
    if (t[mid] > w) hi = mid;
    else lo = mid + 1;
  }
  uint32_t idx = lo;
  int64_t above = static_cast<int64_t>(t[idx]) - w;
  int64_t below = static_cast<int64_t>(w) - t[idx - 1];
  if (below <= above) idx -= 1;
  return static_cast<int32_t>(idx) - 64;
}

inline uint32_t Fold(int32_t v) { return v >= 0 ? static_cast<uint32_t>(v) : ~static_cast<uint32_t>(v); }

uint32_t CoefBits(const LPC_CONTEXT* lpc, uint32_t i, int32_t q) {
  if (lpc->coeff_table >= 3) return 7;
  if (i <= 20) {
    const ParcorVar& pv = NALS_PARCOR_Vars[lpc->coeff_table][i - 1];
    int32_t v = q - pv.offset;
    if (pv.param == 0) return (v >= 0 ? 2u * v : 2u * Fold(v) + 1u) + 1u;
    return (Fold(v) >> (pv.param - 1)) + pv.param + 1;
  }
  if (i < 128) return (Fold(q - static_cast<int32_t>((i - 1) % 2)) >> 1) + 3;
  return Fold(q) + 2;
}

}  // namespace

uint32_t NALSE_LPC_Calculate(LPC_CONTEXT* lpc, const int32_t* x, uint32_t n, uint32_t order,
                             int8_t* asi) {
  int64_t* r = lpc->r;
  NALSE_ACF_Calculate(&lpc->acf, x, n, order, r);
  uint32_t best = lpc->adaptive ? 0 : order;
  uint64_t best_cost = 0;
  int64_t cost = 0;
  int64_t c = 0;
  if (lpc->adaptive && n) {
    uint64_t q = r[0] > 0 ? static_cast<uint64_t>(r[0]) / n : 0;
    if (q + 1 == 0) cost = 40 * static_cast<int64_t>(n);
    else cost = static_cast<int64_t>(n) * BitLength(q + 1) * 5 / 8;
    best_cost = static_cast<uint64_t>(cost);
    c = static_cast<int64_t>(n) * 9175 / 16384;
  }
  lpc->order = best;
  lpc->cost = best_cost;
  if (order == 0) return best;
  if (r[0] <= 0) {
    NALSE_PARCOR_Fixed(asi, 0, order);
    return best;
  }
  double* a = lpc->a;  // a[1..i]: predictor x^ = sum a_j x[n-j]
  double* tmp = lpc->a + order + 1;
  double e = static_cast<double>(r[0]);
  const int32_t* lt = log_table();
  for (uint32_t i = 1; i <= order; ++i) {
    double acc = static_cast<double>(r[i]);
    for (uint32_t j = 1; j < i; ++j) acc -= a[j] * static_cast<double>(r[i - j]);
    double kappa = acc / e;
    if (!(kappa > -1.0 && kappa < 1.0) || !(e > 0)) {
      NALSE_PARCOR_Fixed(asi, i - 1, order);
      break;
    }
    for (uint32_t j = 1; j < i; ++j) tmp[j] = a[j] - kappa * a[i - j];
    for (uint32_t j = 1; j < i; ++j) a[j] = tmp[j];
    a[i] = kappa;
    e *= (1.0 - kappa * kappa);
    // PARCOR value of the standard (sign of the residual filter) in Q30.
    double par = -kappa * 1073741824.0;
    int32_t k = par >= 2147483647.0 ? INT32_MAX : par <= -2147483648.0 ? INT32_MIN : static_cast<int32_t>(std::lround(par));
    int32_t qv;
    if (i == 1) qv = QuantiseCompanded(static_cast<int32_t>((static_cast<int64_t>(k) + 512) >> 10));
    else if (i == 2) qv = QuantiseCompanded(static_cast<int32_t>((512 - static_cast<int64_t>(k)) >> 10));
    else {
      qv = k >> 24;
      if (qv < -64) qv = -64;
      if (qv > 63) qv = 63;
    }
    asi[i - 1] = static_cast<int8_t>(qv);
    if (lpc->adaptive) {
      int32_t j = k >= 0 ? (k >> 22) : -(k >> 22);
      if (j > 256) j = 256;
      cost += CoefBits(lpc, i, qv);
      cost += (c * lt[j]) >> 25;
      if (cost < static_cast<int64_t>(best_cost)) {
        best_cost = cost > 0 ? static_cast<uint64_t>(cost) : 0;
        best = i;
      }
    }
    if (e <= 0) {
      NALSE_PARCOR_Fixed(asi, i, order);
      break;
    }
  }
  lpc->order = best;
  lpc->cost = best_cost;
  return best;
}

// Residual with the full order for every sample (needs order history samples before x).
void GetResidual_Full(const int32_t* x, uint32_t n, const int32_t* c, uint32_t order, int32_t* d) {
  int32_t rev[1024];
  for (uint32_t k = 0; k < order; ++k) rev[k] = c[order - 1 - k];
  for (uint32_t i = 0; i < n; ++i) d[i] = Add32(x[i], Q20Round(Dot64(rev, x + (static_cast<int64_t>(i) - order), order)));
}

uint32_t GetResidual_RA(const int32_t* x, uint32_t n, int32_t* c, uint32_t order, int32_t* d) {
  uint32_t k = order < n ? order : n;
  for (uint32_t i = 0; i < k; ++i) {
    uint64_t s = 0;
    for (uint32_t j = 0; j < i; ++j)
      s += static_cast<uint64_t>(static_cast<int64_t>(c[j]) * x[i - 1 - j]);
    d[i] = Add32(x[i], Q20Round(s));
    if (!ParcorStep(i, c[i], c)) return i;
  }
  // Raise the remaining coefficients so that the rest of the block uses the full order.
  for (uint32_t i = k; i < order; ++i)
    if (!ParcorStep(i, c[i], c)) return i;
  if (order < n) GetResidual_Full(x + order, n - order, c, order, d + order);
  return order;
}

void GetSignal(int32_t* x, uint32_t n, const int32_t* c, uint32_t order) {
  int32_t rev[1024];
  for (uint32_t k = 0; k < order; ++k) rev[k] = c[order - 1 - k];
  for (uint32_t i = 0; i < n; ++i) x[i] = Sub32(x[i], Q20Round(Dot64(rev, x + (static_cast<int64_t>(i) - order), order)));
}

void MCC_Synthesize(const int32_t* ref, const int32_t* e, uint32_t n, const MCC_STAGE& st,
                    int32_t* out) {
  if (out != e) std::memcpy(out, e, n * sizeof *out);
  if (st.taps != 3 && st.taps != 6) return;
  if (n < 3) return;
  int64_t begin = 1, end = static_cast<int64_t>(n) - 1;
  int64_t t = st.taps == 6 ? st.lag : 0;
  if (st.taps == 6) {
    if (t < 0) begin -= t;
    else end -= t;
  }
  int32_t w[6];
  for (int i = 0; i < 6; ++i) w[i] = gmmtable[st.w[i] & 31];
  for (int64_t i = begin; i < end; ++i) {
    int64_t y = 64 + static_cast<int64_t>(w[0]) * ref[i - 1] + static_cast<int64_t>(w[1]) * ref[i] +
                static_cast<int64_t>(w[2]) * ref[i + 1];
    if (st.taps == 6)
      y += static_cast<int64_t>(w[3]) * ref[i - 1 + t] + static_cast<int64_t>(w[4]) * ref[i + t] +
           static_cast<int64_t>(w[5]) * ref[i + 1 + t];
    out[i] = Sub32(e[i], static_cast<int32_t>(y >> 7));
  }
}

}  // namespace nals
