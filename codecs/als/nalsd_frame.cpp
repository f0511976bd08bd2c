// Frame decoder: block syntax, joint stereo, multi-channel correlation, long-term prediction
// and the inverse prediction filter. Every block starts on a byte boundary.
#include <cstring>
#include <initializer_list>

#include "nals_bitio.h"
#include "nals_tables.h"
#include "nalsd_impl.h"

using namespace nals;

namespace {

// Reads bytes from the stream, keeping the random-access unit check in mind.
uint64_t ReadLimit(NALSD_IMPL* dec, NALS_STREAM* in, uint64_t want) {
  if (!dec->ra_check) return want;
  uint64_t pos = 0;
  if (!NALS_Stream_Tell(in, &pos)) {
    dec->ra_check = 0;
    return want;
  }
  uint64_t used = pos - dec->ra_unit_start;
  uint64_t left = used < dec->ra_unit_size ? dec->ra_unit_size - used : 0;
  return want < left ? want : left;
}

void Tell(NALSD_IMPL* dec, int32_t code, uint64_t value) { dec->info_callback(dec, code, value, nullptr, 0); }

}  // namespace

namespace {

int32_t DecodeBlockParameters_Type(NALSD_IMPL* dec, NALS_STREAM* in, uint8_t first, uint32_t ch,
                                   uint32_t offset, uint32_t len, uint32_t ra, uint32_t mcc) {
  const NALS_ASC& a = dec->asc;
  const uint32_t r = dec->int_resolution;
  const uint32_t p = a.max_order;
  const uint64_t bps = r / 8;
  DEC_BLOCK* b = &dec->blocks[ch];
  std::memset(b, 0, sizeof *b);
  b->length = len;
  b->ra = ra;
  int32_t* x = dec->x[ch] + p + offset;
  uint64_t bound;
  if (!(first & 0x80)) bound = (first & 0x40) ? bps : 0;
  else bound = (bps + 1) * len + 4ull * p + 128;
  if (mcc) bound += 64ull * a.channels;
  if (bound + 1 > dec->staging_size) bound = dec->staging_size - 1;
  bound = ReadLimit(dec, in, bound);
  dec->staging[0] = first;
  uint64_t got = NALS_Stream_Read(dec->staging + 1, bound, in);
  NALSD_BITREADER br;
  NALSD_BR_Init(&br, dec->staging, static_cast<uint32_t>(got + 1));
  GetBits_LE32(&br, 2);
  dec->lpc_order[ch] = 0;
  if (!(first & 0x80)) {
    b->kind = 1;
    b->js = (first >> 5) & 1;
    GetBits_LE32(&br, 6);
    int32_t v = 0;
    if (first & 0x40) {
      uint32_t u = GetBits_LE32(&br, r);
      if (r == 8) v = static_cast<int32_t>(u) - 128;
      else if (r == 32) v = static_cast<int32_t>(u);
      else v = static_cast<int32_t>(u << (32 - r)) >> (32 - r);
    }
    for (uint32_t i = 0; i < len; ++i) x[i] = v;
  } else {
    b->kind = 2;
    b->js = (first >> 6) & 1;
    uint32_t count = 1;
    if (a.subblock_part && GetBit(&br)) count = 4;
    if (count == 4 && len % 4) return NALS_ERR_SUBBLOCKS;
    const uint32_t smax = r > 16 ? 31 : 15;
    uint32_t s[4];
    s[0] = GetBits_LE32(&br, r > 16 ? 5 : 4);
    for (uint32_t k = 1; k < count; ++k) {
      int32_t d = NALSD_BR_GetRiceBits(&br, 0);
      int64_t v = static_cast<int64_t>(s[k - 1]) + d;
      if (v < 0 || v > smax) return NALS_ERR_RICE_PARAM;
      s[k] = static_cast<uint32_t>(v);
    }
    if (GetBit(&br)) b->shift = GetBits_LE32(&br, 4) + 1;
    b->order = p;
    if (a.adaptive && p) b->order = GetBits_LE32(&br, OrderBits(len, p));
    if (b->order > p) return NALS_ERR_ORDER;
    int32_t* par = dec->parcor + static_cast<uint64_t>(ch) * p;
    for (uint32_t k = 0; k < b->order; ++k) {
      int32_t q;
      if (a.coeff_table == 3) q = static_cast<int32_t>(GetBits_LE32(&br, 7)) - 64;
      else if (k < 20) {
        const ParcorVar& pv = NALS_PARCOR_Vars[a.coeff_table][k];
        q = NALSD_BR_GetRiceBits(&br, static_cast<uint32_t>(pv.param)) + pv.offset;
      } else if (k < 127) {
        q = NALSD_BR_GetRiceBits(&br, 2) + static_cast<int32_t>(k & 1);
      } else {
        q = NALSD_BR_GetRiceBits(&br, 1);
      }
      if (q < -64 || q > 63) return NALS_ERR_PARCOR;
      par[k] = NALS_PARCOR_Reconstruct_Single(q, k);
    }
    if (a.ltp) {
      b->ltp = GetBit(&br);
      if (b->ltp) {
        int32_t g[5];
        g[0] = NALSD_BR_GetRiceBits(&br, 1);
        g[1] = NALSD_BR_GetRiceBits(&br, 2);
        uint32_t u = NALSD_BR_GetUnary(&br, 3);
        if (u > 3) return NALS_ERR_LTP_GAIN;
        uint32_t c = (u << 2) | GetBits_LE32(&br, 2);
        g[3] = NALSD_BR_GetRiceBits(&br, 2);
        g[4] = NALSD_BR_GetRiceBits(&br, 1);
        for (int j : {0, 1, 3, 4})
          if (g[j] < -8 || g[j] > 8) return NALS_ERR_LTP_GAIN;
        for (int j : {0, 1, 3, 4}) b->gain[j] = g[j] * 8;
        b->gain[2] = qcf_table[c & 15];
        uint32_t base = b->order + 1 > 4 ? b->order + 1 : 4;
        b->lag = GetBits_LE32(&br, dec->ltp_lag_bits) + base;
      }
    }
    uint32_t w = 0;
    if (ra) {
      w = b->order < len ? b->order : len;
      if (w > 3) w = 3;
      if (count == 4 && len / 4 < w) return NALS_ERR_SUBBLOCKS;
      if (w > 0) x[0] = NALSD_BR_GetRiceBits(&br, r - 4);
      if (w > 1) x[1] = NALSD_BR_GetRiceBits(&br, s[0] + 3 < smax ? s[0] + 3 : smax);
      if (w > 2) x[2] = NALSD_BR_GetRiceBits(&br, s[0] + 1 < smax ? s[0] + 1 : smax);
    }
    uint32_t sub = len / count;
    for (uint32_t k = 0; k < count && !br.overrun; ++k) {
      uint32_t from = k == 0 ? w : k * sub;
      uint32_t to = (k + 1) * sub;
      if (to > from) NALSD_BR_GetRiceBlock(&br, x + from, s[k], to - from);
    }
  }
  if (mcc) {
    while (!GetBit(&br)) {
      if (br.overrun) return NALS_ERR_READ;
      // The list is capped at the encoder's maximum: longer lists are refused.
      if (b->stages >= kDecMaxStages) return NALS_ERR_MCC_WEIGHT;
      DEC_STAGE& st = b->stage[b->stages];
      st.master = GetBits_LE32(&br, dec->ch_bits);
      if (st.master >= a.channels) return NALS_ERR_MCC_MASTER;
      st.time_diff = 0;
      st.lag = 0;
      for (int32_t& v : st.w) v = 0;
      if (st.master != ch) {
        st.time_diff = GetBit(&br);
        int32_t idx[6];
        idx[0] = NALSD_BR_GetRiceBits(&br, 1) + 16;
        idx[1] = NALSD_BR_GetRiceBits(&br, 2) + 14;
        idx[2] = NALSD_BR_GetRiceBits(&br, 1) + 16;
        int nw = 3;
        if (st.time_diff) {
          idx[3] = NALSD_BR_GetRiceBits(&br, 1) + 16;
          idx[4] = NALSD_BR_GetRiceBits(&br, 1) + 16;
          idx[5] = NALSD_BR_GetRiceBits(&br, 1) + 16;
          nw = 6;
          uint32_t neg = GetBit(&br);
          int32_t mag = static_cast<int32_t>(GetBits_LE32(&br, dec->mcc_lag_bits)) + 3;
          st.lag = neg ? -mag : mag;
        }
        for (int i = 0; i < nw; ++i) {
          if (idx[i] < 0 || idx[i] > 31) return NALS_ERR_MCC_WEIGHT;
          st.w[i] = gmmtable[idx[i]];
        }
      }
      b->stages += 1;
      if (NALS_Profile_CheckConformane_MCCStages(&dec->conformant_profiles, b->stages)) {
        Tell(dec, NALS_INFO_CONFORMANT_PROFILES, dec->conformant_profiles);
      }
      if ((dec->enforced_profiles & dec->conformant_profiles) != dec->enforced_profiles) return NALS_ERR_PROFILE;
    }
  }
  if (br.overrun) return NALS_ERR_READ;
  NALSD_BR_Align(&br);
  uint64_t used = br.position / 8;
  uint64_t surplus = got + 1 - used;
  if (surplus && !NALS_Stream_Seek(in, -static_cast<int64_t>(surplus), 1)) return NALS_ERR_READ;
  return 0;
}

}  // namespace

