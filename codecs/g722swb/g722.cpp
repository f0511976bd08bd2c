#include "g722.h"

#include <cmath>
#include <cstring>

#include "g722_plc.h"
#include "g722_tables.h"
#include "softbit.h"
#include "swb_alloc.h"
#include "swb_float.h"

namespace g722swb {

namespace {

constexpr int SB = G722_OCTETS;  // samples per sub-band and frame

void push_error(float* mem, float e)
{
    mem[3] = mem[2];
    mem[2] = mem[1];
    mem[1] = mem[0];
    mem[0] = e;
}

int32_t mul15(int16_t a, int16_t b) { return (static_cast<int32_t>(a) * b) >> 15; }

// Weighted predictor of the band's noise-shaping filter for this frame.
void noise_weights(g722_ns_memory* ns, const int16_t* cur, bool low_band, float* w)
{
    float win[2 * SB];
    for (int i = 0; i < SB; ++i) {
        win[i] = ns->prev[i];
        win[SB + i] = static_cast<float>(cur[i]);
        ns->prev[i] = win[SB + i];
    }
    float r[5];
    const int16_t norm = fl_AutocorrNS(win, r);
    float a[5] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    float rc[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    int16_t unstable = 0;
    fl_Levinson(r, rc, &unstable, 4, a);
    if (norm < 16) {
        float gamma;
        if (low_band) {
            // After a strongly low-pass frame the shaping is off and fades back in.
            if (rc[1] > 0.95f) {
                ns->acc = 0.0f;
                gamma = 0.0f;
            } else {
                gamma = ns->acc;
            }
            ns->acc = f_min(ns->acc + 0.23f, 0.92f);
        } else {
            gamma = rc[0] > 0.984375f ? (1.75f - rc[0]) * 0.92f : 0.92f;
        }
        fl_Weight_a(a, w, 4, gamma);
    } else {
        const float g = std::ldexp(1.0f, 15 - norm);
        w[0] = a[0];
        w[1] = a[1] * g;
        w[2] = a[2] * g * 0.5f;
        w[3] = a[3] * g * 0.25f;
        w[4] = a[4] * g * 0.125f;
    }
}

void reset_ns(g722_ns_memory* ns)
{
    *ns = g722_ns_memory{};
    ns->acc = 0.92f;
}

}  // namespace

bool g722_extra_bit_spent(int index, int32_t magnitude, int32_t sum, int remaining)
{
    if (remaining <= 0)
        return false;
    return magnitude * index > sum || SB - index == remaining;
}

float fl_noise_shaper(const float* w, const float* mem, float x)
{
    return std::floor(w[0] * x + w[1] * mem[0] + w[2] * mem[1] + w[3] * mem[2] + w[4] * mem[3]);
}

g722_encoder* fl_g722_encode_const()
{
    auto* st = static_cast<g722_encoder*>(swb_calloc(sizeof(g722_encoder)));
    if (st != nullptr)
        fl_g722_encode_reset(st);
    return st;
}

void fl_g722_encode_dest(g722_encoder* st) { swb_free(st); }

void fl_g722_encode_reset(g722_encoder* st)
{
    if (st == nullptr)
        return;
    g722_band_reset(&st->low, 32);
    g722_band_reset(&st->high, 8);
    zeroS(G722_QMF_HIST, st->qmf_hist);
    reset_ns(&st->ns_low);
    reset_ns(&st->ns_high);
}

void fl_lsbcod_buf_ns(const int16_t* xl, int16_t* codes, g722_encoder* st, int mode, int core_mode)
{
    float w[5];
    noise_weights(&st->ns_low, xl, true, w);
    g722_band* band = &st->low;
    g722_ns_memory* ns = &st->ns_low;
    const int16_t* core_tab = invqbl_tab[core_mode];
    const int core_shift = invqbl_shift[core_mode];
    for (int i = 0; i < SB; ++i) {
        const float x = static_cast<float>(xl[i]);
        const int16_t s = band->s;
        const int16_t d = band->det;
        const float v = fl_noise_shaper(w, ns->err_core, x);
        const int16_t el = saturate16(static_cast<int32_t>(v) - s);
        int16_t code = static_cast<int16_t>(quantl5b(el, d) & code_mask[core_mode]);
        const int16_t dq = static_cast<int16_t>(mul15(d, core_tab[code >> core_shift]));
        const int16_t r = saturate16(static_cast<int32_t>(s) + dq);
        adpcm_adapt_l(code, band);
        const float e = x - static_cast<float>(r);
        push_error(ns->err_core, e);
        if (core_mode > mode) {
            // The sixth bit refines the 5-bit core; the ADPCM state never sees it.
            const float q0 = static_cast<float>(mul15(d, qtab6[code]) - dq);
            const float q1 = static_cast<float>(mul15(d, qtab6[code + 1]) - dq);
            const float t = fl_noise_shaper(w, ns->err_enh, e);
            const float e0 = (t - q0) * (t - q0);
            const float e1 = (t - q1) * (t - q1);
            const int b = e0 > e1 ? 1 : 0;
            code = static_cast<int16_t>(code + b);
            push_error(ns->err_enh, e - (b ? q1 : q0));
        }
        codes[i] = code;
    }
}

void fl_hsbcod_buf_ns(const int16_t* xh, int16_t* codes, unsigned char* enh, g722_encoder* st,
                      int high_band_mode, int extra_enabled, int16_t** extra_writer)
{
    float w[5];
    noise_weights(&st->ns_high, xh, false, w);
    g722_band* band = &st->high;
    g722_ns_memory* ns = &st->ns_high;
    int remaining = G722_EXTRA_BITS;
    int32_t sum = -1;
    if (high_band_mode == 2)
        std::memset(enh, 0, SB / 8);
    for (int i = 0; i < SB; ++i) {
        const float x = static_cast<float>(xh[i]);
        const int16_t s = band->s;
        const int16_t d = band->det;
        const int16_t code = quanth(saturate16(static_cast<int32_t>(xh[i]) - s), d);
        int16_t dq = static_cast<int16_t>(mul15(d, qtab2[code]));
        adpcm_adapt_h(code, band);
        const float e = x - static_cast<float>(static_cast<int32_t>(s) + dq);
        const float v = fl_noise_shaper(w, ns->err_core, e);
        push_error(ns->err_core, e);
        int16_t full = code;
        bool spent = false;
        if (extra_enabled) {
            const int32_t m = dq < 0 ? -static_cast<int32_t>(dq) : dq;
            if (g722_extra_bit_spent(i, m, sum, remaining)) {
                const int bit = v > static_cast<float>(mul15(d, tresh_enh[code])) ? 1 : 0;
                s_PushBit(static_cast<int16_t>(bit), extra_writer, 1);
                full = static_cast<int16_t>(2 * code + bit);
                const int16_t dq_new = static_cast<int16_t>(mul15(d, oq3new[full]));
                ns->err_core[0] = e - static_cast<float>(dq_new - dq);
                dq = dq_new;
                --remaining;
                spent = true;
            }
            sum += m;
        }
        if (high_band_mode == 2) {
            const int base = 2 * full + (spent ? 0 : 16);
            const float q0 = static_cast<float>(mul15(d, oq4_3new[base]) - dq);
            const float q1 = static_cast<float>(mul15(d, oq4_3new[base + 1]) - dq);
            const float e2 = x - static_cast<float>(static_cast<int32_t>(s) + dq);
            const float t = fl_noise_shaper(w, ns->err_enh, e2);
            const int b = (t - q0) * (t - q0) > (t - q1) * (t - q1) ? 1 : 0;
            if (b)
                enh[i / 8] = static_cast<unsigned char>(enh[i / 8] | (1u << (i % 8)));
            push_error(ns->err_enh, e2 - (b ? q1 : q0));
        }
        codes[i] = static_cast<int16_t>(codes[i] + 64 * code);
    }
}

void g722_encode(int mode, int core_mode, const int16_t* input, unsigned char* output,
                 unsigned char* enh, int high_band_mode, g722_encoder* st, int extra_enabled,
                 int16_t** extra_writer)
{
    int16_t buf[G722_QMF_BUF];
    movSS(G722_QMF_HIST, st->qmf_hist, buf + SB * 2);
    int pos = SB * 2;
    int16_t xl[SB];
    int16_t xh[SB];
    for (int i = 0; i < SB; ++i)
        fl_qmf_tx_buf(input + 2 * i, &xl[i], &xh[i], buf, &pos);
    movSS(G722_QMF_HIST, buf, st->qmf_hist);

    int16_t codes[SB];
    fl_lsbcod_buf_ns(xl, codes, st, mode, core_mode);
    fl_hsbcod_buf_ns(xh, codes, enh, st, high_band_mode, extra_enabled, extra_writer);
    for (int i = 0; i < SB; ++i)
        output[i] = static_cast<unsigned char>(codes[i] & 0xFF);
}

g722_decoder* g722_decode_const()
{
    auto* st = static_cast<g722_decoder*>(swb_calloc(sizeof(g722_decoder)));
    if (st == nullptr)
        return nullptr;
    st->plc = G722PLC_init_flt();
    if (st->plc == nullptr) {
        swb_free(st);
        return nullptr;
    }
    g722_decode_reset(st);
    return st;
}

void g722_decode_dest(g722_decoder* st)
{
    if (st == nullptr)
        return;
    G722PLC_clear_flt(st->plc);
    swb_free(st);
}

void g722_decode_reset(g722_decoder* st)
{
    if (st == nullptr)
        return;
    g722_band_reset(&st->low, 32);
    g722_band_reset(&st->high, 8);
    zeroS(G722_QMF_HIST, st->qmf_hist);
}

int16_t fl_hsbdec_enh(int16_t code, int16_t enh_bit, int high_band_mode, g722_band* band,
                      int index, const int16_t** extra_reader, int extra_present,
                      int* remaining, int32_t* sum)
{
    const int16_t s = band->s;
    const int16_t d = band->det;
    const int32_t dq = mul15(d, qtab2[code & 3]);
    adpcm_adapt_h(code, band);
    int full = code & 3;
    int read = 0;
    if (extra_present) {
        const int32_t m = dq < 0 ? -dq : dq;
        if (g722_extra_bit_spent(index, m, *sum, *remaining)) {
            full = 2 * full + GetBit(extra_reader, 1);
            --*remaining;
            read = 1;
        }
        *sum += m;
    }
    const int idx = (full << (3 - high_band_mode)) + (high_band_mode == 2 ? (enh_bit & 1) : 0);
    const int16_t level = invqbh_tab[high_band_mode - read][idx];
    return limit(static_cast<int32_t>(s) + mul15(d, level));
}

void g722_decode(int mode, const unsigned char* octets, const unsigned char* enh,
                 int high_band_mode, int lost, int16_t* output, g722_decoder* st,
                 const int16_t** extra_reader, int extra_present)
{
    g722plc_state* plc = st->plc;
    if (lost) {
        G722PLC_conceal_flt(plc, output, st);
        return;
    }
    // Move the concealment histories on by one frame; this frame fills their newest end.
    movF(PLC_LB_HIST - SB, plc->lb_hist + SB, plc->lb_hist);
    movF(PLC_HB_HIST - SB, plc->hb_hist + SB, plc->hb_hist);
    float* lb = plc->lb_hist + PLC_LB_HIST - SB;
    float* hb = plc->hb_hist + PLC_HB_HIST - SB;

    int16_t buf[G722_QMF_BUF];
    movSS(G722_QMF_HIST, st->qmf_hist, buf + SB * 2);
    int pos = SB * 2;
    int remaining = G722_EXTRA_BITS;
    int32_t sum = -1;
    const int since = plc->since_loss;
    for (int k = 0; k < SB; ++k) {
        const int16_t code = octets[k];
        int16_t rl = lsbdec(static_cast<int16_t>(code & 63), mode, &st->low);
        const int16_t ebit = high_band_mode == 2 ? static_cast<int16_t>((enh[k / 8] >> (k % 8)) & 1) : 0;
        const int16_t rh_raw = fl_hsbdec_enh(static_cast<int16_t>((code >> 6) & 3), ebit, high_band_mode,
                                             &st->high, k, extra_reader, extra_present, &remaining, &sum);
        if (st->tap_low != nullptr) {
            st->tap_low[k] = rl;
            st->tap_high[k] = rh_raw;
        }
        const float y = G722PLC_hp_flt(&plc->hp_x, &plc->hp_y, f_G722PLC_b_hp156, f_G722PLC_a_hp156,
                                       static_cast<float>(rh_raw));
        const int16_t rh = saturate16(static_cast<int32_t>(std::fmax(std::fmin(std::floor(y + 0.5f), 32767.0f), -32768.0f)));
        if (since < PLC_CONT) {
            // Resynchronising after a loss: the first 20 samples come from the predicted
            // continuation, then the decoded signal is faded in over the next 60.
            constexpr float g_step = 0.01662597619f;
            if (since == 0) {
                if (k < 20) {
                    rl = truncFto16(plc->cont[k]);
                } else {
                    const float g = g_step * static_cast<float>(k - 19);
                    rl = truncFto16((1.0f - g) * plc->cont[k] + g * static_cast<float>(rl));
                }
            } else {
                const float g = 0.34991455078125f + g_step * static_cast<float>(k);
                rl = truncFto16((1.0f - g) * plc->cont[SB + k] + g * static_cast<float>(rl));
            }
        }
        lb[k] = static_cast<float>(rl);
        hb[k] = static_cast<float>(rh);
        fl_qmf_rx_buf(rl, rh, buf, &pos, output + 2 * k);
    }
    movSS(G722_QMF_HIST, buf, st->qmf_hist);
    if (since < PLC_CONT)
        plc->since_loss = static_cast<int16_t>(since + SB);
    plc->prev_lost = 0;
}

}  // namespace g722swb
