// Bounded work strings.
#include "SLStr.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "SLMem.h"

namespace {

char* data(const SLStr* s) { return SFMemCollectiveBufferData(s->buffer); }
int32_t capacity(const SLStr* s) { return s->buffer ? static_cast<int32_t>(s->buffer->capacity) : 0; }

bool isWhite(char c) { return c == ' ' || (c >= 9 && c <= 13); }

bool hasIndex(const SLStr* s, int from) { return s && s->buffer && from >= 0; }

template <typename Pred>
int findFrom(const SLStr* s, int from, Pred pred)
{
    if (!hasIndex(s, from))
        return -1;
    const char* text = data(s);
    for (int i = from; i < s->length; ++i)
        if (pred(text[i]))
            return i;
    return -1;
}

void setLength(SLStr* s, int32_t length)
{
    s->length = length;
    s->buffer->used = static_cast<uint32_t>(length);
    data(s)[length] = '\0';
}

}  // namespace

int SLStrInitialize(SFMemMemoryList* list, uint32_t capacity, uint32_t count)
{
    if (capacity == 0)
        return -1;
    return SLMemInitializeMemoryList(list, capacity + sizeof(SFMemCollectiveBuffer), count);
}

void SLStrCleanup(SFMemMemoryList* list) { SLMemDeleteMemoryList(list); }

int SLStrAlloc(SFMemMemoryList* list, SLStr* string)
{
    if (!string)
        return SL_MEM_ERR_INVALID;
    string->buffer = nullptr;
    string->length = 0;
    if (!list)
        return SL_MEM_ERR_INVALID;
    void* element = SLMemAllocateFromMemoryList(list);
    if (!element)
        return SL_MEM_ERR_NO_MEMORY;
    auto* buffer = static_cast<SFMemCollectiveBuffer*>(element);
    const int rc = SFMemInitializeCollectiveBuffer(buffer, list->requestedSize);
    if (rc != 0) {
        SLMemFreeToMemoryList(list, element);
        return rc;
    }
    string->buffer = buffer;
    setLength(string, 0);
    return 0;
}

void SLStrFree(SFMemMemoryList* list, SLStr* string)
{
    if (!string || !string->buffer)
        return;
    SLMemFreeToMemoryList(list, string->buffer);
    string->buffer = nullptr;
    string->length = 0;
}

const char* SLStrAppend(SLStr* string, const char* text, int length)
{
    if (!string || !string->buffer || !text)
        return nullptr;
    if (length < 0)
        length = static_cast<int>(std::strlen(text));
    if (static_cast<int64_t>(length) + string->length >= capacity(string))
        return nullptr;
    char* at = data(string) + string->length;
    std::memmove(at, text, static_cast<size_t>(length));
    setLength(string, string->length + length);
    return at;
}

const char* SLStrFormat(SLStr* string, const char* format, ...)
{
    if (!string || !string->buffer || !format)
        return nullptr;
    const int room = capacity(string) - string->length;
    char* at = data(string) + string->length;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(at, static_cast<size_t>(room), format, args);
    va_end(args);
    if (n < 0 || n >= room) {
        at[0] = '\0';
        return nullptr;
    }
    setLength(string, string->length + n);
    return at;
}

const char* SLStrAppendEscaped(SLStr* string, const char* text, const char* allowed)
{
    if (!string || !string->buffer || !text)
        return nullptr;
    const int32_t start = string->length;
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           (allowed && std::strchr(allowed, c));
        const bool ok = plain ? SLStrAppend(string, p, 1) != nullptr : SLStrFormat(string, "%%%02X", c) != nullptr;
        if (!ok) {
            setLength(string, start);
            return nullptr;
        }
    }
    return data(string);
}

const char* SLStrAppendQuoted(SLStr* string, const char* text)
{
    if (!string || !string->buffer || !text)
        return nullptr;
    const int32_t start = string->length;
    bool ok = SLStrAppend(string, "\"", 1) != nullptr;
    for (const char* p = text; ok && *p; ++p) {
        if (*p == '\\' || *p == '"')
            ok = SLStrAppend(string, "\\", 1) != nullptr;
        ok = ok && SLStrAppend(string, p, 1) != nullptr;
    }
    ok = ok && SLStrAppend(string, "\"", 1) != nullptr;
    if (!ok) {
        setLength(string, start);
        return nullptr;
    }
    return data(string);
}

const char* SLStrValue(const SLStr* string)
{
    return string && string->buffer ? data(string) : "";
}

int SLStrGetLength(const SLStr* string) { return string && string->buffer ? string->length : 0; }

void SLStrEmpty(SLStr* string)
{
    if (string && string->buffer)
        setLength(string, 0);
}

const char* SLStrCopy(SLStr* destination, const SLStr* source)
{
    if (!destination || !destination->buffer || !source || destination == source)
        return nullptr;
    SLStrEmpty(destination);
    return SLStrAppend(destination, SLStrValue(source), SLStrGetLength(source)) ? data(destination) : nullptr;
}

int SLStrFindChar(const SLStr* string, char c, int from)
{
    return findFrom(string, from, [c](char x) { return x == c; });
}

int SLStrFindWS(const SLStr* string, int from) { return findFrom(string, from, isWhite); }

int SLStrFindEOL(const SLStr* string, int from)
{
    return findFrom(string, from, [](char x) { return x == '\r' || x == '\n'; });
}

int SLStrSkipWS(const SLStr* string, int from)
{
    return findFrom(string, from, [](char x) { return !isWhite(x); });
}

int SLStrSkipEOL(const SLStr* string, int from)
{
    return findFrom(string, from, [](char x) { return x != '\r' && x != '\n'; });
}

const char* SLStrMidCopy(SLStr* destination, const SLStr* source, int position, int length)
{
    if (!destination || !destination->buffer || !source || !source->buffer || destination == source)
        return nullptr;
    if (position < 0 || length < 0 || position > source->length || length > source->length - position)
        return nullptr;
    SLStrEmpty(destination);
    return SLStrAppend(destination, data(source) + position, length) ? data(destination) : nullptr;
}

const char* SLStrTrimCopy2(SLStr* destination, const SLStr* source, int position, int length)
{
    if (!destination || !destination->buffer || !source || !source->buffer || destination == source)
        return nullptr;
    if (position < 0 || position > source->length)
        return nullptr;
    if (length < 0 || length > source->length - position)
        length = source->length - position;
    const char* text = data(source);
    int begin = position;
    int end = position + length;
    while (begin < end && isWhite(text[begin]))
        ++begin;
    while (end > begin && isWhite(text[end - 1]))
        --end;
    SLStrEmpty(destination);
    return SLStrAppend(destination, text + begin, end - begin) ? data(destination) : nullptr;
}
