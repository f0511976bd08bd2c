#pragma once
// Concealment of lost frames of decoded PCM. Good frames are kept in a short history together with
// the decoder's LPC coefficients; a lost frame becomes an LPC extrapolation of the last good
// samples fading into the best matching pattern taken from the history, and the first good frame
// afterwards is cross-faded from that pattern's continuation.
//
// Results: 0 success, 1 out of memory, 2 bad argument. One state is used by one thread.
#include <cstdint>

enum {
    NALSPLC_OK = 0,
    NALSPLC_NO_MEMORY = 1,
    NALSPLC_BAD_ARGUMENT = 2,
};

enum {
    NALSPLC_MODE_SILENCE = 0,        // every lost frame is silent
    NALSPLC_MODE_CONCEAL_ONCE = 1,   // one lost frame concealed, the next silent
    NALSPLC_MODE_CONCEAL_ALWAYS = 2, // every lost frame concealed once two good frames were seen
};

// LPC information of one channel: `order` coefficients in Q20 (1.0 = 0x100000).
typedef struct tagNALSPLC_LPC {
    int32_t order;
    const int32_t* coef;
} NALSPLC_LPC;

typedef struct tagNALSPLC_STATE NALSPLC_STATE;

// channels 1..6; bits 8, 16, 24 or 32; format 0 little-endian, 1 big-endian; frame length 1..4096
// samples per channel; order 1..15 (the largest LPC order); mode 0..2.
int32_t NalsPlc_Open(NALSPLC_STATE** state, int32_t channels, int32_t bits, int32_t format,
                     int32_t frame_length, int32_t order, int32_t mode);
int32_t NalsPlc_Close(NALSPLC_STATE* state);

// One frame of channels x frame length interleaved samples. With `lpc` (one entry per channel) the
// frame is good: it is kept (after a concealed frame it is first cross-faded in place). Without,
// the frame is lost and `pcm` is overwritten with its replacement. An LPC order above the order
// given at open is refused with 2 and nothing changes.
int32_t NalsPlc_ProcessFrame(NALSPLC_STATE* state, void* pcm, const NALSPLC_LPC* lpc);

// Sample conversions: 8-bit samples are unsigned around 128; the others signed in `format` order.
// The way out clips to the sample range.
void NalsPlc_ConvertTo32bit(int32_t* out, const void* pcm, int32_t bits, int32_t format, int32_t count);
void NalsPlc_ConvertFrom32bit(void* pcm, const int32_t* in, int32_t bits, int32_t format, int32_t count);
// Silence: 0x80 bytes for 8 bits, zero bytes otherwise.
void NalsPlc_SetSilence(void* pcm, int32_t bits, int32_t samples);

// The steps of concealment, for tests and tools.
void NalsPlc_MakeWindow(int32_t* fade_in, int32_t* fade_out, int32_t n);
int32_t NalsPlc_SelectPattern(const int32_t* predicted, const int32_t* newest_backwards_src,
                              const int32_t* previous, int32_t n, int32_t stride);
void NalsPlc_Combine(NALSPLC_STATE* state, int32_t channel, const int32_t* predicted, int32_t pattern);
void NalsPlc_GenerateFrame(NALSPLC_STATE* state);
void NalsPlc_CrossFade(NALSPLC_STATE* state);
