#pragma once
// Low-delay encoder: one ALS encoder turned into a per-frame encoder for RTP with a byte budget.
// Lossless while a frame fits; otherwise a forced LSB shift is raised until it fits, and from a
// shift of five on the frame is first pre-processed (integer DCT and noise injection), which the
// decoder undoes. The stream header is written once at open and never travels.
#include "nalse.h"

#include <cstdint>

typedef struct tagLDALSE_ALS_PARAMS {
    int32_t frame_length;   // samples per channel, a nonzero multiple of 64
    int32_t max_attempts;   // completed encodes of one frame at most; 0 or below: no limit
} LDALSE_ALS_PARAMS;

typedef struct tagLDALSE_IMPL LDALSE_IMPL;

// -100 null out pointer or parameters; -700 sample rate outside 8000..96000; -701 channels
// outside 1..32; -706 resolution not 16 or 24; -301 frame length; -200 no memory; or the
// encoder's own code.
int32_t LDALSE_Open(LDALSE_IMPL** handle, int32_t sample_rate, int32_t channels, int32_t resolution,
                    const LDALSE_ALS_PARAMS* params);
int32_t LDALSE_Close(LDALSE_IMPL* handle);

// Rate-controlled encode of one interleaved frame into at most `target_bytes`.
// out (three int32, may be null): size at shift 0, size of the last completed encode, its shift.
// -800 the next shift would not be positive; -801 no higher shift; -802 abandoned frame whose
// bits do not exceed the target; -803 attempts used up.
int32_t LDALSE_EncodeWithTarget(LDALSE_IMPL* handle, const void* pcm, int32_t target_bytes, int32_t* out);
// One encode without target, with the shift the last rate-controlled call ended at.
int32_t LDALSE_Encode(LDALSE_IMPL* handle, const void* pcm);

const uint8_t* LDALSE_GetHeader(const LDALSE_IMPL* handle);
int32_t LDALSE_GetHeaderSize(const LDALSE_IMPL* handle);
const uint8_t* LDALSE_GetFrame(const LDALSE_IMPL* handle);
int32_t LDALSE_GetFrameSize(const LDALSE_IMPL* handle);
// The encoder core inside, for tools and tests.
NALSE_IMPL* LDALSE_GetEncoder(const LDALSE_IMPL* handle);

// The allocation pair and callbacks given to the encoder core.
void* LDALSE_Alloc(uint32_t hint1, uint32_t hint2, uint32_t size);
void LDALSE_Free(void* block);
int32_t LDALSE_InfoCallback(NALSE_IMPL* encoder, int32_t code, void* out1, void* out2, void* out3);
int32_t LDALSE_EncodeCallback(NALSE_IMPL* encoder, int32_t channel, int32_t bits, int32_t kind);
