/* MSB-first bit writer and reader of the ALS bitstream, with the standard's Rice code. */
#ifndef NALS_BITIO_H
#define NALS_BITIO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Bit writer over a bounded byte area. Bits fill a 32-bit accumulator from its top and full
 * words are stored big-endian; a store that would pass the limit sets overflow instead. */
typedef struct NALSE_BITWRITER {
  uint8_t* start;            /* first byte of the area */
  uint8_t* current;          /* where the next full word goes */
  uint8_t* limit;            /* one past the last byte that may be written */
  uint32_t start_bit_offset; /* bit position of the area in the whole stream (alignment) */
  uint32_t free_bits;        /* free bits of the accumulator, 1..32 */
  uint32_t accumulator;
  int32_t overflow;          /* set when a write would have passed the limit */
} NALSE_BITWRITER;

void NALSE_BW_Init(NALSE_BITWRITER* bw, void* area, uint32_t size, uint32_t start_bit_offset);
/* Appends the n (0..32) low bits of value, most significant first. */
void PutBits_LE32(NALSE_BITWRITER* bw, uint32_t value, uint32_t n);
/* Appends zero bits up to the next byte boundary of the stream. */
NALSE_BITWRITER* NALSE_BW_Align(NALSE_BITWRITER* bw);
/* Appends the signed Rice code of v with parameter s (0..31). */
NALSE_BITWRITER* NALSE_BW_PutRiceBits(NALSE_BITWRITER* bw, int32_t v, uint32_t s);
NALSE_BITWRITER* NALSE_BW_PutRiceBlock(NALSE_BITWRITER* bw, const int32_t* d, uint32_t s,
                                        uint32_t count);
/* Writes d[w..n-1] by sub-blocks of n/count values, sub-block k with parameter params[k] >> 4. */
NALSE_BITWRITER* NALSE_BW_PutRiceBlocks(NALSE_BITWRITER* bw, const int32_t* d, uint32_t w,
                                         const uint32_t* params, uint32_t n, uint32_t count);
/* Bits written so far. */
uint64_t NALSE_BW_BitCount(const NALSE_BITWRITER* bw);
/* Stores the partial word (only its used bytes) and returns the bytes written, or -1 when the
 * area was too small. */
int32_t NALSE_BW_Finish(NALSE_BITWRITER* bw);

/* Bit reader over bytes. A read past the end yields zeros and sets overrun. */
typedef struct NALSD_BITREADER {
  const uint8_t* data;
  uint32_t size;
  uint64_t position; /* bits */
  int32_t overrun;
} NALSD_BITREADER;

void NALSD_BR_Init(NALSD_BITREADER* br, const void* data, uint32_t size);
uint32_t GetBits_LE32(NALSD_BITREADER* br, uint32_t n);
uint32_t GetBit(NALSD_BITREADER* br);
void NALSD_BR_Align(NALSD_BITREADER* br);
/* Counts 1 bits up to the ending 0 (at most limit; more sets overrun). */
uint32_t NALSD_BR_GetUnary(NALSD_BITREADER* br, uint32_t limit);
int32_t NALSD_BR_GetRiceBits(NALSD_BITREADER* br, uint32_t s);
void NALSD_BR_GetRiceBlock(NALSD_BITREADER* br, int32_t* d, uint32_t s, uint32_t count);

#ifdef __cplusplus
}
#endif

#endif
