// Bounded formatting and number conversions.
#include "SFStr.h"

#include <cctype>
#include <cstdio>

int SFStrInitialize(void) { return 0; }
void SFStrCleanup(void) {}

int SFStr_vsnprintf(char* buffer, uint32_t size, const char* format, va_list args)
{
    if (!buffer || !format || size == 0)
        return -1;
    const int n = std::vsnprintf(buffer, size, format, args);
    if (n < 0 || static_cast<uint32_t>(n) >= size)
        return -1;
    return n;
}

int SFStr_snprintf(char* buffer, uint32_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = SFStr_vsnprintf(buffer, size, format, args);
    va_end(args);
    return n;
}

char* SFStr_itoa(int value, char* buffer, int radix)
{
    if (!buffer)
        return buffer;
    if (radix < 2 || radix > 36) {
        buffer[0] = '\0';
        return buffer;
    }
    // The magnitude is taken in unsigned arithmetic: -INT_MIN does not fit an int.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char digits[33];
    int n = 0;
    do {
        const uint32_t d = magnitude % static_cast<uint32_t>(radix);
        digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
        magnitude /= static_cast<uint32_t>(radix);
    } while (magnitude);
    char* out = buffer;
    if (value < 0)
        *out++ = '-';
    while (n)
        *out++ = digits[--n];
    *out = '\0';
    return buffer;
}

char* SFStr_Hex2Str(uint32_t value, char* buffer)
{
    if (!buffer)
        return buffer;
    static const char kHex[] = "0123456789abcdef";
    char* out = buffer;
    bool started = false;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const uint32_t nibble = (value >> shift) & 0xF;
        if (nibble || started) {
            *out++ = kHex[nibble];
            started = true;
        }
    }
    *out = '\0';
    return buffer;
}

uint32_t SFStr_Str2Hex(const char* text)
{
    uint32_t value = 0;
    if (!text)
        return 0;
    for (;; ++text) {
        const char c = *text;
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<uint32_t>(c - 'A' + 10);
        else
            return value;
        value = (value << 4) | d;
    }
}

char* SFStr_toUpperStr(char* text)
{
    for (char* p = text; p && *p; ++p)
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    return text;
}

char* SFStr_toLowerStr(char* text)
{
    for (char* p = text; p && *p; ++p)
        *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return text;
}

uint32_t SFStr_strtoui(const char* text, const char** end, int* error)
{
    if (error)
        *error = 0;
    if (end)
        *end = text;
    if (!text)
        return 0;
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9') {
        const uint32_t d = static_cast<uint32_t>(*p - '0');
        if (value > 429496729u || (value == 429496729u && d > 5)) {
            if (end)
                *end = p;
            if (error)
                *error = -1;
            return 0xFFFFFFFFu;
        }
        value = value * 10 + d;
        ++p;
    }
    if (end)
        *end = p;
    if (error && negative && value != 0)
        *error = 1;
    return value;
}
