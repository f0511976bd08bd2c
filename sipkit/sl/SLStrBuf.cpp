// The encoders' output buffer.
#include "SLStrBuf.h"

#include <cstdio>
#include <cstring>

void SLStrBufInit(SLStrBuf* buffer, char* data, uint32_t capacity)
{
    if (!buffer)
        return;
    buffer->data = data;
    buffer->capacity = data ? capacity : 0;
    buffer->used = 0;
    buffer->needed = 0;
}

void SLStrBufAppend(SLStrBuf* buffer, const char* text, int length)
{
    if (!buffer || !text)
        return;
    const uint32_t n = length < 0 ? static_cast<uint32_t>(std::strlen(text)) : static_cast<uint32_t>(length);
    buffer->needed += n;
    // Once something did not fit nothing more is copied, so the stored text is always a prefix.
    if (buffer->data && buffer->needed - n == buffer->used && buffer->capacity - buffer->used >= n) {
        std::memcpy(buffer->data + buffer->used, text, n);
        buffer->used += n;
    }
}

void SLStrBufAppendUriEscaped(SLStrBuf* buffer, const char* text, int length, const char* allowed)
{
    if (!buffer || !text)
        return;
    const size_t n = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           (c && allowed && std::strchr(allowed, c));
        if (plain) {
            SLStrBufAppend(buffer, text + i, 1);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, c == '*' ? "%%%02x" : "%%%02X", c);
            SLStrBufAppend(buffer, escaped, 3);
        }
    }
}

void SLStrBufAppendQuoted(SLStrBuf* buffer, const char* text, int length)
{
    if (!buffer || !text)
        return;
    const size_t n = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
    SLStrBufAppend(buffer, "\"", 1);
    for (size_t i = 0; i < n; ++i) {
        if (text[i] == '\\' || text[i] == '"')
            SLStrBufAppend(buffer, "\\", 1);
        SLStrBufAppend(buffer, text + i, 1);
    }
    SLStrBufAppend(buffer, "\"", 1);
}
