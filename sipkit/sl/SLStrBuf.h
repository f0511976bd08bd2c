#pragma once
// The encoders' output buffer. Appending counts the full length in `needed` even when the text does
// not fit, so an encoder may run without data to learn the size, and a short buffer shows as
// needed > capacity (the encoder then returns its 0x800A code).

#include <cstdint>

typedef struct SLStrBuf {
    char* data;  // may be none
    uint32_t capacity;
    uint32_t used;
    uint32_t needed;
} SLStrBuf;

void SLStrBufInit(SLStrBuf* buffer, char* data, uint32_t capacity);
// Copies only when there is data and room for all of it; no terminator is written.
void SLStrBufAppend(SLStrBuf* buffer, const char* text, int length);
// Letters, digits and `allowed` copied; others as %XX (upper-case hex), "*" as %2a.
void SLStrBufAppendUriEscaped(SLStrBuf* buffer, const char* text, int length, const char* allowed);
void SLStrBufAppendQuoted(SLStrBuf* buffer, const char* text, int length);
// True when everything appended so far was stored.
inline bool SLStrBufIsComplete(const SLStrBuf* buffer) { return buffer->needed <= buffer->capacity; }
