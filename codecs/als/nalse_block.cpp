// Per-block stages of the encoder: analysis (constant test, LSB shift, order bound, LPC),
// residual calculation, Rice parameter choice, block coding and size estimation.
#include <cstring>

#include "nals_tables.h"
#include "nalse_impl.h"

namespace nals {

namespace {

uint32_t CountTrailingZeros(uint32_t v) { return v ? static_cast<uint32_t>(__builtin_ctz(v)) : 32u; }

// Shifts history (plainly) and block (with the optional round-up) right by s.
void ShiftBlock(const NALSE_IMPL* enc, int32_t* x, uint32_t n, uint32_t s, bool roundup) {
  uint32_t p = enc->asc.max_order;
  for (uint32_t i = 0; i < p; ++i) x[static_cast<int64_t>(i) - p] >>= s;
  if (!roundup) {
    for (uint32_t i = 0; i < n; ++i) x[i] >>= s;
    return;
  }
  uint32_t keep = enc->int_resolution - 1 > s ? enc->int_resolution - 1 - s : 0;
  uint32_t mask = keep >= 32 ? ~0u : (1u << keep) - 1u;
  for (uint32_t i = 0; i < n; ++i) {
    int32_t v = x[i];
    int32_t k = v >> s;
    bool half = (static_cast<uint32_t>(v) >> (s - 1)) & 1u;
    if (half && (static_cast<uint32_t>(k) & mask) != mask) k += 1;
    x[i] = k;
  }
}

void UnshiftBlock(const NALSE_IMPL* enc, int32_t* x, uint32_t n, uint32_t s) {
  uint32_t p = enc->asc.max_order;
  std::memcpy(x - p, enc->hist_save, p * sizeof *x);
  for (uint32_t i = 0; i < n; ++i) x[i] = Shl32(x[i], s);
}

uint32_t Lg(uint32_t v) {
  if (v < 1) return 0;
  uint32_t p = 31u - static_cast<uint32_t>(__builtin_clz(v));
  uint32_t m = v << (30 - p);
  uint32_t j = (m >> 25) - 32;
  uint32_t f = (m >> 10) & 0x7FFF;
  return 32768u * p + log2_tbl[j] + ((f * static_cast<uint32_t>(log2_tbl[j + 1] - log2_tbl[j])) >> 15);
}

uint32_t ParamFor(uint64_t sum, uint32_t count, uint32_t cap) {
  if (sum <= (static_cast<uint64_t>(count) * 34656u) >> 16) return 0;
  uint32_t e = BitLength(sum >> 31);
  int64_t v = (32768 * static_cast<int64_t>(e) + Lg(static_cast<uint32_t>(sum >> e)) -
               static_cast<int64_t>(Lg(count)) + 31815) >> 11;
  if (v < 0) v = 0;
  if (v > cap) v = cap;
  return static_cast<uint32_t>(v) & ~15u;
}

inline uint64_t Abs(int32_t v) { return v < 0 ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(v)) : static_cast<uint64_t>(v); }

inline uint64_t RiceLength(int32_t v, uint32_t s) {
  if (s == 0) return (v >= 0 ? 2ull * static_cast<uint32_t>(v) : 2ull * ~static_cast<uint32_t>(v) + 1) + 1;
  uint32_t m = v >= 0 ? static_cast<uint32_t>(v) : ~static_cast<uint32_t>(v);
  return (m >> (s - 1)) + s + 1;
}

uint32_t RaCount(const BLOCK_PARAM* bp) {
  if (!bp->ra) return 0;
  uint32_t w = bp->order < bp->length ? bp->order : bp->length;
  return w < 3 ? w : 3;
}

}  // namespace

void CopyBlock(BLOCK_PARAM* dst, const BLOCK_PARAM* src, uint32_t max_order) {
  int32_t* d = dst->d;
  int8_t* asi = dst->asi;
  MCC_STAGE* st = dst->mcc_stages;
  *dst = *src;
  dst->d = d;
  dst->asi = asi;
  dst->mcc_stages = st;
  std::memcpy(d, src->d, (src->length + 3) * sizeof *d);
  if (max_order) std::memcpy(asi, src->asi, max_order);
  std::memcpy(st, src->mcc_stages, kMaxMccStages * sizeof *st);
}