namespace {

bool Use32(uint32_t r, const int32_t* w, int n) {
  if (r < 24) return true;
  if (r > 24) return false;
  uint32_t sum = 0;
  for (int i = 0; i < n; ++i) sum += static_cast<uint32_t>(w[i] < 0 ? -w[i] : w[i]);
  return sum <= 255;
}

int32_t DecodeBlockReconstruct(NALSD_IMPL* dec, uint32_t ch, uint32_t offset) {
  DEC_BLOCK* b = &dec->blocks[ch];
  if (b->kind != 2) {
    dec->lpc_order[ch] = 0;
    return 0;
  }
  const uint32_t p = dec->asc.max_order;
  const uint32_t len = b->length;
  int32_t* x = dec->x[ch] + p + offset;
  int32_t* cof = dec->parcor + static_cast<uint64_t>(ch) * p;
  const uint32_t order = b->order;
  if (b->ltp) {
    const int64_t tau = b->lag;
    if (static_cast<int64_t>(len) <= tau + 2) return NALS_ERR_LTP_SHORT;
    const bool narrow = Use32(dec->int_resolution, b->gain, 5);
    for (int64_t n = tau - 2 > 0 ? tau - 2 : 0; n < len; ++n) {
      if (narrow) {
        uint32_t y = 64;
        for (int j = 0; j < 5; ++j) {
          int64_t i = n - tau + j - 2;
          if (i >= 0) y += static_cast<uint32_t>(b->gain[j]) * static_cast<uint32_t>(x[i]);
        }
        x[n] = Add32(x[n], static_cast<int32_t>(y) >> 7);
      } else {
        int64_t y = 64;
        for (int j = 0; j < 5; ++j) {
          int64_t i = n - tau + j - 2;
          if (i >= 0) y += static_cast<int64_t>(b->gain[j]) * x[i];
        }
        x[n] = Add32(x[n], static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(y >> 7))));
      }
    }
  }
  const uint32_t s = b->shift;
  if (s && p) {
    std::memcpy(dec->hist_save, x - p, p * sizeof *x);
    for (uint32_t i = 0; i < p; ++i) x[static_cast<int64_t>(i) - p] >>= s;
  }
  if (b->ra) {
    uint32_t k = order < len ? order : len;
    for (uint32_t i = 0; i < k; ++i) {
      uint64_t sum = 0;
      for (uint32_t j = 0; j < i; ++j) sum += static_cast<uint64_t>(static_cast<int64_t>(cof[j]) * x[i - 1 - j]);
      x[i] = Sub32(x[i], Q20Round(sum));
      ParcorStep(i, cof[i], cof);
    }
    for (uint32_t i = k; i < order; ++i) ParcorStep(i, cof[i], cof);
    if (order < len) GetSignal(x + order, len - order, cof, order);
  } else {
    for (uint32_t i = 0; i < order; ++i) ParcorStep(i, cof[i], cof);
    GetSignal(x, len, cof, order);
  }
  if (s) {
    if (p) std::memcpy(x - p, dec->hist_save, p * sizeof *x);
    for (uint32_t i = 0; i < len; ++i) x[i] = Shl32(x[i], s);
  }
  dec->lpc_order[ch] = order;
  return 0;
}

