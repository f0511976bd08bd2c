// Counted allocation, memory lists and collective buffers.
#include "SFMem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr SFResult kNoMemory = SFResultError(SF_MODULE_MEM, SF_CODE_NO_MEMORY);
constexpr SFResult kTooSmall = SFResultError(SF_MODULE_MEM, SF_CODE_BUFFER_TOO_SMALL);

// Every added element sits behind a link word of this size, so that the element itself keeps the
// list's alignment.
constexpr size_t kLinkSize = SF_MEM_ELEMENT_ALIGN < sizeof(void*) ? sizeof(void*) : SF_MEM_ELEMENT_ALIGN;

uint32_t roundUp(uint32_t size)
{
    if (size < sizeof(void*))
        size = sizeof(void*);  // a free element carries the free-list link
    return (size + SF_MEM_ELEMENT_ALIGN - 1) & ~(SF_MEM_ELEMENT_ALIGN - 1);
}

void*& linkOf(void* element) { return *static_cast<void**>(element); }

}  // namespace

int SFMemInitialize(void) { return 0; }
void SFMemCleanup(void) {}

int SFMemInitializeMemoryPool(SFMemMemoryPool* pool, uint32_t size)
{
    if (pool) {
        pool->size = size;
        pool->count = 0;
    }
    return 0;
}

void SFMemDeleteMemoryPool(SFMemMemoryPool*) {}

void* SFMemAllocateMemory(SFMemMemoryPool* pool, size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (block && pool)
        ++pool->count;
    return block;
}

void SFMemFreeMemory(SFMemMemoryPool* pool, void* block)
{
    if (!block)
        return;
    if (pool)
        --pool->count;
    std::free(block);
}

SFResult SFMemInitializeMemoryList(SFMemMemoryList* list, uint32_t elementSize, uint32_t initialCount)
{
    if (!list)
        return SFResultError(SF_MODULE_MEM, SF_CODE_INVALID_ARGUMENT);
    std::memset(list, 0, sizeof *list);
    if (initialCount == 0)
        initialCount = 1;
    const uint32_t size = roundUp(elementSize);
    if (size < elementSize || initialCount > UINT32_MAX / size)
        return kNoMemory;
    char* block = static_cast<char*>(std::malloc(static_cast<size_t>(size) * initialCount));
    if (!block)
        return kNoMemory;
    list->requestedSize = elementSize;
    list->elementSize = size;
    list->capacity = initialCount;
    list->mainBlock = block;
    // Chained from the lowest address up, so the highest element is handed out first.
    for (uint32_t i = 0; i < initialCount; ++i) {
        void* element = block + static_cast<size_t>(i) * size;
        linkOf(element) = list->freeHead;
        list->freeHead = element;
    }
    return 0;
}

void* SFMemAllocateFromMemoryList(SFMemMemoryList* list)
{
    if (!list || !list->mainBlock)
        return nullptr;
    void* element = list->freeHead;
    if (element) {
        list->freeHead = linkOf(element);
    } else {
        char* extra = static_cast<char*>(std::malloc(kLinkSize + list->elementSize));
        if (!extra)
            return nullptr;
        linkOf(extra) = list->extraChain;
        list->extraChain = extra;
        ++list->capacity;
        element = extra + kLinkSize;
    }
    ++list->used;
    return element;
}

void SFMemFreeToMemoryList(SFMemMemoryList* list, void* element)
{
    if (!list || !element)
        return;
    linkOf(element) = list->freeHead;
    list->freeHead = element;
    --list->used;
}

uint32_t SFMemGetMemoryListInfo(const SFMemMemoryList* list, uint32_t* elementSize, uint32_t* capacity)
{
    if (!list)
        return 0;
    if (elementSize)
        *elementSize = list->requestedSize;
    if (capacity)
        *capacity = list->capacity;
    return list->used;
}

void SFMemDeleteMemoryList(SFMemMemoryList* list)
{
    if (!list || !list->mainBlock)
        return;
    for (void* extra = list->extraChain; extra;) {
        void* next = linkOf(extra);
        std::free(extra);
        extra = next;
    }
    std::free(list->mainBlock);
    std::memset(list, 0, sizeof *list);
}

SFResult SFMemInitializeCollectiveBuffer(SFMemCollectiveBuffer* buffer, uint32_t totalSize)
{
    if (!buffer || totalSize < sizeof(SFMemCollectiveBuffer) + 1)
        return kTooSmall;
    buffer->capacity = totalSize - sizeof(SFMemCollectiveBuffer);
    buffer->used = 0;
    return 0;
}

void SFMemDeleteCollectiveBuffer(SFMemCollectiveBuffer* buffer)
{
    if (buffer)
        buffer->capacity = 0;
}

void* SFMemPushDataToCollectiveBuffer(SFMemCollectiveBuffer* buffer, const void* data, uint32_t length)
{
    if (!buffer || buffer->used > buffer->capacity || buffer->capacity - buffer->used < length)
        return nullptr;
    char* at = SFMemCollectiveBufferData(buffer) + buffer->used;
    if (length)
        std::memcpy(at, data, length);
    buffer->used += length;
    return at;
}

char* SFMemPushVStringToCollectiveBuffer(SFMemCollectiveBuffer* buffer, uint32_t* length, const char* format,
                                         va_list args)
{
    if (!buffer || !format || buffer->used >= buffer->capacity)
        return nullptr;
    const uint32_t room = buffer->capacity - buffer->used;
    char* at = SFMemCollectiveBufferData(buffer) + buffer->used;
    const int n = std::vsnprintf(at, room, format, args);
    if (n < 0 || static_cast<uint32_t>(n) >= room) {
        at[0] = '\0';  // keep the earlier text terminated where it was
        return nullptr;
    }
    buffer->used += static_cast<uint32_t>(n);
    if (length)
        *length = static_cast<uint32_t>(n);
    return at;
}

char* SFMemPushStringToCollectiveBuffer(SFMemCollectiveBuffer* buffer, uint32_t* length, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    char* at = SFMemPushVStringToCollectiveBuffer(buffer, length, format, args);
    va_end(args);
    return at;
}

uint32_t SFMemPopDataFromCollectiveBuffer(SFMemCollectiveBuffer* buffer, void* destination, uint32_t length)
{
    if (!buffer)
        return 0;
    const uint32_t n = length < buffer->used ? length : buffer->used;
    if (n && destination)
        std::memcpy(destination, SFMemCollectiveBufferData(buffer) + buffer->used - n, n);
    buffer->used -= n;
    return n;
}

void SFMemEmptyCollectiveBuffer(SFMemCollectiveBuffer* buffer)
{
    if (buffer)
        buffer->used = 0;
}

uint32_t SFMemGetCollectiveBufferInfo(SFMemCollectiveBuffer* buffer, char** data, uint32_t* capacity)
{
    if (!buffer)
        return 0;
    if (data)
        *data = SFMemCollectiveBufferData(buffer);
    if (capacity)
        *capacity = buffer->capacity;
    return buffer->used;
}
