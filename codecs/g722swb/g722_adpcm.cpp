#include "g722_adpcm.h"

#include <cmath>

#include "g722_tables.h"
#include "swb_float.h"

namespace g722swb {

void g722_band_reset(g722_band* band, int16_t det)
{
    *band = g722_band{};
    band->det = det;
}

int16_t saturate16(int32_t x)
{
    if (x > 32767)
        return 32767;
    if (x < -32768)
        return -32768;
    return static_cast<int16_t>(x);
}

int16_t limit(int32_t x)
{
    if (x > 16383)
        return 16383;
    if (x < -16384)
        return -16384;
    return static_cast<int16_t>(x);
}

namespace {

int16_t magnitude(int16_t e) { return e >= 0 ? e : static_cast<int16_t>(-(e + 1)); }

// 16-bit sign as G.722 takes it: -1 for negative, 0 otherwise.
int sgn(int16_t x) { return x >> 15; }

}  // namespace

int16_t quantl5b(int16_t el, int16_t detl)
{
    const int32_t wd = magnitude(el);
    auto level = [detl](int i) { return (static_cast<int32_t>(detl) * q5b[i]) >> 15; };
    // m: number of decision levels not above wd (binary search over the 15 levels).
    int lo = 0;
    int hi = 15;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (wd >= level(mid))
            lo = mid + 1;
        else
            hi = mid;
    }
    const int m = lo > 14 ? 14 : lo;
    return el < 0 ? misil5b[m] : misil5b[15 + m];
}

int16_t quanth(int16_t eh, int16_t deth)
{
    const int32_t wd = magnitude(eh);
    const int interval = wd >= ((static_cast<int32_t>(deth) * 9024) >> 16) ? 2 : 1;
    return misih[3 * (eh >= 0 ? 1 : 0) + interval];
}

int16_t logscl(int16_t code4, int16_t nbl)
{
    int32_t nb = ((static_cast<int32_t>(nbl) * 127) >> 7) + wli[code4 & 15];
    if (nb < 0)
        nb = 0;
    if (nb > 18432)
        nb = 18432;
    return static_cast<int16_t>(nb);
}

int16_t logsch(int16_t code2, int16_t nbh)
{
    int32_t nb = ((static_cast<int32_t>(nbh) * 127) >> 7) + whi[code2 & 3];
    if (nb < 0)
        nb = 0;
    if (nb > 22528)
        nb = 22528;
    return static_cast<int16_t>(nb);
}

int16_t scalel(int16_t nbl) { return ila2[64 + (nbl >> 6)]; }
int16_t scaleh(int16_t nbh) { return ila2[nbh >> 6]; }

void upzero(int16_t dq, const int16_t* d, int16_t* b)
{
    const int32_t step = dq == 0 ? 0 : 128;
    for (int i = 1; i < 7; ++i) {
        const int32_t move = sgn(d[i]) == sgn(dq) ? step : -step;
        b[i] = saturate16(move + ((static_cast<int32_t>(b[i]) * 32640) >> 15));
    }
}

int16_t uppol2(int16_t a1, int16_t a2, int16_t p0, int16_t p1, int16_t p2)
{
    const int32_t wd1 = saturate16(static_cast<int32_t>(a1) * 4);
    int32_t wd2 = sgn(p0) == sgn(p1) ? -wd1 : wd1;
    if (wd2 > 32767)
        wd2 = 32767;
    int32_t wd3 = (sgn(p0) == sgn(p2) ? 128 : -128) + (wd2 >> 7) + ((static_cast<int32_t>(a2) * 32512) >> 15);
    if (wd3 > 12288)
        wd3 = 12288;
    if (wd3 < -12288)
        wd3 = -12288;
    return static_cast<int16_t>(wd3);
}

