#include "dct_int.h"

#include "ldals_tables.h"

#include <utility>

namespace {

constexpr int64_t kTanPi8 = 13573;   // round(32767 tan(pi/8))
constexpr int64_t kCosPi4 = 23170;   // round(32767 / sqrt(2))

// Q15 product rounded half away from zero (0 stays 0).
inline int64_t r15(int64_t p)
{
    return p < 0 ? -((-p + 16384) >> 15) : ((p + 16384) >> 15);
}

// Rotation by pi/4 as three lifting steps. (x, y) -> (y1, x2).
inline void rot_pi4(int64_t x, int64_t y, int64_t& y1, int64_t& x2)
{
    const int64_t x1 = x + r15(-kTanPi8 * y);
    y1 = y + r15(kCosPi4 * x1);
    x2 = x1 + r15(-kTanPi8 * y1);
}

inline void unrot_pi4(int64_t y1, int64_t x2, int64_t& x, int64_t& y)
{
    const int64_t x1 = x2 - r15(-kTanPi8 * y1);
    y = y1 - r15(kCosPi4 * x1);
    x = x1 - r15(-kTanPi8 * y);
}

// Twiddle rotation by table entry j; the sign entry folds angles beyond +-pi/2.
inline void rot_twiddle(int j, int64_t a, int64_t b, int64_t& r1, int64_t& r2)
{
    const int64_t ca = rotcnstA[j], cb = rotcnstB[j], sgn = rotcnstSGN[j];
    const int64_t a1 = a + r15(ca * b);
    const int64_t b1 = b + r15(cb * a1);
    const int64_t a2 = a1 + r15(ca * b1);
    r1 = sgn * a2;
    r2 = sgn * b1;
}

inline void unrot_twiddle(int j, int64_t r1, int64_t r2, int64_t& a, int64_t& b)
{
    const int64_t ca = rotcnstA[j], cb = rotcnstB[j], sgn = rotcnstSGN[j];
    const int64_t a2 = sgn * r1;
    const int64_t b1 = sgn * r2;
    const int64_t a1 = a2 - r15(ca * b1);
    b = b1 - r15(cb * a1);
    a = a1 - r15(ca * b);
}

inline int bit_reverse(int v, int bits)
{
    int r = 0;
    for (int i = 0; i < bits; ++i) {
        r = (r << 1) | (v & 1);
        v >>= 1;
    }
    return r;
}

void permute(int n, int log2n, int64_t* x)
{
    for (int i = 0; i < n; ++i) {
        const int j = bit_reverse(i, log2n);
        if (j > i)
            std::swap(x[i], x[j]);
    }
}

// One group of a stage: the first butterfly and the inner ones.
void forward_group(int n, int log2n, int t, int k, int64_t* x)
{
    const int v = t / 4, o = t / 2;
    const int g = k * t, h = n - k * t;
    const int rho = bit_reverse(k, log2n - 1);

    int64_t a, b;
    rot_pi4(x[g], x[h - v], x[g], b);
    rot_pi4(x[g + v], x[h - o], x[h - o], a);
    rot_twiddle((1024 >> (log2n + 1)) * (v + rho), a, b, x[h - v], x[g + v]);

    const int j2 = (1024 >> log2n) * (v + rho);
    for (int i = 1; i < v; ++i) {
        const int f1 = g + i, f2 = g + o - i, b1 = h - o + i, b2 = h - i;
        rot_pi4(x[f1], x[b1], x[f1], b);
        const int64_t y = x[f2];
        const int64_t w = x[b2] - r15(-kTanPi8 * y);
        const int64_t z = r15(kCosPi4 * w);
        x[b2] = z - y;
        a = r15(-kTanPi8 * (y - z)) - w;
        rot_twiddle(j2, a, b, x[b1], x[f2]);
    }
}

void inverse_group(int n, int log2n, int t, int k, int64_t* x)
{
    const int v = t / 4, o = t / 2;
    const int g = k * t, h = n - k * t;
    const int rho = bit_reverse(k, log2n - 1);

    int64_t a, b;
    const int j2 = (1024 >> log2n) * (v + rho);
    for (int i = v - 1; i >= 1; --i) {
        const int f1 = g + i, f2 = g + o - i, b1 = h - o + i, b2 = h - i;
        unrot_twiddle(j2, x[b1], x[f2], a, b);
        // Forward: x[b2]' = z - y and a = r15(-c (y - z)) - w, with y - z = -x[b2]'.
        const int64_t w = r15(kTanPi8 * x[b2]) - a;
        const int64_t z = r15(kCosPi4 * w);
        const int64_t y = z - x[b2];
        x[b2] = w + r15(-kTanPi8 * y);
        x[f2] = y;
        unrot_pi4(x[f1], b, x[f1], x[b1]);
    }

    unrot_twiddle((1024 >> (log2n + 1)) * (v + rho), x[h - v], x[g + v], a, b);
    unrot_pi4(x[h - o], a, x[g + v], x[h - o]);
    unrot_pi4(x[g], b, x[g], x[h - v]);
}

}  // namespace

void dct(int n, int log2n, int64_t* x)
{
    if (n < 2 || !x)
        return;
    if (n > 2)
        permute(n, log2n, x);
    for (int t = 4; t <= n; t *= 2)
        for (int k = 0; k < n / t; ++k)
            forward_group(n, log2n, t, k, x);
    rot_pi4(x[0], x[n / 2], x[0], x[n / 2]);
}

void idct(int n, int log2n, int64_t* x)
{
    if (n < 2 || !x)
        return;
    unrot_pi4(x[0], x[n / 2], x[0], x[n / 2]);
    for (int t = n; t >= 4; t /= 2)
        for (int k = n / t - 1; k >= 0; --k)
            inverse_group(n, log2n, t, k, x);
    if (n > 2)
        permute(n, log2n, x);
}
