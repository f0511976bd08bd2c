#pragma once
// Every state record of the coder is allocated here, zero-filled, so that a failing
// allocation can be provoked in tests and the allocations can be counted.

#include <cstddef>

namespace g722swb {

void* swb_calloc(std::size_t size);
void swb_free(void* p);

// For tests and benchmarks: replaces the allocator (null restores the default) and reports how
// many allocations the library has made so far.
using swb_alloc_fn = void* (*)(std::size_t size);
void swb_set_allocator(swb_alloc_fn fn);
unsigned long swb_allocation_count();

}  // namespace g722swb
