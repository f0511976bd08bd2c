#pragma once
// Thread-safe memory for the SIP layer: one process-wide mutex guards every call into the base
// memory routines, so SIP objects may be created and freed on any thread.

#include <cstddef>
#include <cstdint>

#include "SFMem.h"

constexpr SFResult SL_MEM_ERR_NO_MEMORY = SFResultError(SF_MODULE_CMN, SF_CODE_NO_MEMORY);
constexpr SFResult SL_MEM_ERR_INVALID = SFResultError(SF_MODULE_CMN, SF_CODE_INVALID_ARGUMENT);

// 0 or 0xA0AD8008.
int SLMemInitialize(void);
void SLMemCleanup(void);

// 0, 0xA0AD800B without a pool, 0xA0AD8008 on failure.
int SLMemInitializeMemoryPool(SFMemMemoryPool* pool, uint32_t size);
void SLMemDeleteMemoryPool(SFMemMemoryPool* pool);
// From `pool` (none: the default pool); none when out of memory. Not cleared.
void* SLMemAllocateMemory(SFMemMemoryPool* pool, size_t size);
// A zero-filled block: the form every module's private allocator uses.
void* SLMemAllocateZeroed(SFMemMemoryPool* pool, size_t size);
void SLMemFreeMemory(SFMemMemoryPool* pool, void* block);

// 0, 0xA0AD800B without a list, 0xA0AD8008 on failure.
int SLMemInitializeMemoryList(SFMemMemoryList* list, uint32_t elementSize, uint32_t count);
void SLMemDeleteMemoryList(SFMemMemoryList* list);
void* SLMemAllocateFromMemoryList(SFMemMemoryList* list);
void SLMemFreeToMemoryList(SFMemMemoryList* list, void* element);

// Live blocks of the default pool (leak checks).
int32_t SLMemGetDefaultPoolCount(void);
