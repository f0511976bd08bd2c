#include "qmfilt.h"

#include "swb_alloc.h"
#include "swb_float.h"

namespace g722swb {

const float fSWBQmf0[SWB_QMF_TAPS / 2] = {
    0.000640869141f, -0.0012512207f, 0.00143432617f, -0.000183105469f,
    -0.00411987305f, 0.014465332f,   -0.0392456055f, 0.128479004f,
    0.466461182f,    -0.0997924805f, 0.0529174805f,  -0.0311584473f,
    0.0178833008f,   -0.00936889648f, 0.00415039062f, -0.00134277344f,
};

const float fSWBQmf1[SWB_QMF_TAPS / 2] = {
    -0.00134277344f, 0.00415039062f, -0.00936889648f, 0.0178833008f,
    -0.0311584473f,  0.0529174805f,  -0.0997924805f,  0.466461182f,
    0.128479004f,    -0.0392456055f, 0.014465332f,    -0.00411987305f,
    -0.000183105469f, 0.00143432617f, -0.0012512207f, 0.000640869141f,
};

namespace {

// The longest frame the bank is run on: 160 input samples, 80 per band.
constexpr int MAX_COUNT = 160;
constexpr int MAX_DELAY = SWB_QMF_TAPS - 2;

float round16f(float x) { return static_cast<float>(roundFto16(x)); }

}  // namespace

qmf_state* QMFilt_const(int taps, const float* h0, const float* h1)
{
    auto* st = static_cast<qmf_state*>(swb_calloc(sizeof(qmf_state)));
    if (st == nullptr)
        return nullptr;
    st->taps = static_cast<int16_t>(taps);
    st->h0 = h0;
    st->h1 = h1;
    st->delay = static_cast<float*>(swb_calloc(sizeof(float) * static_cast<unsigned>(taps - 2)));
    return st;
}

void QMFilt_dest(qmf_state* st)
{
    if (st == nullptr)
        return;
    swb_free(st->delay);
    swb_free(st);
}

void QMFilt_reset(qmf_state* st)
{
    if (st != nullptr && st->delay != nullptr)
        zeroF(st->taps - 2, st->delay);
}

void QMFilt_ana(int count, const float* in, float* low, float* high, qmf_state* st)
{
    if (st->delay == nullptr || count > MAX_COUNT || st->taps > SWB_QMF_TAPS)
        return;
    const int dl = st->taps - 2;
    const int half = st->taps / 2;
    float work[MAX_DELAY + MAX_COUNT];
    movF(dl, st->delay, work);
    movF(count, in, work + dl);
    for (int m = 0; m < count / 2; ++m) {
        const float* w = work + 2 * m;
        float a = 0.0f;
        float b = 0.0f;
        for (int j = 0; j < half; ++j) {
            a += w[2 * j] * st->h0[j];
            b += w[2 * j + 1] * st->h1[j];
        }
        low[m] = round16f(a + b);
        high[m] = round16f(b - a);
    }
    movF(dl, work + count, st->delay);
}

void QMFilt_syn(int count, const float* low, const float* high, float* out, qmf_state* st)
{
    if (st->delay == nullptr || 2 * count > MAX_COUNT || st->taps > SWB_QMF_TAPS)
        return;
    const int hl = (st->taps - 2) / 2;  // 15 samples of history per phase
    const int half = st->taps / 2;
    float a[MAX_DELAY / 2 + MAX_COUNT / 2];
    float b[MAX_DELAY / 2 + MAX_COUNT / 2];
    for (int k = 0; k < hl; ++k) {
        a[k] = st->delay[2 * k];
        b[k] = st->delay[2 * k + 1];
    }
    for (int i = 0; i < count; ++i) {
        a[hl + i] = low[i] + high[i];
        b[hl + i] = low[i] - high[i];
    }
    for (int i = 0; i < count; ++i) {
        float sa = 0.0f;
        float sb = 0.0f;
        for (int k = 0; k < half; ++k) {
            sa += st->h0[k] * a[i + k];
            sb += st->h1[k] * b[i + k];
        }
        out[2 * i] = round16f(2.0f * sb);
        out[2 * i + 1] = round16f(2.0f * sa);
    }
    for (int k = 0; k < hl; ++k) {
        st->delay[2 * k] = a[count + k];
        st->delay[2 * k + 1] = b[count + k];
    }
}

}  // namespace g722swb