// Adds the weighted master residual back to the channels of each stage, last stage first.
int32_t RevertMcc(NALSD_IMPL* dec, uint32_t offset) {
  const uint32_t c = dec->asc.channels;
  const uint32_t p = dec->asc.max_order;
  uint32_t top = 0;
  for (uint32_t i = 0; i < c; ++i) top = dec->blocks[i].stages > top ? dec->blocks[i].stages : top;
  uint8_t* done = dec->staging;  // the block bytes are parsed already
  for (uint32_t s = top; s-- > 0;) {
    for (uint32_t i = 0; i < c; ++i) {
      const DEC_BLOCK& b = dec->blocks[i];
      done[i] = b.stages <= s || b.stage[s].master == i;
    }
    for (uint32_t pass = 0;; ++pass) {
      bool all = true, progress = false;
      for (uint32_t t = 0; t < c; ++t) {
        if (done[t]) continue;
        const DEC_BLOCK& b = dec->blocks[t];
        const DEC_STAGE& st = b.stage[s];
        if (b.kind != 2) return NALS_ERR_MCC_REFERENCE;
        if (!done[st.master]) {
          all = false;
          continue;
        }
        const int32_t* m = dec->x[st.master] + p + offset;
        int32_t* e = dec->x[t] + p + offset;
        const int64_t n = b.length;
        int64_t begin = 1, end = n - 1;
        const int64_t lag = st.time_diff ? st.lag : 0;
        if (lag < 0) begin -= lag;
        else end -= lag;
        const int nw = st.time_diff ? 6 : 3;
        const bool narrow = Use32(dec->int_resolution, st.w, nw);
        const int64_t off[6] = {-1, 0, 1, lag - 1, lag, lag + 1};
        for (int64_t i = begin; i < end; ++i) {
          if (narrow) {
            uint32_t y = 64;
            for (int j = 0; j < nw; ++j) y += static_cast<uint32_t>(st.w[j]) * static_cast<uint32_t>(m[i + off[j]]);
            e[i] = Add32(e[i], static_cast<int32_t>(y) >> 7);
          } else {
            int64_t y = 64;
            for (int j = 0; j < nw; ++j) y += static_cast<int64_t>(st.w[j]) * m[i + off[j]];
            e[i] = Add32(e[i], static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(y >> 7))));
          }
        }
        done[t] = 1;
        progress = true;
      }
      if (all) break;
      if (!progress || pass >= c) return NALS_ERR_MCC_CYCLE;
    }
  }
  return 0;
}

