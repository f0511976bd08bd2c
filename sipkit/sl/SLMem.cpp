// Thread-safe memory of the SIP layer.
#include "SLMem.h"

#include <cstring>
#include <mutex>

namespace {

// Always usable: objects may be freed on threads that outlive a clean-up.
std::mutex& memMutex()
{
    static std::mutex m;
    return m;
}
SFMemMemoryPool g_defaultPool;

SFMemMemoryPool* poolOr(SFMemMemoryPool* pool) { return pool ? pool : &g_defaultPool; }

}  // namespace

int SLMemInitialize(void)
{
    std::lock_guard<std::mutex> lock(memMutex());
    SFMemInitializeMemoryPool(&g_defaultPool, 0);
    return 0;
}

void SLMemCleanup(void)
{
    std::lock_guard<std::mutex> lock(memMutex());
    SFMemDeleteMemoryPool(&g_defaultPool);
}

int SLMemInitializeMemoryPool(SFMemMemoryPool* pool, uint32_t size)
{
    if (!pool)
        return SL_MEM_ERR_INVALID;
    std::lock_guard<std::mutex> lock(memMutex());
    return SFMemInitializeMemoryPool(pool, size) == 0 ? 0 : SL_MEM_ERR_NO_MEMORY;
}

void SLMemDeleteMemoryPool(SFMemMemoryPool* pool)
{
    if (!pool)
        return;
    std::lock_guard<std::mutex> lock(memMutex());
    SFMemDeleteMemoryPool(pool);
}

void* SLMemAllocateMemory(SFMemMemoryPool* pool, size_t size)
{
    std::lock_guard<std::mutex> lock(memMutex());
    return SFMemAllocateMemory(poolOr(pool), size);
}

void* SLMemAllocateZeroed(SFMemMemoryPool* pool, size_t size)
{
    void* block = SLMemAllocateMemory(pool, size);
    if (block)
        std::memset(block, 0, size);
    return block;
}

void SLMemFreeMemory(SFMemMemoryPool* pool, void* block)
{
    if (!block)
        return;
    std::lock_guard<std::mutex> lock(memMutex());
    SFMemFreeMemory(poolOr(pool), block);
}

int SLMemInitializeMemoryList(SFMemMemoryList* list, uint32_t elementSize, uint32_t count)
{
    if (!list)
        return SL_MEM_ERR_INVALID;
    std::lock_guard<std::mutex> lock(memMutex());
    return SFMemInitializeMemoryList(list, elementSize, count) == 0 ? 0 : SL_MEM_ERR_NO_MEMORY;
}

void SLMemDeleteMemoryList(SFMemMemoryList* list)
{
    if (!list)
        return;
    std::lock_guard<std::mutex> lock(memMutex());
    SFMemDeleteMemoryList(list);
}

void* SLMemAllocateFromMemoryList(SFMemMemoryList* list)
{
    if (!list)
        return nullptr;
    std::lock_guard<std::mutex> lock(memMutex());
    return SFMemAllocateFromMemoryList(list);
}

void SLMemFreeToMemoryList(SFMemMemoryList* list, void* element)
{
    if (!list || !element)
        return;
    std::lock_guard<std::mutex> lock(memMutex());
    SFMemFreeToMemoryList(list, element);
}

int32_t SLMemGetDefaultPoolCount(void)
{
    std::lock_guard<std::mutex> lock(memMutex());
    return g_defaultPool.count;
}