int16_t uppol1(int16_t a1, int16_t a2new, int16_t p0, int16_t p1)
{
    const int32_t wd1 = sgn(p0) == sgn(p1) ? 192 : -192;
    int32_t ap1 = saturate16(wd1 + ((static_cast<int32_t>(a1) * 32640) >> 15));
    const int32_t wd3 = saturate16(15360 - static_cast<int32_t>(a2new));
    if (ap1 > wd3)
        ap1 = wd3;
    if (ap1 < -wd3)
        ap1 = -wd3;
    return static_cast<int16_t>(ap1);
}

int16_t filtez(const int16_t* d, const int16_t* b)
{
    int32_t sz = 0;
    for (int i = 6; i > 0; --i) {
        const int32_t d2 = saturate16(static_cast<int32_t>(d[i]) * 2);
        sz = saturate16(sz + ((static_cast<int32_t>(b[i]) * d2) >> 15));
    }
    return static_cast<int16_t>(sz);
}

int16_t filtep(const int16_t* r, const int16_t* a)
{
    const int32_t r1 = saturate16(static_cast<int32_t>(r[1]) * 2);
    const int32_t r2 = saturate16(static_cast<int32_t>(r[2]) * 2);
    return saturate16(((static_cast<int32_t>(a[1]) * r1) >> 15) + ((static_cast<int32_t>(a[2]) * r2) >> 15));
}

void adpcm_adapt_c(int16_t dq, g722_band* band)
{
    band->d[0] = dq;
    band->r[0] = saturate16(static_cast<int32_t>(band->s) + dq);
    band->p[0] = saturate16(static_cast<int32_t>(band->sz) + dq);

    upzero(dq, band->d, band->b);
    const int16_t a2 = uppol2(band->a[1], band->a[2], band->p[0], band->p[1], band->p[2]);
    const int16_t a1 = uppol1(band->a[1], a2, band->p[0], band->p[1]);
    band->a[1] = a1;
    band->a[2] = a2;

    for (int i = 6; i > 0; --i)
        band->d[i] = band->d[i - 1];
    for (int i = 2; i > 0; --i) {
        band->r[i] = band->r[i - 1];
        band->p[i] = band->p[i - 1];
    }
    band->sp = filtep(band->r, band->a);
    band->sz = filtez(band->d, band->b);
    band->s = saturate16(static_cast<int32_t>(band->sp) + band->sz);
}

void adpcm_adapt_l(int16_t code, g722_band* band)
{
    const int16_t code4 = static_cast<int16_t>((code >> 2) & 15);
    const int16_t dq = static_cast<int16_t>((static_cast<int32_t>(band->det) * qtab4[code4]) >> 15);
    band->nb = logscl(code4, band->nb);
    band->det = scalel(band->nb);
    adpcm_adapt_c(dq, band);
}

void adpcm_adapt_h(int16_t code, g722_band* band)
{
    const int16_t c = static_cast<int16_t>(code & 3);
    const int16_t dq = static_cast<int16_t>((static_cast<int32_t>(band->det) * qtab2[c]) >> 15);
    band->nb = logsch(c, band->nb);
    band->det = scaleh(band->nb);
    adpcm_adapt_c(dq, band);
}

int16_t lsbdec(int16_t code, int mode, g722_band* band)
{
    const int16_t level = invqbl_tab[mode][(code & 63) >> invqbl_shift[mode]];
    const int32_t dl = (static_cast<int32_t>(band->det) * level) >> 15;
    const int16_t rl = limit(saturate16(static_cast<int32_t>(band->s) + dl));
    adpcm_adapt_l(code, band);
    return rl;
}

void fl_qmf_tx_buf(const int16_t* in, int16_t* low, int16_t* high, int16_t* buf, int* pos)
{
    *pos -= 2;
    int16_t* x = buf + *pos;
    x[1] = in[0];
    x[0] = in[1];
    float a = 0.0f;
    float b = 0.0f;
    for (int i = 0; i < 12; ++i) {
        a += static_cast<float>(x[2 * i]) * fl_qmf_coef[2 * i];
        b += static_cast<float>(x[2 * i + 1]) * fl_qmf_coef[2 * i + 1];
    }
    *low = saturate16(static_cast<int32_t>(std::floor(a + b)));
    *high = saturate16(static_cast<int32_t>(std::floor(a - b)));
}

