/* Encoder records: memory-block queries, copies, clones and dumps (diagnostics). */
#pragma once

#include <stdint.h>

#include "nalse_impl.h"

extern "C" {
uint32_t NALSE_GetMemoryBlockSpace(const void* payload);
uint32_t NALSE_GetMemoryBlockType(const void* payload);
uint32_t NALSE_GetMemoryBlockSize(const void* payload);
void* NALSE_CloneMemoryBlock(const void* payload);
void NALSE_PrintMemoryBlock(const void* payload);
int32_t NALSE_CopyBLOCK_PARAM(nals::BLOCK_PARAM* dst, const nals::BLOCK_PARAM* src);
nals::BLOCK_PARAM* NALSE_CloneBLOCK_PARAM(const nals::BLOCK_PARAM* array, uint32_t count);
void NALSE_FreeBLOCK_PARAM(nals::BLOCK_PARAM* array, uint32_t count);
nals::SAMPLE_BUFFER* NALSE_CloneSAMPLE_BUFFER(const nals::SAMPLE_BUFFER* array, uint32_t count);
void NALSE_FreeSAMPLE_BUFFER(nals::SAMPLE_BUFFER* array, uint32_t count);
void NALSE_PrintBLOCK_PARAM(const nals::BLOCK_PARAM* array, uint32_t count);
void NALSE_PrintSAMPLE_BUFFER(const nals::SAMPLE_BUFFER* array, uint32_t count);
void NALSE_PrintNALSE_IMPL(const NALSE_IMPL* enc);
}
