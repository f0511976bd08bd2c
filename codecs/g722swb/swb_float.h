#pragma once
// Conversions between the coder's float signal path and its 16- and 32-bit stored values, and
// the small vector and maths helpers every module of the coder uses.
//
// Every float-to-integer conversion rounds half away from zero after saturating, and a NaN
// becomes 0, so that no stored sample or parameter can take a value the fixed-point design
// could not hold.

#include <cstdint>

namespace g722swb {

// Writes the message and a newline to the standard error and ends the process with status 1.
[[noreturn]] void error_exit(const char* message);

// One float to 16 or 32 bits, rounded half away from zero and saturated (NaN gives 0).
int16_t roundFto16(float x);
int32_t roundFto32(float x);
// One float to 16 bits truncated toward zero and saturated (NaN gives 0).
int16_t truncFto16(float x);
// One float to the two-word form (high word = value >> 16, low word = (value >> 1) & 0x7FFF).
void roundFtoDpf(float x, int16_t* hi, int16_t* lo);

void zeroFloat(int n, float* x);
void zeroF(int n, float* x);
void zeroS(int n, int16_t* x);
// Copies first to last, so a copy to a lower address within one buffer is safe.
void movF(int n, const float* src, float* dst);
void movSS(int n, const int16_t* src, int16_t* dst);
void movSF(int n, const int16_t* src, float* dst);
void movSFQ(int n, const int16_t* src, float* dst, int q);
void movDpfFQ(int n, const int16_t* hi, const int16_t* lo, float* dst, int q);
void movFS(int n, const float* src, int16_t* dst);
void movFSQ(int n, const float* src, int16_t* dst, int q);
void movFDpfQ(int n, const float* src, int16_t* hi, int16_t* lo, int q);
void movW32F(int n, const int32_t* src, float* dst);
void movFW32(int n, const float* src, int32_t* dst);
void movW32FQ(int n, const int32_t* src, float* dst, int q);
void movFW32Q(int n, const float* src, int32_t* dst, int q);
void movF_ext(int n, const float* src, int src_step, float* dst, int dst_step);
// dst[-k] = src[-k] for k = 0..n-1.
void movF_bwd(const float* src, float* dst, int n);

// output = round(input * 2^e), half away from zero, without saturation.
void SftFto16Array(int n, const float* in, int16_t* out, int e);
// e such that max|input| * 2^e lies in [16384, 32768); 0 below 2^-15; ends the process above 2^32.
int ExpFto16Array(int n, const float* in);
int CnvFto16Array(int n, const float* in, int16_t* out);
int Fnorme16(float x);
int Fnorme32(float x);

float f_max(float a, float b);
float f_min(float a, float b);
float abs_f(float x);
void abs_array_f(int n, const float* in, float* out);
float sum_vect_E(int n, const float* x);
float mac0_Array_f(int n, const float* a, const float* b);
float mac_Array_f(int n, const float* a, const float* b);

float Sqrt(float x);
float Pow(float x, float y);
float Ceil(float x);
float Floor(float x);
float Log10(float x);
float Log(float x);
float Cos(float x);
float f_Log2(float x);

}  // namespace g722swb
