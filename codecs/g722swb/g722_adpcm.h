#pragma once
// The sample-level blocks of G.722 sub-band ADPCM (bit-exact 16-bit integer forms, with G.722's
// saturation), the G.722 24-tap QMF in floating point, and the linear-prediction helpers of the
// noise shaping.

#include <cstdint>

namespace g722swb {

// Adaptive-predictor state of one sub-band. Index 0 of a, b is unused; d[0], p[0], r[0] are
// the newest values.
struct g722_band {
    int16_t a[3];
    int16_t b[7];
    int16_t d[7];
    int16_t p[3];
    int16_t r[3];
    int16_t nb;   // log scale factor (nbl or nbh)
    int16_t det;  // scale factor (detl or deth)
    int16_t sz;   // zero-predictor output
    int16_t sp;   // pole-predictor output
    int16_t s;    // prediction
};

void g722_band_reset(g722_band* band, int16_t det);  // det 32 for the low band, 8 for the high

int16_t saturate16(int32_t x);
int16_t limit(int32_t x);  // LIMIT: -16384..16383

int16_t quantl5b(int16_t el, int16_t detl);  // 6-bit code with the lowest bit 0
int16_t quanth(int16_t eh, int16_t deth);    // 2-bit code
int16_t logscl(int16_t code4, int16_t nbl);
int16_t logsch(int16_t code2, int16_t nbh);
int16_t scalel(int16_t nbl);
int16_t scaleh(int16_t nbh);
void upzero(int16_t dq, const int16_t* d, int16_t* b);
int16_t uppol2(int16_t a1, int16_t a2, int16_t p0, int16_t p1, int16_t p2);
int16_t uppol1(int16_t a1, int16_t a2new, int16_t p0, int16_t p1);
int16_t filtez(const int16_t* d, const int16_t* b);
int16_t filtep(const int16_t* r, const int16_t* a);

// Low-band decoding step for low-band mode 1..3: the reconstructed sample; the state adapts
// on the 4-bit core of the code only.
int16_t lsbdec(int16_t code, int mode, g722_band* band);
void adpcm_adapt_l(int16_t code, g722_band* band);
void adpcm_adapt_h(int16_t code, g722_band* band);
// Predictor adaptation shared by both bands with the quantised difference dq.
void adpcm_adapt_c(int16_t dq, g722_band* band);

// Transmit and receive QMF. The delay buffers hold the newest value first; the caller keeps a
// buffer of G722_QMF_HIST + 80 words, the frame's values being written from index 80 downwards,
// and moves the newest G722_QMF_HIST words back to index 80 once per frame.
constexpr int G722_QMF_HIST = 22;
constexpr int G722_QMF_BUF = G722_QMF_HIST + 80;
// Takes in[0], in[1]; *pos moves back by 2.
void fl_qmf_tx_buf(const int16_t* in, int16_t* low, int16_t* high, int16_t* buf, int* pos);
// Writes out[0], out[1]; *pos moves back by 2.
void fl_qmf_rx_buf(int16_t rl, int16_t rh, int16_t* buf, int* pos, int16_t* out);

int16_t fl_AutocorrNS(const float* x, float* r);
void fl_Levinson(const float* r, float* rc, int16_t* unstable, int order, float* a);
void fl_Lag_window(float* r, const float* window, int order);
void fl_Weight_a(const float* a, float* ap, int order, float gamma);

}  // namespace g722swb