int32_t EncodeBlockAnalysis(NALSE_IMPL* enc, BLOCK_PARAM* bp, int32_t* x, uint32_t n,
                            uint32_t ra, uint32_t mcc_flag, uint32_t channel) {
  bp->coded_bit_size = 0;
  bp->joint_stereo = 0;
  bp->length = n;
  bp->ra = ra;
  bp->type = BLOCK_CONST;
  bp->mcc = mcc_flag ? 0 : -1;
  bp->lsb_shift = 0;
  bp->order = 0;
  bp->ltp = 0;
  bp->ltp_lag = 0;
  bp->power = 0;
  const uint32_t r = enc->int_resolution;
  int32_t v = n ? x[0] : 0;
  bool constant = true;
  for (uint32_t i = 1; i < n && constant; ++i) constant = x[i] == v;
  int64_t lim = int64_t{1} << (r - 1);
  if (constant && v >= -lim && v < lim) return 1;

  bp->type = BLOCK_NORMAL;
  const uint32_t p = enc->asc.max_order;
  uint32_t s = 0;
  if (enc->lsb_check) {
    uint32_t all = 0;
    for (uint32_t i = 0; i < n; ++i) all |= static_cast<uint32_t>(x[i]);
    s = CountTrailingZeros(all);
    if (s > 16) s = 16;
    if (s < enc->lsb_forth_shift) s = enc->lsb_forth_shift;
  }
  bp->lsb_shift = s;
  if (s) {
    std::memcpy(enc->hist_save, x - p, p * sizeof *x);
    ShiftBlock(enc, x, n, s, enc->lsb_roundup && enc->lsb_forth_shift >= s);
  }
  uint32_t bound = p;
  if (enc->asc.adaptive) {
    uint32_t b = OrderBits(n, p);
    uint32_t lim_order = (1u << b) - 1u;
    if (lim_order < bound) bound = lim_order;
  }
  enc->lpc.order = 0;
  enc->lpc.cost = 0;
  bp->order = NALSE_LPC_Calculate(&enc->lpc, x, n, bound, bp->asi);
  if (s) UnshiftBlock(enc, x, n, s);
  if ((enc->lpc.order || enc->lpc.cost) && enc->encode_callback) {
    uint64_t est = enc->lpc.cost;
    int32_t bits = static_cast<int32_t>(static_cast<uint32_t>(est));
    return enc->encode_callback(enc, static_cast<int32_t>(channel), bits, 1) ? 1 : 0;
  }
  return 1;
}

void CalculateResidual(NALSE_IMPL* enc, BLOCK_PARAM* bp, int32_t* x) {
  const uint32_t n = bp->length;
  if (bp->type == BLOCK_CONST) {
    for (uint32_t i = 0; i < n; ++i) bp->d[i] = x[0];
    bp->ltp_lag = 0;
    return;
  }
  const uint32_t p = enc->asc.max_order;
  const uint32_t s = bp->lsb_shift;
  if (s) {
    std::memcpy(enc->hist_save, x - p, p * sizeof *x);
    ShiftBlock(enc, x, n, s, false);
  }
  int32_t* cof = enc->cof;
  for (;;) {
    uint32_t order = bp->order;
    for (uint32_t i = 0; i < order; ++i) cof[i] = NALS_PARCOR_Reconstruct_Single(bp->asi[i], i);
    uint32_t ok = order;
    if (bp->ra) {
      ok = GetResidual_RA(x, n, cof, order, bp->d);
    } else {
      for (uint32_t i = 0; i < order; ++i)
        if (!ParcorStep(i, cof[i], cof)) {
          ok = i;
          break;
        }
      if (ok == order) GetResidual_Full(x, n, cof, order, bp->d);
    }
    if (ok == order) break;
    if (enc->asc.adaptive) bp->order = ok;
    else NALSE_PARCOR_Fixed(bp->asi, ok, order);
  }
  bp->ltp_lag = 0;
  if (enc->asc.ltp) LTP_Analysis(bp, enc);
  if (s) UnshiftBlock(enc, x, n, s);
}