uint32_t ExpandPartition(uint32_t bits, uint32_t n, uint32_t level, uint32_t node, uint32_t* out, uint32_t count) {
  if (level < 5 && node < 31 && ((bits >> (30 - node)) & 1u)) {
    count = ExpandPartition(bits, n, level + 1, 2 * node + 1, out, count);
    return ExpandPartition(bits, n, level + 1, 2 * node + 2, out, count);
  }
  out[count] = n >> level;
  return count + 1;
}

}  // namespace

uint32_t GetBlockPartition(uint32_t bs_info, uint32_t frame_length, uint32_t samples, uint32_t* lengths) {
  uint32_t count = ExpandPartition(bs_info, frame_length, 0, 0, lengths, 0);
  uint64_t sum = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (lengths[i] == 0) return 0;
    // A split of a length that does not halve evenly leaves the blocks short of the frame.
    sum += lengths[i];
  }
  if (sum != frame_length) return 0;
  if (samples >= frame_length) return count;
  uint32_t acc = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (acc + lengths[i] >= samples) {
      lengths[i] = samples - acc;
      return lengths[i] ? i + 1 : i;
    }
    acc += lengths[i];
  }
  return count;
}

namespace {

int32_t ReadBsInfo(NALSD_IMPL* dec, NALS_STREAM* in, uint32_t* bits) {
  *bits = 0;
  uint32_t nb = dec->bs_info_bytes;
  if (!nb) return 0;
  uint8_t b[4] = {};
  if (ReadLimit(dec, in, nb) < nb || NALS_Stream_Read(b, nb, in) != nb) return NALS_ERR_READ;
  if (in->functions && in->functions->error && in->functions->error(in)) return NALS_ERR_READ;
  *bits = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
  return 0;
}

int32_t ReadFirst(NALSD_IMPL* dec, NALS_STREAM* in, uint8_t* first) {
  if (ReadLimit(dec, in, 1) < 1 || NALS_Stream_Read(first, 1, in) != 1) return NALS_ERR_READ;
  return 0;
}

// Decodes one block of a channel and reconstructs it; with a pair partner given, a difference
// block is predicted from the difference history.
int32_t DecodeChannelBlock(NALSD_IMPL* dec, NALS_STREAM* in, uint32_t ch, uint32_t offset, uint32_t len,
                           uint32_t ra, int64_t partner, uint32_t first_ch) {
  uint8_t first;
  int32_t r = ReadFirst(dec, in, &first);
  if (r) return r;
  r = DecodeBlockParameters_Type(dec, in, first, ch, offset, len, ra, 0);
  if (r) return r;
  const uint32_t p = dec->asc.max_order;
  const bool js = partner >= 0 && dec->blocks[ch].js && dec->blocks[ch].kind == 2;
  int32_t* x = dec->x[ch] + p + offset;
  if (js && p) {
    // Prediction of a difference block runs on the difference history (second - first).
    const int32_t* x0 = dec->x[first_ch] + p + offset;
    const int32_t* x1 = dec->x[first_ch + 1] + p + offset;
    int32_t* save = dec->js_save;
    std::memcpy(save, x - p, p * sizeof *x);
    for (int64_t i = -static_cast<int64_t>(p); i < 0; ++i) x[i] = Sub32(x1[i], x0[i]);
    r = DecodeBlockReconstruct(dec, ch, offset);
    std::memcpy(x - p, save, p * sizeof *x);
    return r;
  }
  return DecodeBlockReconstruct(dec, ch, offset);
}

void StoreHistory(NALSD_IMPL* dec, uint32_t len) {
  const uint32_t p = dec->asc.max_order;
  for (uint32_t c = 0; c < dec->asc.channels; ++c)
    std::memcpy(dec->history + static_cast<uint64_t>(c) * p, dec->x[c] + len, p * sizeof(int32_t));
}

int32_t DecodeFrameBody(NALSD_IMPL* dec, NALS_STREAM* in, uint32_t len, bool ra) {
  const NALS_ASC& a = dec->asc;
  const uint32_t cn = a.channels, p = a.max_order;
  bool js_switch = false;
  if (a.mcc && a.joint_stereo) {
    uint8_t b;
    if (ReadFirst(dec, in, &b)) return NALS_ERR_READ;
    js_switch = (b & 0x80) != 0;
  }
  uint32_t* lengths = dec->block_lengths;
  int32_t r;
  if (a.mcc && !js_switch) {
    uint32_t bits;
    if ((r = ReadBsInfo(dec, in, &bits))) return r;
    uint32_t nb = GetBlockPartition(bits & 0x7FFFFFFFu, a.frame_length, len, lengths);
    if (!nb) return NALS_ERR_PARTITION;
    uint32_t offset = 0;
    for (uint32_t k = 0; k < nb; ++k) {
      for (uint32_t c = 0; c < cn; ++c) {
        uint8_t first;
        if ((r = ReadFirst(dec, in, &first))) return r;
        if ((r = DecodeBlockParameters_Type(dec, in, first, c, offset, lengths[k], ra && k == 0, 1))) return r;
      }
      if ((r = RevertMcc(dec, offset))) return r;
      for (uint32_t c = 0; c < cn; ++c)
        if ((r = DecodeBlockReconstruct(dec, c, offset))) return r;
      offset += lengths[k];
    }
    return 0;
  }
  const bool joint = a.joint_stereo || js_switch;
  // A pair whose first channel is marked independent is two single channels: the second
  // reads its own bs_info and is decoded alone whatever its flag says.
  bool second_alone = false;
  for (uint32_t c = 0; c < cn;) {
    uint32_t bits;
    if ((r = ReadBsInfo(dec, in, &bits))) return r;
    uint32_t nb = GetBlockPartition(bits & 0x7FFFFFFFu, a.frame_length, len, lengths);
    if (!nb) return NALS_ERR_PARTITION;
    bool alone_bit = dec->bs_info_bytes && (bits >> 31);
    bool pair = joint && c + 1 < cn && !alone_bit && !second_alone;
    if (second_alone) second_alone = false;
    else if (joint && !pair && c + 1 < cn) second_alone = true;
    if (!pair) {
      uint32_t offset = 0;
      for (uint32_t k = 0; k < nb; ++k) {
        if ((r = DecodeChannelBlock(dec, in, c, offset, lengths[k], ra && k == 0, -1, c))) return r;
        offset += lengths[k];
      }
      c += 1;
      continue;
    }
    uint32_t offset = 0;
    for (uint32_t k = 0; k < nb; ++k) {
      const uint32_t n = lengths[k];
      if ((r = DecodeChannelBlock(dec, in, c, offset, n, ra && k == 0, c + 1, c))) return r;
      if ((r = DecodeChannelBlock(dec, in, c + 1, offset, n, ra && k == 0, c, c))) return r;
      int32_t* x0 = dec->x[c] + p + offset;
      int32_t* x1 = dec->x[c + 1] + p + offset;
      if (dec->blocks[c].js) {
        for (uint32_t i = 0; i < n; ++i) x0[i] = Sub32(x1[i], x0[i]);
      } else if (dec->blocks[c + 1].js) {
        for (uint32_t i = 0; i < n; ++i) x1[i] = Add32(x0[i], x1[i]);
      }
      offset += n;
    }
    c += 2;
  }
  return 0;
}

}  // namespace

