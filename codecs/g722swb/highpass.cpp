#include "highpass.h"

#include <cmath>

#include "swb_alloc.h"
#include "swb_float.h"

namespace g722swb {

highpass_state* highpass_1tap_iir_const()
{
    return static_cast<highpass_state*>(swb_calloc(sizeof(highpass_state)));
}

void highpass_1tap_iir_dest(highpass_state* st) { swb_free(st); }

void highpass_1tap_iir_reset(highpass_state* st)
{
    if (st != nullptr)
        *st = highpass_state{};
}

void highpass_1tap_iir(int shift, int count, const int16_t* in, float* out, highpass_state* st)
{
    const float div = std::ldexp(1.0f, shift);
    for (int n = 0; n < count; ++n) {
        const float x = static_cast<float>(in[n]);
        float acc = std::floor(16384.0f * st->y);
        acc -= std::floor(acc / div);
        const float y = (acc + 16384.0f * x - std::floor(16384.0f * st->x)) / 16384.0f;
        st->y = y;
        st->x = x;
        out[n] = static_cast<float>(roundFto16(y));
    }
}

}  // namespace g722swb
