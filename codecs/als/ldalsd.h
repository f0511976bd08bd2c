#pragma once
// Low-delay decoder: the receiving half of the low-delay coder. Opened from the stream header
// that the local encoder wrote (no header travels), it decodes each received frame into one
// interleaved PCM buffer and undoes the sender's pre-processing when the samples show it.
#include "nalsd.h"

#include <cstdint>

typedef struct tagLDALSD_IMPL LDALSD_IMPL;

// -100 null out pointer or header, or no memory for the handle; -200 no memory; -301, -701, -706
// a header the pre-processing cannot serve; or the header reader's code.
int32_t LDALSD_Open(LDALSD_IMPL** handle, const void* header, int32_t header_size);
int32_t LDALSD_Close(LDALSD_IMPL* handle);

// Decodes one frame; *consumed (may be null) receives the bytes the frame used (0 on failure).
int32_t LDALSD_Decode(LDALSD_IMPL* handle, const void* frame, int32_t bytes, int32_t* consumed);

const uint8_t* LDALSD_GetData(const LDALSD_IMPL* handle);
int32_t LDALSD_GetDataSize(const LDALSD_IMPL* handle);
int32_t LDALSD_GetUnitSize(const LDALSD_IMPL* handle);
int32_t LDALSD_GetFrameLength(const LDALSD_IMPL* handle);
int32_t LDALSD_GetSampleRate(const LDALSD_IMPL* handle);
int32_t LDALSD_GetChannels(const LDALSD_IMPL* handle);
int32_t LDALSD_GetResolution(const LDALSD_IMPL* handle);
// The decoder core inside (the media engine reads the LPC information from it).
NALSD_IMPL* LDALSD_GetDecoder(const LDALSD_IMPL* handle);

int32_t LDALSD_InitLpcInfo(LDALSD_IMPL* handle, NALSD_LPC_INFO* info);
int32_t LDALSD_DestroyLpcInfo(LDALSD_IMPL* handle, NALSD_LPC_INFO* info);
int32_t LDALSD_GetLpcInfo(LDALSD_IMPL* handle, NALSD_LPC_INFO* info);

// 1 when `bits` low bits of every sample's low byte are zero, 0 when not, -1 for bad arguments
// (null PCM, channels outside 1..32, resolution not 16 or 24, frame length outside 1..65536,
// bits outside 1..8).
int32_t LDALSD_CheckLsbEmpty(const void* pcm, int32_t channels, int32_t resolution, int32_t frame_length,
                             int32_t bits);

void* LDALSD_Alloc(uint32_t hint1, uint32_t hint2, uint32_t size);
void LDALSD_Free(void* block);