extern "C" int32_t NALSD_DecodeFrame(NALSD_IMPL* dec, NALS_STREAM* in, uint32_t* samples) {
  if (samples) *samples = 0;
  if (!dec || !in) return NALS_ERR_ARGUMENT;
  if (!dec->open) return NALS_ERR_NOT_OPEN;
  const NALS_ASC& a = dec->asc;
  const uint32_t n = a.frame_length, p = a.max_order;
  uint32_t len = n;
  if (dec->samples_known) {
    if (dec->frame > dec->samples / n) return NALS_ERR_END;
    uint64_t start = dec->frame * n;
    if (start >= dec->samples) return NALS_ERR_END;
    if (dec->samples - start < n) len = static_cast<uint32_t>(dec->samples - start);
  }
  const bool ra = a.random_access && dec->frame % a.random_access == 0;
  if (ra && a.ra_location == 1) {
    uint32_t size;
    if (!NALS_Stream_Read32BE(in, &size)) return NALS_ERR_READ;
    uint64_t pos;
    dec->ra_check = NALS_Stream_Tell(in, &pos) ? 1 : 0;
    dec->ra_unit_size = size;
    dec->ra_unit_start = pos;
  } else if (!ra && p) {
    for (uint32_t c = 0; c < a.channels; ++c) {
      if (dec->frame) std::memcpy(dec->x[c], dec->history + static_cast<uint64_t>(c) * p, p * sizeof(int32_t));
      else std::memset(dec->x[c], 0, p * sizeof(int32_t));
    }
  }
  dec->frame_samples = 0;
  int32_t r = DecodeFrameBody(dec, in, len, ra);
  if (r == 0) {
    const uint64_t next = dec->frame + 1;
    const bool next_ra = a.random_access && next % a.random_access == 0;
    if (p && !next_ra) StoreHistory(dec, len);
    dec->frame = next;
    dec->frame_samples = len;
    Tell(dec, NALS_INFO_POSITION, dec->frame);
    if (samples) *samples = len;
  }
  if (dec->ra_check) {
    uint64_t pos;
    if (!NALS_Stream_Tell(in, &pos)) dec->ra_check = 0;
    else if (pos - dec->ra_unit_start > dec->ra_unit_size) r = NALS_ERR_READ;
  }
  return r;
}
