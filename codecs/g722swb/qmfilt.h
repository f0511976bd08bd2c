#pragma once
// The 32-tap QMF bank that splits 32 kHz audio into the 0-8 kHz band of the G.722 core and the
// 8-16 kHz band of the extension layers, and joins them again.

#include <cstdint>

namespace g722swb {

constexpr int SWB_QMF_TAPS = 32;
extern const float fSWBQmf0[SWB_QMF_TAPS / 2];
extern const float fSWBQmf1[SWB_QMF_TAPS / 2];

struct qmf_state {
    int16_t taps;
    float* delay;      // taps - 2 floats, or null when it could not be allocated
    const float* h0;   // not owned
    const float* h1;   // not owned
};

qmf_state* QMFilt_const(int taps, const float* h0, const float* h1);
void QMFilt_dest(qmf_state* st);
void QMFilt_reset(qmf_state* st);
// `count` input samples (160 per frame) into count / 2 low-band and high-band samples.
void QMFilt_ana(int count, const float* in, float* low, float* high, qmf_state* st);
// `count` low-band and high-band samples (80 per frame) into 2 x count output samples.
void QMFilt_syn(int count, const float* low, const float* high, float* out, qmf_state* st);

}  // namespace g722swb
