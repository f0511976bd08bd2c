#include "g722_plc.h"

#include <array>
#include <cmath>

#include "g722.h"
#include "g722_adpcm.h"
#include "swb_alloc.h"
#include "swb_float.h"

namespace g722swb {

namespace {

constexpr int SB = 40;  // samples per sub-band and frame

std::array<float, 80> make_lpc_win()
{
    std::array<float, 80> w{};
    const double pi = 3.14159265358979323846;
    for (int n = 0; n < 70; ++n)
        w[static_cast<unsigned>(n)] = static_cast<float>(0.54 - 0.46 * std::cos(pi * n / 69.0));
    for (int k = 0; k < 10; ++k)
        w[static_cast<unsigned>(70 + k)] = static_cast<float>(0.54 + 0.46 * std::cos(pi * (k + 1) / 10.0));
    return w;
}

const std::array<float, 80> lpc_win = make_lpc_win();

}  // namespace

const float f_G722PLC_lpc_win_80[80] = {
#define W(i) lpc_win[i]
#define W8(i) W(i), W(i + 1), W(i + 2), W(i + 3), W(i + 4), W(i + 5), W(i + 6), W(i + 7)
    W8(0), W8(8), W8(16), W8(24), W8(32), W8(40), W8(48), W8(56), W8(64), W8(72),
#undef W8
#undef W
};

const float f_G722PLC_lag[8] = {0.998790383f, 0.995468974f, 0.989957809f, 0.982293367f,
                                0.972526193f, 0.96072036f,  0.946952641f, 0.931311786f};
const float f_G722PLC_gamma_az[9] = {1.0f,    0.99f,  0.9801f, 0.9703f, 0.9606f,
                                     0.951f,  0.9415f, 0.9321f, 0.9227f};
const float f_G722PLC_fir_lp[9] = {0.0563401841f, 0.0944550037f, 0.130085468f,
                                   0.155427635f,  0.164602444f,  0.155427635f,
                                   0.130085468f,  0.0944550037f, 0.0563401841f};
const float f_G722PLC_b_hp[2] = {1.0f, -1.0f};
const float f_G722PLC_a_hp[2] = {1.0f, 0.96f};
const float f_G722PLC_b_hp156[2] = {0.96f, -0.96f};
const float f_G722PLC_a_hp156[2] = {1.0f, 0.88f};

g722plc_state* G722PLC_init_flt()
{
    auto* st = static_cast<g722plc_state*>(swb_calloc(sizeof(g722plc_state)));
    if (st != nullptr)
        G722PLC_reset_flt(st);
    return st;
}

void G722PLC_reset_flt(g722plc_state* st)
{
    *st = g722plc_state{};
    st->cls = 5;
    st->since_loss = PLC_CONT;
    st->step = 1;
    st->d1 = 0.00030517578f;
    st->d2 = 0.00030517578f;
    st->d3 = 0.0022888184f;
    st->gain_l = 1.0f;
    st->gain_h = 1.0f;
}

void G722PLC_clear_flt(g722plc_state* st) { swb_free(st); }

void set_att_flt(g722plc_state* st, int16_t step, float d1, float d2, float d3)
{
    st->step = step;
    st->d1 = d1;
    st->d2 = d2;
    st->d3 = d3;
}

float G722PLC_hp_flt(float* prev_in, float* prev_out, const float* b, const float* a, float x)
{
    const float y = b[0] * x + b[1] * *prev_in + a[1] * *prev_out;
    *prev_in = x;
    *prev_out = y;
    return y;
}

int16_t G722PLC_pitch_ol_refine_flt(const float* x, int16_t lag, float* corr)
{
    const int n = PLC_EXC_HIST - 1 - lag;  // samples compared: the last 288 - T
    const int start = PLC_LB_HIST - n;
    int best = lag;
    float best_c = -1.0e30f;
    for (int l = lag - 2; l <= lag + 2; ++l) {
        if (l < 16 || start - l < 0)
            continue;
        float c = 0.0f;
        float e = 1.0f;
        for (int i = start; i < PLC_LB_HIST; ++i) {
            c += x[i] * x[i - l];
            e += x[i - l] * x[i - l];
        }
        const float nc = c / e;
        if (nc > best_c) {
            best_c = nc;
            best = l;
        }
    }
    *corr = best_c;
    return static_cast<int16_t>(best);
}

namespace {

// Open-loop pitch on the decimated, whitened low band (70 samples at 2 kHz): the best lag and
// a second candidate (0 when none).
void pitch_ol(const float* w, int* best_lag, int* second)
{
    constexpr int N = 70;
    constexpr int HALF = 35;
    float e_cur = 1.0f;
    for (int i = HALF; i < N; ++i)
        e_cur += w[i] * w[i];
    int best = 18;
    float best_c = 0.0f;
    int sec = 0;
    bool negative_seen = false;
    for (int m = 2; m <= HALF; ++m) {
        float c = 0.0f;
        float e_del = 1.0f;
        for (int i = HALF; i < N; ++i) {
            c += w[i] * w[i - m];
            e_del += w[i - m] * w[i - m];
        }
        if (c < 0.0f)
            negative_seen = true;
        // Candidates only beyond the first lobe of the correlation.
        if (!negative_seen || m <= 3)
            continue;
        const float nc = c / f_max(e_del, e_cur);
        const bool near = m == best + 1 || m == 2 * best;
        const float threshold = near ? (best_c < 0.888855f ? best_c * 1.125f : 1.0f) : best_c;
        if (nc > threshold) {
            if (m != best + 1 && best_c > 0.0f)
                sec = best;
            best = m;
            best_c = nc;
        }
    }
    *best_lag = best;
    *second = sec;
}

}  // namespace

void G722PLC_ana_flt(g722plc_state* st, int16_t nbl, int16_t nbh)
{
    const float* x = st->lb_hist;
    float f[PLC_LB_HIST];
    float px = 0.0f;
    float py = 0.0f;
    for (int n = 0; n < PLC_LB_HIST; ++n)
        f[n] = G722PLC_hp_flt(&px, &py, f_G722PLC_b_hp, f_G722PLC_a_hp, x[n]);

    // Order-8 predictor of the last 80 filtered samples.
    float w[80];
    for (int i = 0; i < 80; ++i)
        w[i] = f[PLC_LB_HIST - 80 + i] * f_G722PLC_lpc_win_80[i];
    float r[PLC_ORDER + 1];
    for (int k = 0; k <= PLC_ORDER; ++k) {
        float s = 0.0f;
        for (int i = k; i < 80; ++i)
            s += w[i] * w[i - k];
        r[k] = s;
    }
    fl_Lag_window(r, f_G722PLC_lag, PLC_ORDER);
    float rc[PLC_ORDER];
    int16_t unstable = 0;
    for (float& a : st->a)
        a = 0.0f;
    fl_Levinson(r, rc, &unstable, PLC_ORDER, st->a);

    for (int i = 0; i < PLC_EXC_HIST; ++i) {
        float e = 0.0f;
        for (int k = 0; k <= PLC_ORDER; ++k)
            e += st->a[k] * x[i + PLC_ORDER - k];
        st->exc[i] = e;
    }

    // Decimate by 4 (ending at the newest sample) and whiten with an order-2 predictor.
    float dec[72];
    for (int j = 0; j < 72; ++j) {
        const int n = PLC_LB_HIST - 1 - 4 * (71 - j);
        float s = 0.0f;
        for (int k = 0; k < 9; ++k)
            s += f_G722PLC_fir_lp[k] * f[n - k];
        dec[j] = s;
    }
    float wd[72];
    for (int j = 0; j < 72; ++j)
        wd[j] = dec[j] * f_G722PLC_lpc_win_80[8 + j];
    float r2[3];
    for (int k = 0; k < 3; ++k) {
        float s = 0.0f;
        for (int j = k; j < 72; ++j)
            s += wd[j] * wd[j - k];
        r2[k] = s;
    }
    r2[1] *= 0.9987904f;
    r2[2] *= 0.995469f;
    float a2[3] = {1.0f, 0.0f, 0.0f};
    float rc2[2];
    fl_Levinson(r2, rc2, &unstable, 2, a2);
    a2[1] *= 0.94f;
    a2[2] *= 0.8836f;
    float white[70];
    for (int j = 0; j < 70; ++j)
        white[j] = dec[j + 2] + a2[1] * dec[j + 1] + a2[2] * dec[j];

    int lag = 18;
    int second = 0;
    pitch_ol(white, &lag, &second);
    float nc = 0.0f;
    int t0 = G722PLC_pitch_ol_refine_flt(f, static_cast<int16_t>(4 * lag), &nc);
    if (nc >= 0.4f && second > 0) {
        float nc2 = 0.0f;
        const int t2 = G722PLC_pitch_ol_refine_flt(f, static_cast<int16_t>(4 * second), &nc2);
        if (nc2 > nc) {
            nc = nc2;
            t0 = t2;
        }
    }
    if (nc < 0.25f && t0 < 32)
        t0 *= 2;
    nc = f_min(nc, 1.0f);

    for (int k = 0; k < PLC_ORDER; ++k)
        st->mem[k] = x[PLC_LB_HIST - 1 - k];

    int crossings = 0;
    for (int n = PLC_LB_HIST - 79; n < PLC_LB_HIST; ++n)
        if (f[n - 1] > 0.0f && f[n] <= 0.0f)
            ++crossings;
    const bool noisy = crossings > 19;

    float* e = st->exc;
    const int last = PLC_EXC_HIST - 1;
    auto noise_rule = [&]() {
        if (t0 <= 31)
            t0 *= 2;
        float sum = 0.0f;
        for (int n = PLC_EXC_HIST - 80; n < PLC_EXC_HIST; ++n)
            sum += std::fabs(e[n]);
        const float thr = sum / 32.0f;
        for (int n = PLC_EXC_HIST - t0; n < PLC_EXC_HIST; ++n)
            if (std::fabs(e[n]) > thr)
                e[n] *= 0.25f;
        st->cls = 1;
    };

    if (nc > 0.7f && nbl >= nbh) {
        if (noisy) {
            noise_rule();
        } else {
            st->cls = 0;
            float m = 0.0f;
            float s = 0.0f;
            int v = last;
            for (int n = PLC_EXC_HIST - t0; n < PLC_EXC_HIST; ++n) {
                const float a = std::fabs(e[n]);
                s += a;
                if (a > m) {
                    m = a;
                    v = n;
                }
            }
            if (s < 0.25f * m * static_cast<float>(t0)) {
                // A peaky residual: take the period from the two largest pulses.
                float dmax = 0.0f;
                int wpos = -1;
                for (int n = PLC_EXC_HIST - t0; n < PLC_EXC_HIST; ++n) {
                    if (std::abs(n - v) < t0 - 5)
                        continue;
                    const float a = std::fabs(e[n]);
                    if (a > dmax) {
                        dmax = a;
                        wpos = n;
                    }
                }
                if (wpos >= 0 && dmax > 0.5f * m && (e[wpos] < 0.0f) == (e[v] < 0.0f))
                    t0 = std::abs(v - wpos);
            }
        }
    } else {
        st->cls = (nbl < nbh) ? 7 : 5;
        if (nc > 0.7f)
            st->cls = 5;
        if (noisy) {
            noise_rule();
        } else {
            bool transient = false;
            for (int n = PLC_EXC_HIST - t0; n < PLC_EXC_HIST; ++n) {
                float lim = 0.0f;
                for (int j = -2; j <= 2; ++j)
                    {
                    int idx = n - t0 + j;
                    idx = idx < 0 ? 0 : (idx > last ? last : idx);
                    lim = f_max(lim, std::fabs(e[idx]));
                }
                const float a = std::fabs(e[n]);
                if (a > lim) {
                    if (a >= 8.0f * lim)
                        transient = true;
                    e[n] = e[n] < 0.0f ? -lim : lim;
                }
            }
            if (transient) {
                st->cls = 3;
                if (t0 >= 41)
                    t0 = 40;
            }
        }
    }
    st->t0 = static_cast<int16_t>(t0);
    st->rep_len = static_cast<int16_t>(t0 + 2);
}

void G722PLC_syn_flt(g722plc_state* st, float* output, int n)
{
    const bool odd = (st->cls & 1) != 0;
    const int t = odd ? (st->t0 | 1) : st->t0;
    float* work = st->exc_work;
    movF(PLC_EXC_HIST, st->exc, work);
    for (int i = 0; i < n; ++i) {
        int lag = odd ? ((i & 1) ? t + 1 : t - 1) : t;
        if (lag < 1)
            lag = 1;
        if (lag > PLC_EXC_HIST)
            lag = PLC_EXC_HIST;
        const float e = work[PLC_EXC_HIST + i - lag];
        work[PLC_EXC_HIST + i] = e;
        float y = st->a[0] * e;
        for (int k = 1; k <= PLC_ORDER; ++k)
            y -= st->a[k] * st->mem[k - 1];
        for (int k = PLC_ORDER - 1; k > 0; --k)
            st->mem[k] = st->mem[k - 1];
        st->mem[0] = y;
        output[i] = y;
    }
    movF(PLC_EXC_HIST, work + n, st->exc);
}

float* G722PLC_syn_hb_flt(g722plc_state* st)
{
    float* h = st->hb_hist;
    float nw[SB];
    if (st->cls == 0) {
        const int t = st->t0 < 1 ? 1 : (st->t0 > PLC_HB_HIST ? PLC_HB_HIST : st->t0);
        for (int i = 0; i < SB; ++i)
            nw[i] = h[PLC_HB_HIST - t + (t >= SB ? i : i % t)];
    } else {
        if (st->cls == 1) {
            float sum = 0.0f;
            for (int n = PLC_HB_HIST - 80; n < PLC_HB_HIST; ++n)
                sum += std::fabs(h[n]);
            const float thr = sum / 32.0f;
            for (int n = PLC_HB_HIST - 80; n < PLC_HB_HIST; ++n)
                if (std::fabs(h[n]) > thr)
                    h[n] *= 0.25f;
        }
        for (int i = 0; i < SB; ++i)
            nw[i] = h[80 + i];
    }
    movF(PLC_HB_HIST - SB, h + SB, h);
    movF(SB, nw, h + PLC_HB_HIST - SB);
    return h + PLC_HB_HIST - SB;
}

namespace {

// Fades n samples along the schedule of later lost frames: the decrement grows after 80 and
// 160 concealed samples, and the band is muted after 480.
void fade_schedule(float* x, int n, float* gain, int16_t* counter, const g722plc_state* st)
{
    for (int i = 0; i < n; ++i) {
        if (*counter > 479 || *gain <= 0.0f) {
            *gain = 0.0f;
            *counter = 480;
        } else {
            float dec = st->d1;
            if (*counter > 79)
                dec += st->d2;
            if (*counter > 159)
                dec += st->d3;
            *gain -= dec;
            if (*gain <= 0.0f) {
                *gain = 0.0f;
                *counter = 480;
            } else {
                *counter = static_cast<int16_t>(*counter + st->step);
            }
        }
        x[i] *= *gain;
    }
}

// Linear fade by a fixed decrement that never goes below silence.
void fade_linear(float* x, int n, float* gain, float dec)
{
    for (int i = 0; i < n; ++i) {
        // A ramp that has arrived at silence within float rounding is silence.
        *gain -= dec;
        if (*gain < 0.5f * dec)
            *gain = 0.0f;
        x[i] *= *gain;
    }
}

}  // namespace

void G722PLC_conceal_flt(g722plc_state* st, int16_t* output, g722_decoder* dec)
{
    st->since_loss = 0;
    float* lb = st->lb_hist + PLC_LB_HIST - SB;
    float* hb;
    if (!st->prev_lost) {
        st->gain_l = 1.0f;
        st->gain_h = 1.0f;
        st->cnt_l = 0;
        st->cnt_h = 0;
        G722PLC_ana_flt(st, dec->low.nb, dec->high.nb);
        float tail;
        switch (st->cls) {
        case 7:
            set_att_flt(st, 2, 0.00030517578f, 0.0f, 0.00579834f);
            tail = 0.0061035156f;
            break;
        case 3:
            set_att_flt(st, 6, 0.0125f, 0.0f, 0.0f);
            tail = 0.0f;
            break;
        default:
            set_att_flt(st, 1, 0.00030517578f, 0.00030517578f, 0.0022888184f);
            tail = 0.00061035156f;
            break;
        }
        hb = G722PLC_syn_hb_flt(st);
        movF(PLC_LB_HIST - SB, st->lb_hist + SB, st->lb_hist);
        G722PLC_syn_flt(st, lb, SB);
        for (int k = 1; k <= PLC_ORDER; ++k)
            st->a[k] *= f_G722PLC_gamma_az[k];
        G722PLC_syn_flt(st, st->cont, PLC_CONT);
        // The frame and its continuation fade on from where the frame's fade ended; a class
        // whose frame fade reaches silence keeps its continuation silent.
        fade_linear(lb, SB, &st->gain_l, st->d1);
        fade_linear(st->cont, SB, &st->gain_l, st->d1);
        fade_linear(st->cont + SB, SB, &st->gain_l, tail);
        st->cnt_l = static_cast<int16_t>(120 * st->step);
        fade_linear(hb, SB, &st->gain_h, st->d1);
        st->cnt_h = static_cast<int16_t>(SB * st->step);
    } else {
        movF(PLC_LB_HIST - SB, st->lb_hist + SB, st->lb_hist);
        movF(SB, st->cont, lb);
        movF(SB, st->cont + SB, st->cont);
        G722PLC_syn_flt(st, st->cont + SB, SB);
        fade_schedule(st->cont + SB, SB, &st->gain_l, &st->cnt_l, st);
        hb = G722PLC_syn_hb_flt(st);
        fade_schedule(hb, SB, &st->gain_h, &st->cnt_h, st);
    }

    int16_t buf[G722_QMF_BUF];
    movSS(G722_QMF_HIST, dec->qmf_hist, buf + SB * 2);
    int pos = SB * 2;
    for (int k = 0; k < SB; ++k) {
        const float y = G722PLC_hp_flt(&st->hp_x, &st->hp_y, f_G722PLC_b_hp156, f_G722PLC_a_hp156, hb[k]);
        const int16_t rh = truncFto16(std::floor(y + 0.5f));
        fl_qmf_rx_buf(truncFto16(lb[k]), rh, buf, &pos, output + 2 * k);
    }
    movSS(G722_QMF_HIST, buf, dec->qmf_hist);

    // Prepare the ADPCM state so that decoding resumes from the concealed signal.
    g722_band* low = &dec->low;
    for (int16_t& d : low->d)
        d = 0;
    low->r[1] = truncFto16(lb[SB - 1]);
    low->r[2] = truncFto16(lb[SB - 2]);
    low->p[1] = truncFto16(0.5f * lb[SB - 1]);
    low->p[2] = truncFto16(0.5f * lb[SB - 2]);
    low->s = truncFto16(st->cont[0]);
    low->sz = truncFto16(0.5f * st->cont[0]);
    g722_band* high = &dec->high;
    high->nb = static_cast<int16_t>(high->nb >> 1);
    high->det = scaleh(high->nb);
    if (st->cnt_h > 160) {
        low->det = 32;
        low->nb = 0;
        high->nb = 0;
        high->det = 8;
    }
    low->a[1] = truncFto16(static_cast<float>(low->a[1]) * 0.97f);
    low->a[2] = truncFto16(static_cast<float>(low->a[2]) * 0.9409f);
    static const float zero_leak[7] = {0.0f, 0.97f, 0.9409f, 0.9127f, 0.8853f, 0.8587f, 0.833f};
    for (int i = 1; i < 7; ++i)
        low->b[i] = truncFto16(static_cast<float>(low->b[i]) * zero_leak[i]);
    st->prev_lost = 1;
}

}  // namespace g722swb
