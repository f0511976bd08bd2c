// Frame coding of the encoder: input conversion, history, random-access bookkeeping, and the
// three channel coders (independent, joint stereo, multi-channel correlation), each searching
// the block-switching partition bottom-up.
#include <cstring>
#include <vector>

#include "nals_tables.h"
#include "nals_thread.h"
#include "nalse_impl.h"

namespace nals {

namespace {


uint32_t Levels(const NALSE_IMPL* enc) { return enc->asc.block_switching + 1; }

uint8_t* Area(NALSE_IMPL* enc, uint32_t set, uint32_t level, uint32_t ch, uint32_t block) {
  uint64_t idx = (static_cast<uint64_t>(set) * Levels(enc) + level) * enc->asc.channels + ch;
  return enc->fb + idx * enc->frame_buffer_size + static_cast<uint64_t>(block) * (enc->frame_buffer_size >> level);
}

uint32_t& Size(NALSE_IMPL* enc, uint32_t set, uint32_t level, uint32_t block, uint32_t ch) {
  uint64_t idx = ((static_cast<uint64_t>(set) * Levels(enc) + level) * 32 + block) * enc->asc.channels + ch;
  return enc->sizes[idx];
}

uint32_t AreaCap(const NALSE_IMPL* enc, uint32_t level) { return enc->frame_buffer_size >> level; }

// Codes an analysed block; a block too large for its area is coded again without prediction.
int32_t CodeBlock(NALSE_IMPL* enc, BLOCK_PARAM* bp, int32_t* x, uint8_t* out, uint32_t cap,
                  uint32_t ch) {
  int32_t bytes = EncodeBlockCoding(enc, bp, out, cap, ch);
  if (bytes >= 0 || bp->type != BLOCK_NORMAL) return bytes;
  uint8_t ltp = enc->asc.ltp;
  enc->asc.ltp = 0;
  bp->order = 0;
  if (bp->mcc > 0)
    for (int32_t i = 0; i < bp->mcc; ++i) bp->mcc_stages[i].taps = 0, bp->mcc_stages[i].master = static_cast<int32_t>(ch);
  CalculateResidual(enc, bp, x);
  enc->asc.ltp = ltp;
  return EncodeBlockCoding(enc, bp, out, cap, ch);
}

// Bottom-up choice of the partition of a channel group: total bytes and the decision bits.
uint64_t ChooseSplit(NALSE_IMPL* enc, uint32_t set, uint32_t depth, const uint32_t* chans,
                     uint32_t nch, uint32_t level, uint32_t block, uint32_t* bits) {
  uint64_t whole = 0;
  for (uint32_t i = 0; i < nch; ++i) whole += Size(enc, set, level, block, chans[i]);
  if (level >= depth) return whole;
  uint32_t sub_bits = 0;
  uint64_t halves = ChooseSplit(enc, set, depth, chans, nch, level + 1, 2 * block, &sub_bits) +
                    ChooseSplit(enc, set, depth, chans, nch, level + 1, 2 * block + 1, &sub_bits);
  if (halves < whole) {
    *bits |= sub_bits | (1u << (30 - ((1u << level) - 1 + block)));
    return halves;
  }
  return whole;
}

// Work space of a frame coder, on the stack for the usual channel counts so that a real-time
// sender codes its frames without touching the heap; larger groups take it from the heap.
template <typename T, size_t N>
class Scratch {
 public:
  Scratch(size_t n, T fill) {
    if (n > N) {
      heap_.assign(n, fill);
      p_ = heap_.data();
    } else {
      for (size_t i = 0; i < n; ++i) local_[i] = fill;
    }
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  T* data() { return p_; }
  T& operator[](size_t i) { return p_[i]; }

 private:
  T local_[N];
  std::vector<T> heap_;
  T* p_ = local_;
};

constexpr size_t kLocalChannels = 8;

struct Leaf {
  uint32_t level, block;
};

// The chosen blocks in stream order; a partition of at most five levels has at most 32.
void Leaves(uint32_t bits, uint32_t depth, uint32_t level, uint32_t block, Leaf* out, uint32_t* n) {
  if (level < depth && (bits >> (30 - ((1u << level) - 1 + block))) & 1u) {
    Leaves(bits, depth, level + 1, 2 * block, out, n);
    Leaves(bits, depth, level + 1, 2 * block + 1, out, n);
  } else {
    out[(*n)++] = {level, block};
  }
}

int32_t Write(NALSE_IMPL* enc, NALS_STREAM* out, const void* p, uint64_t n) {
  if (n == 0) return 0;
  if (NALS_Stream_Write(p, n, out) != n) return NALS_ERR_WRITE;
  enc->rau_size += n;
  return 0;
}

int32_t WriteBsInfo(NALSE_IMPL* enc, NALS_STREAM* out, uint32_t bits, bool top) {
  uint32_t nbytes = enc->bs_info_bytes;
  if (nbytes == 0) return 0;
  if (nbytes != 1 && nbytes != 2 && nbytes != 4) return NALS_ERR_WRITE;
  uint32_t v = bits | (top ? 0x80000000u : 0u);
  uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                  static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
  return Write(enc, out, b, nbytes);
}

// Writes the chosen blocks of a channel group, block by block, channel by channel.
int32_t WriteGroup(NALSE_IMPL* enc, NALS_STREAM* out, uint32_t set, uint32_t depth, uint32_t bits,
                   const uint32_t* chans, uint32_t nch) {
  Leaf leaves[32];
  uint32_t count = 0;
  Leaves(bits, depth, 0, 0, leaves, &count);
  for (uint32_t k = 0; k < count; ++k) {
    const Leaf& l = leaves[k];
    for (uint32_t i = 0; i < nch; ++i) {
      int32_t r = Write(enc, out, Area(enc, set, l.level, chans[i], l.block), Size(enc, set, l.level, l.block, chans[i]));
      if (r) return r;
    }
  }
  return 0;
}

// One block of one channel, coded by itself into (set, level, block).
int32_t CodeSingle(NALSE_IMPL* enc, uint32_t set, uint32_t level, uint32_t block, uint32_t ch,
                   uint32_t len, bool ra) {
  int32_t* x = enc->x[ch].start + static_cast<uint64_t>(block) * len;
  BLOCK_PARAM* bp = &enc->ps[ch];
  if (!EncodeBlockAnalysis(enc, bp, x, len, ra && block == 0, 0, ch)) return NALS_ERR_ABORTED;
  CalculateResidual(enc, bp, x);
  int32_t n = CodeBlock(enc, bp, x, Area(enc, set, level, ch, block), AreaCap(enc, level), ch);
  if (n < 0) return n;
  Size(enc, set, level, block, ch) = static_cast<uint32_t>(n);
  return 0;
}

// All levels of one channel, coded by itself; -403 when an analysis asked to abort (the other
// blocks are still coded).
int32_t CodeChannelLevels(NALSE_IMPL* enc, uint32_t ch, uint32_t depth, uint32_t len, bool ra) {
  int32_t result = 0;
  for (uint32_t level = 0; level <= depth; ++level) {
    uint32_t blocks = 1u << level, blen = len >> level;
    for (uint32_t b = 0; b < blocks; ++b) {
      int32_t r = CodeSingle(enc, 0, level, b, ch, blen, ra);
      if (r == NALS_ERR_ABORTED) {
        result = r;
        Size(enc, 0, level, b, ch) = 0;
      } else if (r) {
        return r;
      }
    }
  }
  return result;
}

int32_t WriteChannel(NALSE_IMPL* enc, uint32_t ch, uint32_t depth, NALS_STREAM* out) {
  uint32_t bits = 0;
  ChooseSplit(enc, 0, depth, &ch, 1, 0, 0, &bits);
  int32_t r = WriteBsInfo(enc, out, bits, true);
  if (r) return r;
  return WriteGroup(enc, out, 0, depth, bits, &ch, 1);
}

// Joint coding of a pair block: both channels as they are, then the difference signal in place
// of the channel whose block is larger.
int32_t CodePairBlock(NALSE_IMPL* enc, uint32_t level, uint32_t block, uint32_t c0, uint32_t len,
                      bool ra) {
  for (uint32_t k = 0; k < 2; ++k) {
    uint32_t ch = c0 + k;
    int32_t r = CodeSingle(enc, 0, level, block, ch, len, ra);
    if (r) return r;
    uint32_t n = Size(enc, 0, level, block, ch);
    std::memcpy(Area(enc, 1, level, ch, block), Area(enc, 0, level, ch, block), n);
    Size(enc, 1, level, block, ch) = n;
  }
  // The difference trial needs both blocks predicted; a lossy forced shift would change the
  // difference rather than the channel samples, so it is not tried then.
  if (enc->lsb_forth_shift) return 0;
  int32_t* x0 = enc->x[c0].start + static_cast<uint64_t>(block) * len;
  int32_t* x1 = enc->x[c0 + 1].start + static_cast<uint64_t>(block) * len;
  BLOCK_PARAM* b0 = &enc->ps[c0];
  BLOCK_PARAM* b1 = &enc->ps[c0 + 1];
  // ps holds the last coded block of each channel, which is this block.
  if (b0->type != BLOCK_NORMAL || b1->type != BLOCK_NORMAL) return 0;
  const uint32_t p = enc->asc.max_order;
  int32_t* d = enc->diff + p;
  bool first_ra = ra && block == 0;
  for (int64_t i = first_ra ? 0 : -static_cast<int64_t>(p); i < len; ++i) d[i] = Sub32(x1[i], x0[i]);
  if (first_ra)
    for (uint32_t i = 0; i < p; ++i) enc->diff[i] = 0;
  BLOCK_PARAM* bj = &enc->pj[0];
  if (!EncodeBlockAnalysis(enc, bj, d, len, first_ra, 0, c0 + 1)) return NALS_ERR_ABORTED;
  bj->joint_stereo = 1;
  CalculateResidual(enc, bj, d);
  uint32_t s0 = Size(enc, 1, level, block, c0), s1 = Size(enc, 1, level, block, c0 + 1);
  uint32_t larger = s0 >= s1 ? s0 : s1;
  uint32_t target = s0 >= s1 ? c0 : c0 + 1;
  enc->trial = 1;
  int32_t n = EncodeBlockCoding(enc, bj, enc->fb_temp, AreaCap(enc, level), target);
  enc->trial = 0;
  if (n < 0) return 0;
  if (static_cast<uint32_t>(n) < larger || bj->type == BLOCK_CONST) {
    if (static_cast<uint32_t>(n) > AreaCap(enc, level)) return 0;
    std::memcpy(Area(enc, 1, level, target, block), enc->fb_temp, static_cast<uint32_t>(n));
    Size(enc, 1, level, block, target) = static_cast<uint32_t>(n);
  }
  return 0;
}

int32_t CodePairLevels(NALSE_IMPL* enc, uint32_t c0, uint32_t depth, uint32_t len, bool ra) {
  int32_t result = 0;
  for (uint32_t level = 0; level <= depth; ++level) {
    uint32_t blocks = 1u << level, blen = len >> level;
    for (uint32_t b = 0; b < blocks; ++b) {
      int32_t r = CodePairBlock(enc, level, b, c0, blen, ra);
      if (r == NALS_ERR_ABORTED) result = r;
      else if (r) return r;
    }
  }
  return result;
}

int32_t WritePair(NALSE_IMPL* enc, uint32_t c0, uint32_t depth, NALS_STREAM* out) {
  uint32_t chans[2] = {c0, c0 + 1};
  uint32_t bits_j = 0, bits_a = 0, bits_b = 0;
  uint64_t joint = ChooseSplit(enc, 1, depth, chans, 2, 0, 0, &bits_j);
  uint64_t sep = ChooseSplit(enc, 0, depth, &chans[0], 1, 0, 0, &bits_a) +
                 ChooseSplit(enc, 0, depth, &chans[1], 1, 0, 0, &bits_b) + enc->bs_info_bytes;
  int32_t r;
  if (joint < sep) {
    r = WriteBsInfo(enc, out, bits_j, false);
    if (!r) r = WriteGroup(enc, out, 1, depth, bits_j, chans, 2);
  } else {
    r = WriteBsInfo(enc, out, bits_a, true);
    if (!r) r = WriteGroup(enc, out, 0, depth, bits_a, &chans[0], 1);
    if (!r) r = WriteBsInfo(enc, out, bits_b, true);
    if (!r) r = WriteGroup(enc, out, 0, depth, bits_b, &chans[1], 1);
  }
  return r;
}

// Largest magnitude of a residual, for the 32-bit bound of the decoder's weighted sums.
uint64_t MaxAbs(const int32_t* d, uint32_t n) {
  uint64_t m = 0;
  for (uint32_t i = 0; i < n; ++i) {
    uint64_t a = d[i] < 0 ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(d[i])) : static_cast<uint64_t>(d[i]);
    if (a > m) m = a;
  }
  return m;
}

bool FitsDecoderSum(const NALSE_IMPL* enc, const int32_t* ref, uint32_t n, const MCC_STAGE& st) {
  uint64_t sum = 0;
  for (int i = 0; i < st.taps; ++i) {
    int32_t w = gmmtable[st.w[i] & 31];
    sum += static_cast<uint64_t>(w < 0 ? -w : w);
  }
  (void)enc;
  return MaxAbs(ref, n) * sum + 64 < (uint64_t{1} << 31);
}

bool AllSixteen(const int32_t* w, int n) {
  for (int i = 0; i < n; ++i)
    if (w[i] != 16) return false;
  return true;
}

// Chooses each normal channel's reference for one round; ref[t] = t means none. Returns the
// levels (0 for channels that are nobody's reference).
// A channel whose residual an earlier round changed is no reference: decoders that undo each
// channel's stages against fully restored masters then agree with the stage-by-stage reading.
void ChooseReferences(NALSE_IMPL* enc, const uint32_t* chans, uint32_t nch, uint32_t len,
                      int32_t* ref, uint32_t* level, const uint8_t* changed) {
  Scratch<uint32_t, kLocalChannels> normal(nch, 0);
  uint32_t m = 0;
  for (uint32_t i = 0; i < nch; ++i) {
    ref[i] = static_cast<int32_t>(i);
    level[i] = 0;
    if (enc->ps[chans[i]].type == BLOCK_NORMAL) normal[m++] = i;
  }
  if (m < 2) return;
  if (m == 2) {
    uint32_t a = normal[0], b = normal[1];
    double pa = GetPrecisePower(enc->ps[chans[a]].d, len, enc->prec_corr_shift);
    double pb = GetPrecisePower(enc->ps[chans[b]].d, len, enc->prec_corr_shift);
    bool a_ref = pa < pb;
    if (a_ref && changed[a]) a_ref = false;
    else if (!a_ref && changed[b]) a_ref = true;
    if (a_ref && !changed[a]) ref[b] = static_cast<int32_t>(a);
    else if (!a_ref && !changed[b]) ref[a] = static_cast<int32_t>(b);
  } else {
    const uint32_t s = enc->int_resolution > 16 ? enc->int_resolution - 16 : 0;
    Scratch<double, kLocalChannels> e(m, 0.0);
    Scratch<double, kLocalChannels * kLocalChannels> xm(static_cast<size_t>(m) * m, 0.0);
    for (uint32_t i = 0; i < m; ++i) {
      const int32_t* di = enc->ps[chans[normal[i]]].d;
      for (uint32_t j = i; j < m; ++j) {
        const int32_t* dj = enc->ps[chans[normal[j]]].d;
        int64_t acc = 0;
        for (uint32_t k = 0; k < len; ++k) acc += static_cast<int64_t>(di[k] >> s) * (dj[k] >> s);
        xm[i * m + j] = xm[j * m + i] = static_cast<double>(acc);
      }
      e[i] = xm[i * m + i];
    }
    // Greedy forest: the cheapest remaining (target, reference) pair joining two trees.
    Scratch<uint32_t, kLocalChannels> tree(m, 0);
    for (uint32_t i = 0; i < m; ++i) tree[i] = i;
    Scratch<uint8_t, kLocalChannels> has_ref(m, 0);
    for (;;) {
      double best = 0;
      int64_t bt = -1, br = -1;
      for (uint32_t t = 0; t < m; ++t) {
        if (has_ref[t]) continue;
        for (uint32_t r = 0; r < m; ++r) {
          if (r == t || tree[r] == tree[t] || e[r] <= 0 || changed[normal[r]]) continue;
          double dist = e[t] - xm[t * m + r] * xm[t * m + r] / e[r];
          if (bt < 0 || dist < best) {
            best = dist;
            bt = t;
            br = r;
          }
        }
      }
      if (bt < 0) break;
      has_ref[bt] = 1;
      ref[normal[bt]] = static_cast<int32_t>(normal[br]);
      uint32_t old = tree[bt], now = tree[br];
      for (uint32_t i = 0; i < m; ++i)
        if (tree[i] == old) tree[i] = now;
    }
  }
  // A reference stands above each of its targets.
  for (bool changed = true; changed;) {
    changed = false;
    for (uint32_t t = 0; t < nch; ++t) {
      int32_t r = ref[t];
      if (r != static_cast<int32_t>(t) && level[r] < level[t] + 1) {
        level[r] = level[t] + 1;
        changed = true;
      }
    }
  }
}

// Estimated bits of a target coded against a reference with three taps, or plain when that
// is smaller; the reference's own cost is added, so both directions of a pair compare.
uint64_t PairCost(NALSE_IMPL* enc, BLOCK_PARAM* bt, BLOCK_PARAM* br, int32_t master, uint32_t len) {
  uint64_t target = EstimateCodedSize(enc, bt);
  MCC_STAGE st{3, master, {16, 16, 16, 16, 16, 16}, 0};
  double power = 0;  // a private cache: the reference's own belongs to the coding that follows
  MCC_GetGamma_3tap(br->d, &power, bt->d, len, st.w, enc->prec_corr_shift);
  if (!AllSixteen(st.w, 3) && FitsDecoderSum(enc, br->d, len, st)) {
    BLOCK_PARAM* trial = &enc->pj[1];
    CopyBlock(trial, bt, enc->asc.max_order);
    MCC_Synthesize(br->d, bt->d, len, st, trial->d);
    uint64_t mcc = EstimateCodedSize(enc, trial) + 1 + enc->ch_bits + 1 + 3 + 4 + 3;
    if (mcc < target) target = mcc;
  }
  return EstimateCodedSize(enc, br) + target;
}

// The quieter channel of a pair is the first choice of reference, but then the louder target
// needs weights beyond the table (more than 1.6 times the reference is only partly removed)
// and keeps its own uncompensated first and last samples; the other direction is taken when
// it is estimated smaller.
void PreferCheaperDirection(NALSE_IMPL* enc, const uint32_t* chans, uint32_t nch, uint32_t len,
                            int32_t* ref, uint32_t* level, const uint8_t* changed) {
  uint32_t normal = 0, pairs = 0, t = 0;
  for (uint32_t i = 0; i < nch; ++i) {
    if (enc->ps[chans[i]].type == BLOCK_NORMAL) ++normal;
    if (ref[i] != static_cast<int32_t>(i)) ++pairs, t = i;
  }
  if (normal != 2 || pairs != 1 || changed[t]) return;
  const uint32_t r = static_cast<uint32_t>(ref[t]);
  BLOCK_PARAM* bt = &enc->ps[chans[t]];
  BLOCK_PARAM* br = &enc->ps[chans[r]];
  uint64_t as_chosen = PairCost(enc, bt, br, static_cast<int32_t>(chans[r]), len);
  uint64_t swapped = PairCost(enc, br, bt, static_cast<int32_t>(chans[t]), len);
  if (swapped >= as_chosen) return;
  ref[t] = static_cast<int32_t>(t);
  ref[r] = static_cast<int32_t>(t);
  level[r] = 0;
  level[t] = 1;
}

// One block of every channel of an MCC group, coded into set 0.
int32_t CodeMccBlock(NALSE_IMPL* enc, uint32_t level, uint32_t block, const uint32_t* chans,
                     uint32_t nch, uint32_t len, bool ra) {
  int32_t result = 0;
  for (uint32_t i = 0; i < nch; ++i) {
    uint32_t ch = chans[i];
    int32_t* x = enc->x[ch].start + static_cast<uint64_t>(block) * len;
    BLOCK_PARAM* bp = &enc->ps[ch];
    if (!EncodeBlockAnalysis(enc, bp, x, len, ra && block == 0, 1, ch)) result = NALS_ERR_ABORTED;
    CalculateResidual(enc, bp, x);
  }
  if (result) return result;
  const uint32_t cap = AreaCap(enc, level);
  Scratch<int32_t, kLocalChannels> ref(nch, 0);
  Scratch<uint32_t, kLocalChannels> lvl(nch, 0);
  Scratch<uint8_t, kLocalChannels> changed(nch, 0);
  for (uint32_t round = 0; round < enc->mcc_stages; ++round) {
    for (uint32_t i = 0; i < nch; ++i) enc->ps[chans[i]].power = 0;
    ChooseReferences(enc, chans, nch, len, ref.data(), lvl.data(), changed.data());
    PreferCheaperDirection(enc, chans, nch, len, ref.data(), lvl.data(), changed.data());
    for (uint32_t i = 0; i < nch; ++i) {
      BLOCK_PARAM* bp = &enc->ps[chans[i]];
      bp->mcc_stages[bp->mcc] = MCC_STAGE{0, static_cast<int32_t>(chans[i]), {16, 16, 16, 16, 16, 16}, 0};
    }
    uint32_t top = 0;
    for (uint32_t i = 0; i < nch; ++i) top = lvl[i] > top ? lvl[i] : top;
    for (uint32_t l = 0; l <= top; ++l) {
      for (uint32_t t = 0; t < nch; ++t) {
        if (lvl[t] != l || ref[t] == static_cast<int32_t>(t)) continue;
        BLOCK_PARAM* bt = &enc->ps[chans[t]];
        BLOCK_PARAM* br = &enc->ps[chans[ref[t]]];
        if (bt->type != BLOCK_NORMAL) continue;
        MCC_STAGE st3{3, static_cast<int32_t>(chans[ref[t]]), {16, 16, 16, 16, 16, 16}, 0};
        MCC_STAGE st6 = st3;
        st6.taps = 6;
        bool try3 = enc->mcc_mode != 2, try6 = enc->mcc_mode != 1;
        if (try3) MCC_GetGamma_3tap(br->d, &br->power, bt->d, len, st3.w, enc->prec_corr_shift);
        if (try6) MCC_GetGamma_6tap(br->d, bt->d, len, st6.w, &st6.lag, enc);
        if (try6 && (st6.lag == 0 || AllSixteen(st6.w, 6))) try6 = false;
        if (try3 && AllSixteen(st3.w, 3)) try3 = false;
        if (try6 && enc->mcc_mode == 0) {
          // Its first three weights alone are the 3-tap alternative.
          st3 = st6;
          st3.taps = 3;
          st3.lag = 0;
          st3.w[3] = st3.w[4] = st3.w[5] = 16;
          try3 = !AllSixteen(st3.w, 3);
        }
        if (try3 && !FitsDecoderSum(enc, br->d, len, st3)) try3 = false;
        if (try6 && !FitsDecoderSum(enc, br->d, len, st6)) try6 = false;
        if (!try3 && !try6) continue;
        bt->mcc += 1;  // the stage of this round is coded with the block
        enc->trial = 1;
        int32_t plain = EncodeBlockCoding(enc, bt, enc->fb_temp, cap, chans[t]);
        uint32_t best = plain < 0 ? UINT32_MAX : static_cast<uint32_t>(plain);
        BLOCK_PARAM* trial = &enc->pj[1];
        BLOCK_PARAM* keep = &enc->pj[2];
        bool kept = false;
        const MCC_STAGE* cands[2] = {try6 ? &st6 : nullptr, try3 ? &st3 : nullptr};
        for (const MCC_STAGE* st : cands) {
          if (!st) continue;
          CopyBlock(trial, bt, enc->asc.max_order);
          trial->mcc_stages[bt->mcc - 1] = *st;
          MCC_Synthesize(br->d, bt->d, len, *st, trial->d);
          int32_t n = EncodeBlockCoding(enc, trial, enc->fb_temp, cap, chans[t]);
          // A tie between the two kinds keeps the 3-tap stage (tried last).
          if (n >= 0 && (static_cast<uint32_t>(n) < best || (kept && static_cast<uint32_t>(n) == best && st == &st3))) {
            best = static_cast<uint32_t>(n);
            CopyBlock(keep, trial, enc->asc.max_order);
            kept = true;
          }
        }
        enc->trial = 0;
        bt->mcc -= 1;
        if (kept) {
          CopyBlock(bt, keep, enc->asc.max_order);
          bt->mcc -= 1;
          changed[t] = 1;
        }
      }
    }
    for (uint32_t i = 0; i < nch; ++i) enc->ps[chans[i]].mcc += 1;
  }
  bool overflow = false;
  for (uint32_t i = 0; i < nch; ++i) {
    uint32_t ch = chans[i];
    int32_t n = EncodeBlockCoding(enc, &enc->ps[ch], Area(enc, 0, level, ch, block), cap, ch);
    if (n < 0) {
      overflow = true;
      break;
    }
    Size(enc, 0, level, block, ch) = static_cast<uint32_t>(n);
  }
  if (!overflow) return 0;
  // A block too large for its area: the group is coded again without inter-channel prediction.
  for (uint32_t i = 0; i < nch; ++i) {
    uint32_t ch = chans[i];
    int32_t* x = enc->x[ch].start + static_cast<uint64_t>(block) * len;
    BLOCK_PARAM* bp = &enc->ps[ch];
    for (int32_t k = 0; k < bp->mcc; ++k) bp->mcc_stages[k] = MCC_STAGE{0, static_cast<int32_t>(ch), {16, 16, 16, 16, 16, 16}, 0};
    CalculateResidual(enc, bp, x);
    int32_t n = CodeBlock(enc, bp, x, Area(enc, 0, level, ch, block), cap, ch);
    if (n < 0) return n;
    Size(enc, 0, level, block, ch) = static_cast<uint32_t>(n);
  }
  return 0;
}

enum JobKind { JOB_CHANNEL, JOB_PAIR, JOB_MCC };

struct JobSet {
  NALSE_IMPL* enc;
  JobKind kind;
  uint32_t depth, len;
  bool ra;
  int32_t* results;
};

// A context of its own for a job: the instance itself without workers, else a free copy with
// its own scratch records (the sample buffers and coding areas are shared, each job touching
// only its own channels or blocks).
NALSE_IMPL* Acquire(NALSE_IMPL* enc) {
  if (!enc->bs_threads || !enc->ctx_count) return enc;
  NALS_LockMutex(enc->ctx_mutex);
  NALSE_IMPL* w = nullptr;
  for (uint32_t i = 0; i < enc->ctx_count && !w; ++i)
    if (!enc->ctx_busy[i]) {
      enc->ctx_busy[i] = 1;
      w = enc->ctx[i];
    }
  NALS_UnlockMutex(enc->ctx_mutex);
  return w;
}

void Release(NALSE_IMPL* enc, NALSE_IMPL* w) {
  if (w == enc) return;
  NALS_LockMutex(enc->ctx_mutex);
  for (uint32_t i = 0; i < enc->ctx_count; ++i)
    if (enc->ctx[i] == w) enc->ctx_busy[i] = 0;
  NALS_UnlockMutex(enc->ctx_mutex);
}

void RunJob(void* arg, uint32_t i) {
  auto* js = static_cast<JobSet*>(arg);
  NALSE_IMPL* enc = js->enc;
  NALSE_IMPL* w = Acquire(enc);
  int32_t r = NALS_ERR_MEMORY;
  if (w) {
    const uint32_t c = enc->asc.channels;
    switch (js->kind) {
      case JOB_CHANNEL: r = CodeChannelLevels(w, i, js->depth, js->len, js->ra); break;
      case JOB_PAIR:
        r = 2 * i + 1 < c ? CodePairLevels(w, 2 * i, js->depth, js->len, js->ra)
                          : CodeChannelLevels(w, 2 * i, js->depth, js->len, js->ra);
        break;
      case JOB_MCC: {
        const uint32_t g = enc->nominal_cg_size ? enc->nominal_cg_size : c;
        const uint32_t groups = (c + g - 1) / g;
        uint32_t node = i / groups, group = i % groups;
        uint32_t level = 0;
        while (node >= (2u << level) - 1) ++level;
        uint32_t block = node - ((1u << level) - 1);
        uint32_t first = group * g, n = c - first < g ? c - first : g;
        r = CodeMccBlock(w, level, block, enc->chan_index + first, n, js->len >> level, js->ra);
        break;
      }
    }
    Release(enc, w);
  }
  js->results[i] = r;
}

// Runs count jobs, on the workers when the encoder has them and the jobs may run together;
// the first failure in job order is the result (-403 only when nothing else failed).
int32_t RunJobs(NALSE_IMPL* enc, JobKind kind, uint32_t count, uint32_t depth, uint32_t len, bool ra,
                bool parallel) {
  JobSet js{enc, kind, depth, len, ra, enc->job_results};
  BSThreads_Run(parallel ? enc->bs_threads : nullptr, count, RunJob, &js);
  int32_t aborted = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (js.results[i] == NALS_ERR_ABORTED) aborted = NALS_ERR_ABORTED;
    else if (js.results[i]) return js.results[i];
  }
  return aborted;
}

// Codes the whole frame with MCC into set 0; returns the partition bits through *bits.
int32_t EncodeFrameMCC(NALSE_IMPL* enc, uint32_t depth, uint32_t len, bool ra, uint32_t* bits,
                       uint64_t* total) {
  const uint32_t c = enc->asc.channels;
  const uint32_t g = enc->nominal_cg_size ? enc->nominal_cg_size : c;
  const uint32_t groups = (c + g - 1) / g;
  int32_t r = RunJobs(enc, JOB_MCC, ((2u << depth) - 1) * groups, depth, len, ra,
                      enc->lsb_forth_shift == 0);
  if (r) return r;
  uint32_t* all = enc->chan_index;
  *bits = 0;
  *total = ChooseSplit(enc, 0, depth, all, c, 0, 0, bits);
  return 0;
}

int32_t WriteMcc(NALSE_IMPL* enc, NALS_STREAM* out, uint32_t depth, uint32_t bits) {
  int32_t r = WriteBsInfo(enc, out, bits, true);
  if (r) return r;
  return WriteGroup(enc, out, 0, depth, bits, enc->chan_index, enc->asc.channels);
}

// Two channels, MCC and joint stereo, one block per channel: cheaper rules choose between the
// MCC and the joint-stereo forms of the frame without coding both.
int32_t EncodeFrameTwoChannel(NALSE_IMPL* enc, uint32_t len, bool ra, NALS_STREAM* out) {
  BLOCK_PARAM* b[2] = {&enc->ps[0], &enc->ps[1]};
  int32_t* x[2] = {enc->x[0].start, enc->x[1].start};
  int32_t result = 0;
  for (uint32_t k = 0; k < 2; ++k) {
    if (!EncodeBlockAnalysis(enc, b[k], x[k], len, ra, 1, k)) result = NALS_ERR_ABORTED;
    CalculateResidual(enc, b[k], x[k]);
  }
  if (result) return result;
  const uint32_t cap = AreaCap(enc, 0);
  const uint32_t a = enc->prec_corr_shift;
  bool js_mode = true;
  int32_t diff_target = -1;  // channel replaced by the difference signal
  if (b[0]->type == BLOCK_NORMAL && b[1]->type == BLOCK_NORMAL) {
    b[0]->power = GetPrecisePower(b[0]->d, len, a);
    b[1]->power = GetPrecisePower(b[1]->d, len, a);
    const uint32_t ref = b[0]->power < b[1]->power ? 0 : 1, tgt = 1 - ref;
    MCC_STAGE st{3, static_cast<int32_t>(ref), {16, 16, 16, 16, 16, 16}, 0};
    MCC_GetGamma_3tap(b[ref]->d, &b[ref]->power, b[tgt]->d, len, st.w, a);
    int32_t w10[3] = {st.w[0], st.w[1], st.w[2]};
    if (ref != 0) MCC_GetGamma_3tap(b[0]->d, &b[0]->power, b[1]->d, len, w10, a);
    const int32_t c = w10[1];
    const bool outer_small = w10[0] >= 15 && w10[0] <= 17 && w10[2] >= 15 && w10[2] <= 17;
    const bool usable = !AllSixteen(st.w, 3) && FitsDecoderSum(enc, b[ref]->d, len, st);
    BLOCK_PARAM* m = &enc->pj[1];
    auto mcc_residual = [&]() {
      CopyBlock(m, b[tgt], enc->asc.max_order);
      m->mcc = 1;
      m->mcc_stages[0] = st;
      MCC_Synthesize(b[ref]->d, b[tgt]->d, len, st, m->d);
    };
    auto abs_sum = [len](const int32_t* d) {
      uint64_t s = 0;
      for (uint32_t i = 0; i < len; ++i) s += d[i] < 0 ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(d[i])) : static_cast<uint64_t>(d[i]);
      return s;
    };
    bool try_diff = false;
    if (c >= 5 && c <= 7 && outer_small) {
      // A plain difference: joint stereo with the difference in place of the target.
      try_diff = true;
      diff_target = static_cast<int32_t>(tgt);
    } else if (c > 11) {
      if (usable) {
        mcc_residual();
        if (GetPrecisePower(m->d, len, a) < b[tgt]->power) {
          CopyBlock(b[tgt], m, enc->asc.max_order);
          js_mode = false;
        }
      }
    } else {
      if (usable) {
        mcc_residual();
        if (abs_sum(m->d) < abs_sum(b[tgt]->d)) {
          CopyBlock(b[tgt], m, enc->asc.max_order);
          js_mode = false;
        }
      }
      try_diff = true;
    }
    if (try_diff && !enc->lsb_forth_shift) {
      const uint32_t p = enc->asc.max_order;
      int32_t* d = enc->diff + p;
      for (int64_t i = ra ? 0 : -static_cast<int64_t>(p); i < len; ++i) d[i] = Sub32(x[1][i], x[0][i]);
      if (ra)
        for (uint32_t i = 0; i < p; ++i) enc->diff[i] = 0;
      BLOCK_PARAM* bj = &enc->pj[0];
      if (!EncodeBlockAnalysis(enc, bj, d, len, ra, 0, tgt)) return NALS_ERR_ABORTED;
      bj->joint_stereo = 1;
      CalculateResidual(enc, bj, d);
      bool replace = diff_target >= 0;
      if (!replace) {
        enc->trial = 1;
        int32_t nd = EncodeBlockCoding(enc, bj, enc->fb_temp, cap, tgt);
        b[tgt]->mcc = js_mode ? -1 : b[tgt]->mcc;
        int32_t nt = EncodeBlockCoding(enc, b[tgt], Area(enc, 0, 0, tgt, 0), cap, tgt);
        enc->trial = 0;
        replace = nd >= 0 && (nt < 0 || nd < nt);
      }
      if (replace) {
        CopyBlock(b[tgt], bj, enc->asc.max_order);
        diff_target = static_cast<int32_t>(tgt);
        js_mode = true;
      } else {
        diff_target = -1;
      }
    } else if (try_diff) {
      diff_target = -1;
    }
    if (!js_mode) {
      b[ref]->mcc = 0;
      b[tgt]->mcc = 1;
    }
  }
  if (js_mode) b[0]->mcc = b[1]->mcc = -1;
  int32_t n[2];
  for (uint32_t k = 0; k < 2; ++k) n[k] = EncodeBlockCoding(enc, b[k], Area(enc, 0, 0, k, 0), cap, k);
  if (n[0] < 0 || n[1] < 0) {
    // A block too large for its area: both again without inter-channel prediction.
    for (uint32_t k = 0; k < 2; ++k) {
      int32_t* sig = diff_target == static_cast<int32_t>(k) ? enc->diff + enc->asc.max_order : x[k];
      for (int32_t i = 0; i < b[k]->mcc; ++i) b[k]->mcc_stages[i] = MCC_STAGE{0, static_cast<int32_t>(k), {16, 16, 16, 16, 16, 16}, 0};
      CalculateResidual(enc, b[k], sig);
      n[k] = CodeBlock(enc, b[k], sig, Area(enc, 0, 0, k, 0), cap, k);
      if (n[k] < 0) return n[k];
    }
  }
  const uint8_t sw = js_mode ? 0x80 : 0x00;
  int32_t r = Write(enc, out, &sw, 1);
  for (uint32_t k = 0; k < 2 && !r; ++k) r = Write(enc, out, Area(enc, 0, 0, k, 0), static_cast<uint32_t>(n[k]));
  return r;
}