uint32_t GetCodeParameters(const NALSE_IMPL* enc, uint32_t n, const int32_t* d, uint32_t w,
                           uint32_t* params) {
  uint32_t count = 1, sub = n;
  if (enc->asc.subblock_part && n >= 32 && n % 4 == 0) {
    count = 4;
    sub = n / 4;
  }
  const uint32_t cap = enc->int_resolution <= 16 ? 255 : 511;
  for (uint32_t k = 0; k < count; ++k) {
    uint64_t sum = 0;
    uint32_t c = sub;
    uint32_t from = k * sub;
    if (k == 0 && w > 0) {
      from = w < sub ? w : sub;
      c = sub - 1;
      if (w >= 2) sum += Abs(d[1]) >> 3;
      if (w == 3) sum += Abs(d[2]) >> 1;
    }
    for (uint32_t i = from; i < (k + 1) * sub; ++i) sum += Abs(d[i]);
    params[k] = ParamFor(sum, c, cap);
  }
  if (count == 4 && params[0] == params[1] && params[1] == params[2] && params[2] == params[3])
    count = 1;
  return count;
}

uint64_t EstimateCodedSize(const NALSE_IMPL* enc, const BLOCK_PARAM* bp) {
  uint32_t params[4];
  const uint32_t n = bp->length;
  const uint32_t w = RaCount(bp);
  uint32_t count = GetCodeParameters(enc, n, bp->d, w, params);
  uint64_t bits = 0;
  for (uint32_t k = 1; k < count; ++k)
    bits += RiceLength(static_cast<int32_t>(params[k] >> 4) - static_cast<int32_t>(params[k - 1] >> 4), 0);
  uint32_t s0 = params[0] >> 4;
  uint32_t smax = enc->int_resolution <= 16 ? 15 : 31;
  if (w > 0) bits += RiceLength(bp->d[0], enc->int_resolution - 4);
  if (w >= 2) bits += RiceLength(bp->d[1], s0 + 3 < smax ? s0 + 3 : smax);
  if (w >= 3) bits += RiceLength(bp->d[2], s0 + 1 < smax ? s0 + 1 : smax);
  uint32_t sub = n / count;
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t from = k == 0 ? w : k * sub;
    for (uint32_t i = from; i < (k + 1) * sub; ++i) bits += RiceLength(bp->d[i], params[k] >> 4);
  }
  return bits;
}

