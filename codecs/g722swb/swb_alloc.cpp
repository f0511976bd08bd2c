#include "swb_alloc.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace g722swb {

namespace {

void* default_alloc(std::size_t size) { return std::malloc(size); }

std::atomic<swb_alloc_fn> g_alloc{default_alloc};
std::atomic<unsigned long> g_count{0};

}  // namespace

void* swb_calloc(std::size_t size)
{
    g_count.fetch_add(1, std::memory_order_relaxed);
    void* p = g_alloc.load(std::memory_order_relaxed)(size);
    if (p != nullptr)
        std::memset(p, 0, size);
    return p;
}

void swb_free(void* p) { std::free(p); }

void swb_set_allocator(swb_alloc_fn fn) { g_alloc.store(fn != nullptr ? fn : default_alloc); }

unsigned long swb_allocation_count() { return g_count.load(std::memory_order_relaxed); }

}  // namespace g722swb
