#pragma once
// Null-safe string helpers of the SIP layer.

#include <cstdint>

#include "SFMem.h"

// C-library comparisons that accept missing strings: both missing 0, only the left missing -1, only the right missing 1.
int SLUtlStrCmp(const char* a, const char* b);
int SLUtlStrCmpN(const char* a, const char* b, uint32_t n);
int SLUtlStrCmpI(const char* a, const char* b);
int SLUtlStrCmpNI(const char* a, const char* b, uint32_t n);
// A NUL-terminated copy of `length` bytes (negative: the whole text) from `pool` (none: the default
// pool), freed with SLMemFreeMemory; none for no text or no memory.
char* SLUtlStrDup(SFMemMemoryPool* pool, const char* text, int length);
// 1 for the token characters of SIP: letters, digits and - . ! % * _ + ` ' ~.
int SLUtlStrIsTokenChar(int c);