int32_t EncodeFrameIndependent(NALSE_IMPL* enc, uint32_t depth, uint32_t len, bool ra, NALS_STREAM* out) {
  const uint32_t c = enc->asc.channels;
  int32_t r = RunJobs(enc, JOB_CHANNEL, c, depth, len, ra, true);
  for (uint32_t ch = 0; ch < c && !r; ++ch) r = WriteChannel(enc, ch, depth, out);
  return r;
}

int32_t EncodeFrameJointStereo(NALSE_IMPL* enc, uint32_t depth, uint32_t len, bool ra, NALS_STREAM* out) {
  const uint32_t c = enc->asc.channels;
  int32_t r = RunJobs(enc, JOB_PAIR, (c + 1) / 2, depth, len, ra, true);
  for (uint32_t c0 = 0; c0 + 1 < c && !r; c0 += 2) r = WritePair(enc, c0, depth, out);
  if (!r && c % 2) r = WriteChannel(enc, c - 1, depth, out);
  return r;
}

// Reads one frame of interleaved input into the channel buffers; returns frames read or < 0.
int64_t ReadInput(NALSE_IMPL* enc, NALS_STREAM* in, uint32_t want) {
  const uint32_t c = enc->asc.channels;
  const uint32_t bps = enc->asc.resolution / 8;
  const uint32_t frame_bytes = c * bps;
  const uint32_t per_chunk = enc->staging_size / frame_bytes;
  uint32_t done = 0;
  while (done < want) {
    uint32_t n = want - done < per_chunk ? want - done : per_chunk;
    uint64_t got = NALS_Stream_Read(enc->staging, static_cast<uint64_t>(n) * frame_bytes, in);
    if (got % frame_bytes) return NALS_ERR_READ;
    if (enc->asc.crc_enabled) NALS_CRC32_ProcessBlock(&enc->asc.crc, enc->staging, got);
    uint32_t frames = static_cast<uint32_t>(got / frame_bytes);
    const uint8_t* p = enc->staging;
    for (uint32_t i = 0; i < frames; ++i)
      for (uint32_t ch = 0; ch < c; ++ch, p += bps) {
        uint32_t coded = ch;
        if (enc->asc.ch_sorting) {
          // Coding channel k takes input channel positions[k]; find k for this input channel.
          for (uint32_t k = 0; k < c; ++k)
            if (enc->asc.channel_positions[k] == ch) coded = k;
        }
        int32_t v;
        if (bps == 1) {
          v = enc->asc.msb_first ? static_cast<int8_t>(p[0]) : static_cast<int32_t>(p[0]) - 128;
        } else {
          uint32_t u = 0;
          if (enc->asc.msb_first)
            for (uint32_t b = 0; b < bps; ++b) u = (u << 8) | p[b];
          else
            for (uint32_t b = bps; b-- > 0;) u = (u << 8) | p[b];
          uint32_t sh = 32 - 8 * bps;
          v = static_cast<int32_t>(u << sh) >> sh;
        }
        enc->x[coded].start[done + i] = v;
      }
    done += frames;
    if (frames < n) break;
  }
  return done;
}

}  // namespace

