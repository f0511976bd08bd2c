/* MPEG-4 ALS encoder: set-up, stream header and frame encoding.
 *
 * Life of an instance: NALSE_Init -> NALSE_Open -> frames -> NALSE_Close (may open again)
 * -> NALSE_Destroy. Every call returns 0 or a negative NALS_ERR_ code. */
#ifndef NALSE_H
#define NALSE_H

#include "nals.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct NALSE_IMPL NALSE_IMPL;

/* Information callback: asked for configuration values the parameter record does not reach.
 * Returns non-zero when it answers. For plain values out1 points to a uint32_t (a uint64_t for
 * NALS_INFO_SAMPLES). For NALS_INFO_ORIG_HEADER, _ORIG_TRAILER, _AUX_DATA and _CH_SORTING,
 * out1 is a NALS_STREAM** (source stream or null), out2 a uint64_t* offset, out3 a uint64_t*
 * size. */
typedef int32_t (*NALSE_InfoCallback)(NALSE_IMPL* enc, int32_t code, void* out1, void* out2,
                                      void* out3);
/* Encode callback: after the analysis of a channel's block (kind 1, estimated bits) and after
 * its coding (kind 0, bits written). A 0 answer to a kind-1 call abandons the frame (-403). */
typedef int32_t (*NALSE_EncodeCallback)(NALSE_IMPL* enc, int32_t channel, int32_t bits,
                                        int32_t kind);

/* Parameter record of NALSE_Open, versioned by the size passed: a field is read only when the
 * size reaches past its last byte, otherwise it is asked from the information callback. */
typedef struct NALSE_PARAMS {
  uint32_t frequency;        /* 0: required */
  uint32_t channels;         /* 4: required, 1..65536 */
  uint32_t file_type;        /* 8 */
  uint32_t resolution;       /* 12: bits 1..32, rounded up to a multiple of 8 */
  uint32_t floating;         /* 16: must be 0 */
  uint32_t msb_first;        /* 20: big-endian input; for 8 bits: signed input */
  uint32_t samples_known;    /* 24 */
  uint32_t reserved;         /* 28 */
  uint64_t samples;          /* 32: samples per channel */
  uint32_t frame_length;     /* 40: 0 = by rate */
  uint32_t random_access;    /* 44: frames per random-access unit, 0 none */
  uint32_t ra_location;      /* 48: 0 none, 1 in front of frames, 2 in the header */
  uint32_t crc_enabled;      /* 52 */
  uint32_t ch_cfg_info;      /* 56 */
  uint32_t max_order;        /* 60: 0..1023 */
  uint32_t adaptive;         /* 64 */
  uint32_t mcc;              /* 68: 0 off, else channels per correlation group */
  uint32_t joint_stereo;     /* 72 */
  uint32_t block_switching;  /* 76: levels 0..5 */
  uint32_t ltp;              /* 80 */
  uint32_t bgmc;             /* 84: must be 0 */
  uint32_t lsb_check;        /* 88 */
  uint32_t encoder_hint;     /* 92 */
  uint32_t lsb_roundup;      /* 96 */
  uint32_t bs_thread_num;    /* 100: block-switching worker threads 0..15 */
} NALSE_PARAMS;

int32_t NALSE_Init(NALSE_IMPL** enc, NALS_AllocFunction alloc_fn, NALS_FreeFunction free_fn);
int32_t NALSE_Open(NALSE_IMPL* enc, const void* params, uint32_t params_size);
int32_t NALSE_Close(NALSE_IMPL* enc);
int32_t NALSE_Destroy(NALSE_IMPL* enc);

void NALSE_SetInfoCallback(NALSE_IMPL* enc, NALSE_InfoCallback cb);
NALSE_InfoCallback NALSE_GetInfoCallback(NALSE_IMPL* enc);
void NALSE_SetEncodeCallback(NALSE_IMPL* enc, NALSE_EncodeCallback cb);
void NALSE_SetUserPtr(NALSE_IMPL* enc, void* user);
void* NALSE_GetUserPtr(NALSE_IMPL* enc);

/* Writes the current value for an information code: a uint64_t for codes 1 and 12, else a
 * uint32_t. -303 when the samples are unknown or CRC is off; -301 for other codes. */
int32_t NALSE_GetInfo(NALSE_IMPL* enc, int32_t code, void* out);
int32_t NALSE_GetMaximumHeaderSize(NALSE_IMPL* enc, uint32_t* size);
int32_t NALSE_GetMaximumFrameSize(NALSE_IMPL* enc, uint32_t* size);
uint32_t NALSE_Version(void);
const char* NALSE_VersionEx(void);

/* Stream header (ALSSpecificConfig) to a stream or into memory. */
int32_t NALSE_OutputHeader(NALSE_IMPL* enc, NALS_STREAM* out);
int32_t NALSE_OutputHeaderToMemory(NALSE_IMPL* enc, void* buffer, uint32_t capacity,
                                   uint32_t* written);

/* Codes one frame from the input stream to the output stream; *samples (may be null) receives
 * the samples per channel coded. */
int32_t NALSE_EncodeFrame(NALSE_IMPL* enc, NALS_STREAM* in, NALS_STREAM* out, uint32_t* samples);
/* Codes one frame of interleaved PCM (channels x samples words of resolution/8 bytes) into
 * the output buffer; fewer samples than the frame length end the stream. */
int32_t NALSE_EncodeFrameOnMemory(NALSE_IMPL* enc, const void* pcm, uint32_t samples,
                                  void* out, uint32_t capacity, uint32_t* written);

/* Forced LSB shift for the following frames (0 off, above 16 stored as 16). */
int32_t NALSE_SetLsbForthShift(NALSE_IMPL* enc, uint32_t shift);
/* Restarts the CRC of the input. */
int32_t NALSE_InitCRC32(NALSE_IMPL* enc);

/* The host moved one of the instance's blocks (same contents): the member that held the old
 * address takes the new one. 1 when found, else 0. */
int32_t NALSE_MemoryMoved(NALSE_IMPL* enc, void* old_address, void* new_address);

/* Encoder memory blocks: every allocation of the encoder goes through these. */
void* NALSE_Alloc(uint32_t space, uint32_t kind, uint32_t size);
void NALSE_Free(void* payload);

#ifdef __cplusplus
}
#endif

#endif
