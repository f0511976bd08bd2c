#pragma once
// Pre- and post-processing of the low-delay coder for frames coded with a forced shift of five
// or more bits: every 64-sample block goes through the integer DCT, its coefficient groups are
// companded upwards (quiet groups amplified, so that the shift's noise lands under them) and the
// block is transformed back. The decoder applies the mirror steps. Integer arithmetic only.
#include <cstdint>

typedef struct tagLDALS_NIC_INFO {
    int32_t channels;         // 1..32
    int32_t resolution;       // 16 or 24 bits
    int32_t frame_length;     // samples per channel, a nonzero multiple of 64
    int32_t block_length;     // 64
    int32_t block_length_log2;
    int32_t blocks;           // blocks per channel
    int64_t* work;            // channels x frame_length, channel after channel
} LDALS_NIC_INFO;

// -100 null record; -701 channels outside 1..32; -706 resolution not 16 or 24; -301 frame length
// 0 or not a multiple of 64; -200 no memory; 0.
int32_t LDALS_InitNicInfo(LDALS_NIC_INFO* info, int32_t channels, int32_t resolution, int32_t frame_length);
// Frees the work buffer and zeroes the record; -100 for null, else 0.
int32_t LDALS_DestroyNicInfo(LDALS_NIC_INFO* info);

// De-interleaves little-endian 16- or 24-bit PCM into the work buffer (sign-extended).
int32_t LDALS_CopyToBuffer(LDALS_NIC_INFO* info, const uint8_t* pcm);
// Interleaves the work buffer back into PCM, clipping to the resolution.
int32_t LDALS_CopyFromBuffer(const LDALS_NIC_INFO* info, uint8_t* pcm);

// One interleaved frame, in place: dct, companding (inverse companding), idct of every block.
int32_t LDALS_Preprocess(LDALS_NIC_INFO* info, uint8_t* pcm);
int32_t LDALS_Postprocess(LDALS_NIC_INFO* info, uint8_t* pcm);

// One block operation on every block of every channel of the work buffer.
int32_t LDALS_DCT(LDALS_NIC_INFO* info);
int32_t LDALS_IDCT(LDALS_NIC_INFO* info);
int32_t LDALS_NIC(LDALS_NIC_INFO* info);
int32_t LDALS_INIC(LDALS_NIC_INFO* info);

// Companding and its inverse of one 64-coefficient block, in place.
void nic(int64_t* block);
void inic(int64_t* block);
