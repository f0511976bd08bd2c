#pragma once
// Rate control of the low-delay encoder, apart from the encoder so that its arithmetic can be
// driven by a scripted encode step.
#include <cstdint>

typedef struct tagLDALSE_RATE_STEP {
    void* context;
    // Sets the forced LSB shift of the following encode; non-zero results are passed through.
    int32_t (*set_shift)(void* context, int32_t shift);
    // Pre-processes a copy of the input once; later encodes of the same call use the copy.
    int32_t (*preprocess)(void* context);
    // Encodes the frame (the copy once pre-processed) with the given target and abort rule.
    // On success stores the coded size in bytes. On -403 (abandoned at the budget) stores the
    // bits recorded so far: per channel the coded count, or the estimate where none was coded.
    int32_t (*encode)(void* context, int32_t target_bytes, int32_t abort, uint32_t* size, int64_t* recorded_bits);
} LDALSE_RATE_STEP;

// Encodes with the lowest forced shift that fits `target_bytes` (see LDALSE_EncodeWithTarget).
// out (may be null): size at shift 0, size of the last completed encode, its shift.
int32_t LDALSE_RateControl(const LDALSE_RATE_STEP* step, int32_t target_bytes, int32_t frame_length,
                           int32_t channels, int32_t resolution, int32_t max_attempts, int32_t* out);
