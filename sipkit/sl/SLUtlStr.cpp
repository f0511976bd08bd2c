// Null-safe string helpers.
#include "SLUtlStr.h"

#include <strings.h>

#include <cstring>

#include "SLMem.h"

namespace {

int missing(const char* a, const char* b)
{
    if (!a && !b)
        return 0;
    return a ? 1 : -1;
}

}  // namespace

int SLUtlStrCmp(const char* a, const char* b)
{
    return a && b ? std::strcmp(a, b) : missing(a, b);
}

int SLUtlStrCmpN(const char* a, const char* b, uint32_t n)
{
    return a && b ? std::strncmp(a, b, n) : missing(a, b);
}

int SLUtlStrCmpI(const char* a, const char* b)
{
    return a && b ? strcasecmp(a, b) : missing(a, b);
}

int SLUtlStrCmpNI(const char* a, const char* b, uint32_t n)
{
    return a && b ? strncasecmp(a, b, n) : missing(a, b);
}

char* SLUtlStrDup(SFMemMemoryPool* pool, const char* text, int length)
{
    if (!text)
        return nullptr;
    const size_t n = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
    char* copy = static_cast<char*>(SLMemAllocateMemory(pool, n + 1));
    if (!copy)
        return nullptr;
    std::memcpy(copy, text, n);
    copy[n] = '\0';
    return copy;
}

int SLUtlStrIsTokenChar(int c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return 1;
    return c != 0 && std::strchr("-.!%*_+`'~", c) != nullptr ? 1 : 0;
}