int32_t EncodeFrameCore(NALSE_IMPL* enc, NALS_STREAM* in, NALS_STREAM* out, uint32_t* samples) {
  if (samples) *samples = 0;
  if (!enc || !in || !out) return NALS_ERR_ARGUMENT;
  if (!enc->open) return NALS_ERR_NOT_OPEN;
  if (enc->als_frame == ~uint64_t{0}) return NALS_ERR_INVALID;
  const uint32_t n = enc->asc.frame_length;
  const uint32_t c = enc->asc.channels;
  const uint32_t p = enc->asc.max_order;
  uint32_t len = n;
  if (enc->samples_known) {
    uint64_t start = enc->als_frame * n;
    if (enc->als_frame >= enc->samples / n + 1 || start >= enc->samples) return NALS_ERR_END;
    if (enc->samples - start < n) len = static_cast<uint32_t>(enc->samples - start);
  }
  const uint32_t ra_dist = enc->asc.random_access;
  const bool ra = ra_dist == 1 || (ra_dist && enc->als_frame % ra_dist == 0);
  const uint64_t rau_saved = enc->rau_size;
  if (ra) {
    enc->rau_size = 0;
    if (enc->asc.ra_location == 1) {
      const uint8_t zero[4] = {};
      if (NALS_Stream_Write(zero, 4, out) != 4) {
        enc->rau_size = rau_saved;
        return NALS_ERR_WRITE;
      }
    }
  } else if (p) {
    for (uint32_t ch = 0; ch < c; ++ch) {
      int32_t* h = enc->x[ch].buffer;
      if (enc->als_frame) std::memcpy(h, enc->x_overlaps + static_cast<uint64_t>(ch) * p, p * sizeof *h);
      else std::memset(h, 0, p * sizeof *h);
    }
  }
  int64_t got = ReadInput(enc, in, len);
  if (got < 0) return static_cast<int32_t>(got);
  if (got < len) {
    if (enc->samples_known) return NALS_ERR_READ;
    uint64_t total;
    if (__builtin_mul_overflow(enc->als_frame, static_cast<uint64_t>(n), &total) ||
        __builtin_add_overflow(total, static_cast<uint64_t>(got), &total))
      return NALS_ERR_MEMORY;
    enc->samples = total;
    enc->samples_known = 1;
    len = static_cast<uint32_t>(got);
  }
  if (len == 0) return NALS_ERR_END;
  uint32_t depth = 0;
  if (len == n) {
    if (enc->asc.adaptive) depth = enc->asc.block_switching;
    else depth = (n >> enc->asc.block_switching) < p ? 0 : enc->asc.block_switching;
  }
  int32_t r = 0;
  if (!enc->mcc) {
    if (!enc->js_coding) {
      r = EncodeFrameIndependent(enc, depth, len, ra, out);
    } else {
      r = EncodeFrameJointStereo(enc, depth, len, ra, out);
    }
  } else if (!enc->js_coding) {
    uint32_t bits = 0;
    uint64_t total = 0;
    r = EncodeFrameMCC(enc, depth, len, ra, &bits, &total);
    if (r == 0) r = WriteMcc(enc, out, depth, bits);
  } else if (c == 2 && enc->asc.block_switching == 0 && enc->mcc_stages == 1 && enc->mcc_mode != 2 &&
             enc->lpc_option != 1) {
    r = EncodeFrameTwoChannel(enc, len, ra, out);
  } else {
    // Joint stereo and MCC: both are tried and the smaller is written behind the switch byte.
    NALS_STREAM js;
    if (!NALS_MemStream_Open(&js, enc->fb_js, enc->fb_js_size, "w")) return NALS_ERR_MEMORY;
    uint64_t saved = enc->rau_size;
    enc->rau_size = 0;
    r = EncodeFrameJointStereo(enc, depth, len, ra, &js);
    uint64_t js_bytes = enc->rau_size;
    enc->rau_size = saved;
    NALS_Stream_Close(&js);
    if (r) return r;
    uint32_t bits = 0;
    uint64_t total = 0;
    r = EncodeFrameMCC(enc, depth, len, ra, &bits, &total);
    if (r) return r;
    bool use_js = js_bytes <= 0xFFFFFFFFu && js_bytes <= total + enc->bs_info_bytes;
    uint8_t sw = use_js ? 0x80 : 0x00;
    r = Write(enc, out, &sw, 1);
    if (!r) r = use_js ? Write(enc, out, enc->fb_js, js_bytes) : WriteMcc(enc, out, depth, bits);
  }
  if (r) return r;
  if (ra_dist) {
    if (enc->rau_size > 0xFFFFFFFFu) return NALS_ERR_INVALID;
    if (enc->asc.ra_location == 1) {
      int64_t back = static_cast<int64_t>(enc->rau_size) + 4;
      if (!NALS_Stream_Seek(out, -back, 1) ||
          !NALS_Stream_Write32BE(out, static_cast<uint32_t>(enc->rau_size)) ||
          !NALS_Stream_Seek(out, static_cast<int64_t>(enc->rau_size), 1))
        return NALS_ERR_WRITE;
    } else if (enc->asc.ra_location == 2 && enc->rau_sizes) {
      uint64_t idx = enc->als_frame / ra_dist;
      if (idx < enc->rau_count) enc->rau_sizes[idx] = static_cast<uint32_t>(enc->rau_size);
    }
  }
  if (p) {
    uint64_t next = enc->als_frame + 1;
    bool next_ra = ra_dist == 1 || (ra_dist && next % ra_dist == 0);
    if (enc->asc.floating || !next_ra)
      for (uint32_t ch = 0; ch < c; ++ch)
        std::memcpy(enc->x_overlaps + static_cast<uint64_t>(ch) * p, enc->x[ch].start + len - p, p * sizeof(int32_t));
  }
  enc->als_frame += 1;
  if (samples) *samples = len;
  return 0;
}

}  // namespace nals