void fl_qmf_rx_buf(int16_t rl, int16_t rh, int16_t* buf, int* pos, int16_t* out)
{
    *pos -= 2;
    int16_t* x = buf + *pos;
    x[0] = saturate16(static_cast<int32_t>(rl) - rh);
    x[1] = saturate16(static_cast<int32_t>(rl) + rh);
    float sd = 0.0f;
    float ss = 0.0f;
    for (int m = 0; m < 12; ++m) {
        sd += static_cast<float>(x[2 * m]) * fl_qmf_coef[2 * m];
        ss += static_cast<float>(x[2 * m + 1]) * fl_qmf_coef[2 * m + 1];
    }
    auto out16 = [](float v) -> int16_t {
        v *= 8.0f;
        if (v > 32767.0f)
            return 32767;
        if (v < -32768.0f)
            return -32768;
        return static_cast<int16_t>(std::floor(v));
    };
    out[0] = out16(sd);
    out[1] = out16(ss);
}

int16_t fl_AutocorrNS(const float* x, float* r)
{
    int changes = 0;
    for (int n = 1; n < 80; ++n)
        if ((x[n - 1] < 0.0f) != (x[n] < 0.0f))
            ++changes;
    const float beta = 0.38275f + static_cast<float>(79 - changes) * 0.007813f;
    float y[80];
    y[0] = 0.0f;
    for (int n = 1; n < 80; ++n)
        y[n] = fl_NS_window[n] * (x[n] - beta * x[n - 1]);
    float bias = 10000.0f;
    for (int k = 0; k <= 4; ++k) {
        float s = bias;
        for (int n = 1; n + k < 80; ++n)
            s += y[n] * y[n + k];
        r[k] = s;
        bias *= 0.95f;
    }
    fl_Lag_window(r, fl_NS_lag, 4);
    return static_cast<int16_t>(Fnorme32(2.0f * r[0]));
}

void fl_Levinson(const float* r, float* rc, int16_t* unstable, int order, float* a)
{
    a[0] = 1.0f;
    // A frame without energy (a digitally silent history) has no spectrum to model: the
    // predictor is trivial. Testing before dividing keeps NaN out of every later stage.
    if (!(r[0] > 0.0f) || !std::isfinite(r[0])) {
        for (int i = 1; i <= order; ++i) {
            a[i] = 0.0f;
            rc[i - 1] = 0.0f;
        }
        *unstable = 1;
        return;
    }
    float k = -r[1] / r[0];
    rc[0] = k;
    a[1] = k;
    float err = r[0] + r[1] * k;
    if (err <= 0.0f)
        err = 0.001f;
    *unstable = 0;
    for (int i = 2; i <= order; ++i) {
        float s = 0.0f;
        for (int j = 0; j < i; ++j)
            s += a[j] * r[i - j];
        k = -s / err;
        rc[i - 1] = k;
        if (std::fabs(k) > 0.99f) {
            *unstable = 1;
            return;
        }
        for (int j = 1; j <= i / 2; ++j) {
            const float lo = a[j];
            const float hi = a[i - j];
            a[j] = lo + k * hi;
            if (j != i - j)
                a[i - j] = hi + k * lo;
        }
        a[i] = k;
        err += s * k;
        if (err <= 0.0f)
            err = 0.001f;
    }
}

void fl_Lag_window(float* r, const float* window, int order)
{
    for (int k = 1; k <= order; ++k)
        r[k] *= window[k - 1];
}

void fl_Weight_a(const float* a, float* ap, int order, float gamma)
{
    float g = 1.0f;
    ap[0] = a[0];
    for (int k = 1; k <= order; ++k) {
        g *= gamma;
        ap[k] = a[k] * g;
    }
}

}  // namespace g722swb
