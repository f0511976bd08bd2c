#pragma once
// First-order high-pass that removes DC from the encoder input. It emulates a Q14 fixed-point
// filter with floor operations, so the pole is exactly 1 - 2^-shift.

#include <cstdint>

namespace g722swb {

struct highpass_state {
    float y;  // previous output, unrounded
    float x;  // previous input
};

highpass_state* highpass_1tap_iir_const();  // null when out of memory
void highpass_1tap_iir_dest(highpass_state* st);
void highpass_1tap_iir_reset(highpass_state* st);
// Filters `count` samples; shift 6 at 16 kHz, 7 at 32 kHz. Outputs are rounded 16-bit values.
void highpass_1tap_iir(int shift, int count, const int16_t* in, float* out, highpass_state* st);

}  // namespace g722swb