int32_t EncodeBlockCoding(NALSE_IMPL* enc, BLOCK_PARAM* bp, uint8_t* out, uint32_t size,
                          uint32_t channel) {
  NALSE_BITWRITER bw;
  NALSE_BW_Init(&bw, out, size, 0);
  const uint32_t r = enc->int_resolution;
  const uint32_t n = bp->length;
  if (bp->type == BLOCK_CONST) {
    int32_t v = bp->d[0];
    if (v != 0) {
      PutBits_LE32(&bw, bp->joint_stereo ? 96 : 64, 8);
      uint32_t u = static_cast<uint32_t>(v);
      if (r == 8) PutBits_LE32(&bw, (u - 128u) & 255u, 8);
      else PutBits_LE32(&bw, u, r);
    } else {
      PutBits_LE32(&bw, bp->joint_stereo ? 32 : 0, 8);
    }
  } else {
    const uint32_t w = RaCount(bp);
    uint32_t params[4];
    uint32_t count = GetCodeParameters(enc, n, bp->d, w, params);
    PutBits_LE32(&bw, 2u | (bp->joint_stereo ? 1u : 0u), 2);
    if (enc->asc.subblock_part) PutBits_LE32(&bw, count == 4 ? 1 : 0, 1);
    PutBits_LE32(&bw, params[0] >> 4, r <= 16 ? 4 : 5);
    for (uint32_t k = 1; k < count; ++k)
      NALSE_BW_PutRiceBits(&bw, static_cast<int32_t>(params[k] >> 4) - static_cast<int32_t>(params[k - 1] >> 4), 0);
    if (bp->lsb_shift) PutBits_LE32(&bw, 16u | (bp->lsb_shift - 1), 5);
    else PutBits_LE32(&bw, 0, 1);
    if (enc->asc.adaptive) PutBits_LE32(&bw, bp->order, OrderBits(n, enc->asc.max_order));
    for (uint32_t k = 0; k < bp->order; ++k) {
      int32_t q = bp->asi[k];
      if (enc->asc.coeff_table == 3) PutBits_LE32(&bw, static_cast<uint32_t>(q + 64), 7);
      else if (k < 20) NALSE_BW_PutRiceBits(&bw, q - enc->pcv[k].offset, static_cast<uint32_t>(enc->pcv[k].param));
      else if (k < 127) NALSE_BW_PutRiceBits(&bw, q - static_cast<int32_t>(k & 1), 2);
      else NALSE_BW_PutRiceBits(&bw, q, 1);
    }
    if (enc->asc.ltp) {
      if (bp->ltp_lag) {
        PutBits_LE32(&bw, 1, 1);
        NALSE_BW_PutRiceBits(&bw, bp->ltp_gain[0], 1);
        NALSE_BW_PutRiceBits(&bw, bp->ltp_gain[1], 2);
        uint32_t g = static_cast<uint32_t>(bp->ltp_gain[2]);
        PutBits_LE32(&bw, (1u << (g >> 2)) - 1u, g >> 2);
        PutBits_LE32(&bw, 0, 1);
        PutBits_LE32(&bw, g & 3u, 2);
        NALSE_BW_PutRiceBits(&bw, bp->ltp_gain[3], 2);
        NALSE_BW_PutRiceBits(&bw, bp->ltp_gain[4], 1);
        uint32_t base = (bp->order > 3 ? bp->order : 3) + 1;
        PutBits_LE32(&bw, bp->ltp_lag - base, enc->ltp_lag_bits);
      } else {
        PutBits_LE32(&bw, 0, 1);
      }
    }
    uint32_t smax = r <= 16 ? 15 : 31;
    uint32_t s0 = params[0] >> 4;
    if (w > 0) NALSE_BW_PutRiceBits(&bw, bp->d[0], r - 4);
    if (w >= 2) NALSE_BW_PutRiceBits(&bw, bp->d[1], s0 + 3 < smax ? s0 + 3 : smax);
    if (w >= 3) NALSE_BW_PutRiceBits(&bw, bp->d[2], s0 + 1 < smax ? s0 + 1 : smax);
    NALSE_BW_PutRiceBlocks(&bw, bp->d, w, params, n, count);
  }
  if (bp->mcc >= 0) {
    if (bp->type == BLOCK_NORMAL) {
      for (int32_t i = 0; i < bp->mcc; ++i) {
        const MCC_STAGE& st = bp->mcc_stages[i];
        PutBits_LE32(&bw, 0, 1);
        PutBits_LE32(&bw, static_cast<uint32_t>(st.master), enc->ch_bits);
        if (st.taps != 3 && st.taps != 6) continue;
        PutBits_LE32(&bw, st.taps == 6 ? 1 : 0, 1);
        NALSE_BW_PutRiceBits(&bw, st.w[0] - 16, 1);
        NALSE_BW_PutRiceBits(&bw, st.w[1] - 14, 2);
        NALSE_BW_PutRiceBits(&bw, st.w[2] - 16, 1);
        if (st.taps == 6) {
          for (int j = 3; j < 6; ++j) NALSE_BW_PutRiceBits(&bw, st.w[j] - 16, 1);
          PutBits_LE32(&bw, st.lag < 0 ? 1 : 0, 1);
          uint32_t mag = static_cast<uint32_t>(st.lag < 0 ? -st.lag : st.lag);
          PutBits_LE32(&bw, mag - 3, enc->mcc_lag_bits);
        }
      }
    }
    PutBits_LE32(&bw, 1, 1);
  }
  bp->coded_bit_size = static_cast<uint32_t>(NALSE_BW_BitCount(&bw));
  NALSE_BW_Align(&bw);
  uint64_t bits = NALSE_BW_BitCount(&bw);
  int32_t bytes = NALSE_BW_Finish(&bw);
  if (bytes < 0) return NALS_ERR_WRITE;
  if (enc->encode_callback && !enc->trial)
    enc->encode_callback(enc, static_cast<int32_t>(channel), static_cast<int32_t>(bits), 0);
  return bytes;
}

}  // namespace nals
