#pragma once
// Kit memory: counted allocation, fixed-size memory lists and collective buffers.
//
// Nothing here takes a lock: a caller that shares a pool, list or buffer between threads guards it
// itself (the SIP layer does so through SLMem).

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "SFResult.h"

// Elements of a memory list are rounded to this size so that records holding pointers stay aligned
// on a 64-bit host; on the 32-bit board it is the historical 4.
constexpr uint32_t SF_MEM_ELEMENT_ALIGN = sizeof(void*) <= 4 ? 4u : static_cast<uint32_t>(alignof(void*));

// A pool only counts its live blocks (useful to find leaks per module).
typedef struct SFMemMemoryPool {
    uint32_t size;   // given at creation, not enforced
    int32_t count;   // live blocks
} SFMemMemoryPool;

typedef struct SFMemMemoryList {
    uint32_t requestedSize;  // element size as given
    uint32_t elementSize;    // rounded to SF_MEM_ELEMENT_ALIGN
    uint32_t capacity;       // elements owned
    uint32_t used;           // elements handed out
    void* mainBlock;         // elementSize * initial count
    void* freeHead;          // free elements chained through their first word
    void* extraChain;        // elements added later, each behind a link word
} SFMemMemoryList;

// Header of a collective buffer: the data bytes follow it in the same block.
typedef struct SFMemCollectiveBuffer {
    uint32_t capacity;  // total size - 8
    uint32_t used;
} SFMemCollectiveBuffer;
static_assert(sizeof(SFMemCollectiveBuffer) == 8, "collective buffer header is two 32-bit counters");

int SFMemInitialize(void);
void SFMemCleanup(void);

// Counted allocation.
int SFMemInitializeMemoryPool(SFMemMemoryPool* pool, uint32_t size);
void SFMemDeleteMemoryPool(SFMemMemoryPool* pool);
// A system allocation, counted in `pool` when given; none when the system is out of memory.
void* SFMemAllocateMemory(SFMemMemoryPool* pool, size_t size);
// Releases `block` (none is ignored) and uncounts it.
void SFMemFreeMemory(SFMemMemoryPool* pool, void* block);

// Memory lists. An initial count of 0 is taken as 1. Returns 0 or 0xA0838008.
SFResult SFMemInitializeMemoryList(SFMemMemoryList* list, uint32_t elementSize, uint32_t initialCount);
// Takes a free element (contents not cleared), growing the list by one when it is empty; none only
// when the system allocation fails.
void* SFMemAllocateFromMemoryList(SFMemMemoryList* list);
void SFMemFreeToMemoryList(SFMemMemoryList* list, void* element);
// Returns the number of elements in use; the out pointers are optional.
uint32_t SFMemGetMemoryListInfo(const SFMemMemoryList* list, uint32_t* elementSize, uint32_t* capacity);
// Frees everything; elements still handed out become invalid. The record may be initialised again.
void SFMemDeleteMemoryList(SFMemMemoryList* list);

// Collective buffers: `buffer` is the start of a block of `totalSize` bytes.
// Returns 0, or 0xA083800A when the total size is below 9.
SFResult SFMemInitializeCollectiveBuffer(SFMemCollectiveBuffer* buffer, uint32_t totalSize);
void SFMemDeleteCollectiveBuffer(SFMemCollectiveBuffer* buffer);
// Appends `length` bytes; returns where they were stored, or none (buffer unchanged) when full.
void* SFMemPushDataToCollectiveBuffer(SFMemCollectiveBuffer* buffer, const void* data, uint32_t length);
// Appends formatted text followed by an uncounted NUL; returns its start, or none when the text
// (with its NUL) does not fit whole. `length` (optional) receives the text length.
char* SFMemPushVStringToCollectiveBuffer(SFMemCollectiveBuffer* buffer, uint32_t* length, const char* format,
                                         va_list args);
char* SFMemPushStringToCollectiveBuffer(SFMemCollectiveBuffer* buffer, uint32_t* length, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Removes the LAST min(length, used) bytes into `destination`; returns how many.
uint32_t SFMemPopDataFromCollectiveBuffer(SFMemCollectiveBuffer* buffer, void* destination, uint32_t length);
void SFMemEmptyCollectiveBuffer(SFMemCollectiveBuffer* buffer);
// Returns the used length; the out pointers are optional.
uint32_t SFMemGetCollectiveBufferInfo(SFMemCollectiveBuffer* buffer, char** data, uint32_t* capacity);
// The data bytes of a collective buffer.
inline char* SFMemCollectiveBufferData(SFMemCollectiveBuffer* buffer)
{
    return reinterpret_cast<char*>(buffer) + sizeof(SFMemCollectiveBuffer);
}
