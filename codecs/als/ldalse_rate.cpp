#include "ldalse_rate.h"

#include <cmath>

namespace {

constexpr int32_t kAborted = -403;
constexpr int32_t kShiftNotPositive = -800;
constexpr int32_t kNoHigherShift = -801;
constexpr int32_t kAbortedUnderTarget = -802;
constexpr int32_t kAttemptsUsedUp = -803;

// From shift 5 on the input is pre-processed, which the decoder sees as five zero low bits.
constexpr int32_t kLastPlainShift = 4;

}  // namespace

int32_t LDALSE_RateControl(const LDALSE_RATE_STEP* step, int32_t target_bytes, int32_t frame_length,
                           int32_t channels, int32_t resolution, int32_t max_attempts, int32_t* out)
{
    if (!step)
        return -100;
    if (out)
        out[0] = out[1] = out[2] = 0;

    const int64_t target_bits = int64_t{8} * target_bytes;
    const int64_t samples = int64_t{frame_length} * channels;
    if (samples <= 0)
        return -100;
    const int64_t max_shift = resolution + 1 - int64_t(uint64_t(target_bits) / uint64_t(samples));

    int32_t shift = 0;
    int64_t previous_overshoot = 0;
    bool preprocessed = false;
    int32_t attempts = 0;

    for (;;) {
        int32_t r = step->set_shift(step->context, shift);
        if (r != 0)
            return r;
        if (shift > kLastPlainShift && !preprocessed) {
            r = step->preprocess(step->context);
            if (r != 0)
                return r;
            preprocessed = true;
        }

        uint32_t size = 0;
        int64_t recorded = 0;
        const int32_t abort = shift == 0 && !preprocessed;
        r = step->encode(step->context, target_bytes, abort, &size, &recorded);

        int64_t overshoot;
        if (r == kAborted) {
            if (recorded < target_bits || shift != 0)
                return kAbortedUnderTarget;
            overshoot = recorded - target_bits;
        } else if (r != 0) {
            return r;
        } else {
            ++attempts;
            if (out) {
                if (shift == 0)
                    out[0] = int32_t(size);
                out[1] = int32_t(size);
                out[2] = shift;
            }
            if (int64_t{size} <= target_bytes)
                return 0;
            if (max_attempts > 0 && attempts > max_attempts)
                return kAttemptsUsedUp;
            overshoot = 8 * (int64_t{size} - target_bytes);
        }

        int64_t next;
        if (shift == 0) {
            next = (overshoot + samples - 1) / samples;
            if (next > max_shift)
                next = max_shift;
            if (next <= 0)
                return kShiftNotPositive;
        } else {
            if (overshoot < previous_overshoot) {
                // The overshoot shrinks: extrapolate where it reaches zero.
                const double x = double(overshoot) * double(previous_overshoot) /
                                 double(previous_overshoot - overshoot);
                int64_t stride = int64_t(std::floor(x / double(samples) + 0.5));
                if (stride < 1)
                    stride = 1;
                next = shift + stride;
                if (next > kLastPlainShift) {
                    stride = int64_t(std::floor((x + 0.6 * double(samples)) / double(samples) + 0.5));
                    next = shift + (stride > 0 ? stride : 1);
                }
            } else {
                next = shift + 1;
            }
            if (next > resolution) {
                if (shift >= resolution)
                    return kNoHigherShift;
                next = resolution;
            }
            if (next > max_shift)
                next = max_shift;
            // A shift that cannot grow would repeat the same encode for ever.
            if (next <= shift)
                return kNoHigherShift;
        }
        previous_overshoot = overshoot;
        shift = int32_t(next);
    }
}
