#include "swb_float.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace g722swb {

void error_exit(const char* message)
{
    std::fprintf(stderr, "%s\n", message);
    std::exit(1);
}

namespace {

// Saturating round half away from zero into [lo, hi], computed in double so that the limits
// of the 32-bit range are represented exactly. The NaN test comes first and is a quiet one,
// so no floating-point exception is raised on the way.
double round_sat(double x, double lo, double hi)
{
    if (std::isnan(x))
        return 0.0;
    if (x >= hi)
        return hi;
    if (x <= lo)
        return lo;
    return x >= 0.0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5);
}

double trunc_sat(double x, double lo, double hi)
{
    if (std::isnan(x))
        return 0.0;
    if (x >= hi)
        return hi;
    if (x <= lo)
        return lo;
    return std::trunc(x);
}

}  // namespace

int16_t roundFto16(float x)
{
    // A value just below 32767.5 still rounds to 32768; clamp once more after rounding.
    const double r = round_sat(x, -32768.0, 32767.0);
    return static_cast<int16_t>(r > 32767.0 ? 32767.0 : r);
}

int32_t roundFto32(float x)
{
    const double r = round_sat(x, -2147483648.0, 2147483647.0);
    return static_cast<int32_t>(r > 2147483647.0 ? 2147483647.0 : r);
}

int16_t truncFto16(float x)
{
    return static_cast<int16_t>(trunc_sat(x, -32768.0, 32767.0));
}

void roundFtoDpf(float x, int16_t* hi, int16_t* lo)
{
    const double d = static_cast<double>(x);
    if (!std::isnan(d) && d >= 2147483647.0) {
        *hi = 0x7FFF;
        *lo = 0x7FFF;
        return;
    }
    if (!std::isnan(d) && d <= -2147483648.0) {
        *hi = static_cast<int16_t>(-32768);
        *lo = 0;
        return;
    }
    const int32_t v = roundFto32(x);
    *hi = static_cast<int16_t>(v >> 16);
    *lo = static_cast<int16_t>((v >> 1) & 0x7FFF);
}

void zeroFloat(int n, float* x)
{
    for (int i = 0; i < n; ++i)
        x[i] = 0.0f;
}

void zeroF(int n, float* x) { zeroFloat(n, x); }

void zeroS(int n, int16_t* x)
{
    for (int i = 0; i < n; ++i)
        x[i] = 0;
}

void movF(int n, const float* src, float* dst)
{
    for (int i = 0; i < n; ++i)
        dst[i] = src[i];
}

void movSS(int n, const int16_t* src, int16_t* dst)
{
    for (int i = 0; i < n; ++i)
        dst[i] = src[i];
}

void movSF(int n, const int16_t* src, float* dst)
{
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]);
}

void movSFQ(int n, const int16_t* src, float* dst, int q)
{
    const float scale = std::ldexp(1.0f, -q);
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]) * scale;
}

void movDpfFQ(int n, const int16_t* hi, const int16_t* lo, float* dst, int q)
{
    const float scale = std::ldexp(1.0f, -q);
    for (int i = 0; i < n; ++i)
        dst[i] = (static_cast<float>(hi[i]) * 65536.0f + static_cast<float>(lo[i]) * 2.0f) * scale;
}

void movFS(int n, const float* src, int16_t* dst)
{
    for (int i = 0; i < n; ++i)
        dst[i] = roundFto16(src[i]);
}

void movFSQ(int n, const float* src, int16_t* dst, int q)
{
    const float scale = std::ldexp(1.0f, q);
    for (int i = 0; i < n; ++i)
        dst[i] = roundFto16(src[i] * scale);
}

void movFDpfQ(int n, const float* src, int16_t* hi, int16_t* lo, int q)
{
    const float scale = std::ldexp(1.0f, q);
    for (int i = 0; i < n; ++i)
        roundFtoDpf(src[i] * scale, &hi[i], &lo[i]);
}

