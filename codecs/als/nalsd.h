/* MPEG-4 ALS decoder: stream header, frame decoding, PCM output and LPC export.
 *
 * Life of an instance: NALSD_Init -> NALSD_Open(OnMemory) -> frames -> NALSD_Close ->
 * NALSD_Destroy. Every call returns 0 or a negative NALS_ERR_ code. */
#ifndef NALSD_H
#define NALSD_H

#include <stdarg.h>

#include "nals.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct NALSD_IMPL NALSD_IMPL;

/* Information callback: told each header value (code, value); codes with data (15, 16, 10, 17,
 * 24) also give the stream holding it and its position, value being the size. The result is
 * ignored. */
typedef int32_t (*NALSD_InfoCallback)(NALSD_IMPL* dec, int32_t code, uint64_t value,
                                      NALS_STREAM* stream, uint64_t position);

/* Stream information record filled by NALSD_Open up to the size given (at most 64 bytes). */
typedef struct NALSD_STREAM_INFO {
  uint32_t size;          /* 0: bytes filled */
  uint32_t frequency;     /* 4 */
  uint32_t channels;      /* 8 */
  uint32_t file_type;     /* 12 */
  uint32_t resolution;    /* 16 */
  uint32_t floating;      /* 20 */
  uint32_t msb_first;     /* 24 */
  uint32_t samples_known; /* 28 */
  uint64_t samples;       /* 32: all ones when unknown */
  uint32_t frame_length;  /* 40 */
  uint32_t random_access; /* 44 */
  uint32_t ra_location;   /* 48 */
  uint32_t crc_enabled;   /* 52 */
  uint32_t ch_cfg_info;   /* 56 */
  uint32_t reserved;      /* 60 */
} NALSD_STREAM_INFO;

/* Linear-prediction coefficients of the last decoded frame, per channel (Q20, direct form). */
typedef struct NALSD_LPC_CHANNEL {
  uint32_t order;         /* 0 when the channel's last block was not predicted */
  int32_t* coefficients;  /* max_order entries */
} NALSD_LPC_CHANNEL;
typedef struct NALSD_LPC_INFO {
  uint32_t channels;
  uint32_t max_order;
  NALSD_LPC_CHANNEL* channel;
} NALSD_LPC_INFO;

int32_t NALSD_Init(NALSD_IMPL** dec, NALS_AllocFunction alloc_fn, NALS_FreeFunction free_fn);
/* Reads the stream header; info (may be null) is filled up to info_size bytes. */
int32_t NALSD_Open(NALSD_IMPL* dec, NALS_STREAM* in, void* info, uint32_t info_size);
int32_t NALSD_OpenOnMemory(NALSD_IMPL* dec, const void* bytes, uint32_t count,
                           uint32_t* consumed, void* info, uint32_t info_size);
int32_t NALSD_Close(NALSD_IMPL* dec);
int32_t NALSD_Destroy(NALSD_IMPL* dec);

void NALSD_SetInfoCallback(NALSD_IMPL* dec, NALSD_InfoCallback cb);
NALSD_InfoCallback NALSD_GetInfoCallback(NALSD_IMPL* dec);
void NALSD_SetUserPtr(NALSD_IMPL* dec, void* user);
void* NALSD_GetUserPtr(NALSD_IMPL* dec);
uint32_t NALSD_Version(void);
const char* NALSD_VersionEx(void);

/* Control codes: 1 total samples (uint64_t, only at frame 0), 11 CRC check on/off (int),
 * 12 seek to a frame index (uint64_t), 13 CRC state (uint32_t), 19 enforced profiles (uint32_t,
 * only before open). */
int32_t NALSD_SetInfo(NALSD_IMPL* dec, int32_t code, ...);
int32_t NALSD_VSetInfo(NALSD_IMPL* dec, int32_t code, va_list ap);

/* Decodes the next frame into the channel buffers; *samples (may be null) receives the samples
 * per channel. */
int32_t NALSD_DecodeFrame(NALSD_IMPL* dec, NALS_STREAM* in, uint32_t* samples);
/* Writes the decoded frame as interleaved PCM; little_endian forces little-endian output. */
int32_t NALSD_OutputFrameInterleaved(NALSD_IMPL* dec, NALS_STREAM* out, int32_t little_endian);
/* Writes one output channel of the decoded frame. */
int32_t NALSD_OutputFrameLinear(NALSD_IMPL* dec, NALS_STREAM* out, uint32_t channel,
                                int32_t little_endian);
/* One frame from coded bytes to interleaved PCM (channels x frame length x resolution/8 bytes
 * of room); consumed and samples may be null. */
int32_t NALSD_DecodeFrameOnMemoryInterleaved(NALSD_IMPL* dec, const void* bytes, uint32_t count,
                                             uint32_t* consumed, void* pcm, uint32_t* samples,
                                             int32_t little_endian);
int32_t NALSD_InitCRC32(NALSD_IMPL* dec);

/* The host moved one of the instance's blocks (same contents): 1 when it was one of them. */
int32_t NALSD_MemoryMoved(NALSD_IMPL* dec, void* old_address, void* new_address);

int32_t NALSD_InitLpcInfo(NALSD_IMPL* dec, NALSD_LPC_INFO* info);
int32_t NALSD_GetLpcInfo(NALSD_IMPL* dec, NALSD_LPC_INFO* info);
int32_t NALSD_DestroyLpcInfo(NALSD_IMPL* dec, NALSD_LPC_INFO* info);

#ifdef __cplusplus
}
#endif

#endif