void movW32F(int n, const int32_t* src, float* dst)
{
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]);
}

void movFW32(int n, const float* src, int32_t* dst)
{
    for (int i = 0; i < n; ++i)
        dst[i] = roundFto32(src[i]);
}

void movW32FQ(int n, const int32_t* src, float* dst, int q)
{
    const float scale = std::ldexp(1.0f, -q);
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<float>(src[i]) * scale;
}

void movFW32Q(int n, const float* src, int32_t* dst, int q)
{
    const float scale = std::ldexp(1.0f, q);
    for (int i = 0; i < n; ++i)
        dst[i] = roundFto32(src[i] * scale);
}

void movF_ext(int n, const float* src, int src_step, float* dst, int dst_step)
{
    for (int i = 0; i < n; ++i)
        dst[i * dst_step] = src[i * src_step];
}

void movF_bwd(const float* src, float* dst, int n)
{
    for (int k = 0; k < n; ++k)
        dst[-k] = src[-k];
}

void SftFto16Array(int n, const float* in, int16_t* out, int e)
{
    const float scale = std::ldexp(1.0f, e);
    for (int i = 0; i < n; ++i) {
        const float v = in[i] * scale;
        out[i] = static_cast<int16_t>(static_cast<int32_t>(v >= 0.0f ? v + 0.5f : v - 0.5f));
    }
}

int ExpFto16Array(int n, const float* in)
{
    float m = 0.0f;
    for (int i = 0; i < n; ++i)
        m = f_max(m, std::fabs(in[i]));
    if (m < std::ldexp(1.0f, -15))
        return 0;
    if (m > std::ldexp(1.0f, 32)) {
        std::fputs("Floating utility error.\n", stderr);
        std::exit(1);
    }
    int e = 0;
    while (m >= 32768.0f) {
        m *= 0.5f;
        --e;
    }
    while (m < 16384.0f) {
        m *= 2.0f;
        ++e;
    }
    return e;
}

int CnvFto16Array(int n, const float* in, int16_t* out)
{
    const int e = ExpFto16Array(n, in);
    SftFto16Array(n, in, out, e);
    return e;
}

int Fnorme16(float x)
{
    float m = std::fabs(x);
    if (m == 0.0f || std::isnan(m))
        return 0;
    int count = 0;
    while (m < 16384.0f) {
        m *= 2.0f;
        ++count;
    }
    return count;
}

int Fnorme32(float x)
{
    if (!(x > 0.0f))
        return 0;
    int count = 0;
    while (x < 1073741824.0f) {
        x *= 2.0f;
        ++count;
    }
    return count;
}

float f_max(float a, float b) { return b > a ? b : a; }
float f_min(float a, float b) { return b < a ? b : a; }
float abs_f(float x) { return std::fabs(x); }

void abs_array_f(int n, const float* in, float* out)
{
    for (int i = 0; i < n; ++i)
        out[i] = std::fabs(in[i]);
}

float sum_vect_E(int n, const float* x)
{
    float s = 0.0f;
    for (int i = 0; i < n; ++i)
        s += x[i] * x[i];
    return s;
}

float mac0_Array_f(int n, const float* a, const float* b)
{
    float s = 0.0f;
    for (int i = 0; i < n; ++i)
        s += a[i] * b[i];
    return s;
}

float mac_Array_f(int n, const float* a, const float* b) { return mac0_Array_f(n, a, b); }

float Sqrt(float x) { return std::sqrt(x); }
float Pow(float x, float y) { return static_cast<float>(std::pow(static_cast<double>(x), static_cast<double>(y))); }
float Ceil(float x) { return std::ceil(x); }
float Floor(float x) { return std::floor(x); }
float Log10(float x) { return std::log10(x); }
float Log(float x) { return std::log(x); }
float Cos(float x) { return std::cos(x); }
float f_Log2(float x) { return std::log(x) / 0.6931472f; }

}  // namespace g722swb
