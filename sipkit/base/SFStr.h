#pragma once
// Kit string routines: bounded formatting and the number conversions of the SIP parsers.

#include <cstdarg>
#include <cstdint>

int SFStrInitialize(void);
void SFStrCleanup(void);

// Returns the length written, or -1 when the text did not fit whole (the buffer then holds the cut,
// terminated text) or formatting failed.
int SFStr_snprintf(char* buffer, uint32_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int SFStr_vsnprintf(char* buffer, uint32_t size, const char* format, va_list args);

// Writes `value` in `radix` (2..36, lower-case digits above 9, "-" for a negative value), terminated;
// returns `buffer`. The caller gives room for 33 characters in radix 2, 12 in radix 10.
char* SFStr_itoa(int value, char* buffer, int radix);
// The 32 bits in lower-case hexadecimal without leading zeros (0 gives an empty text).
char* SFStr_Hex2Str(uint32_t value, char* buffer);
// Value of the hexadecimal digits at the start of `text` (no prefix, no overflow check).
uint32_t SFStr_Str2Hex(const char* text);
char* SFStr_toUpperStr(char* text);
char* SFStr_toLowerStr(char* text);

// Decimal reader: skips white space and one sign, reads digits while the value fits 32 bits.
// *error: 0 success (also without digits and for "-0"), 1 for a negative non-zero value, -1 on
// overflow (the value is then 0xFFFFFFFF and *end points at the digit that overflowed).
uint32_t SFStr_strtoui(const char* text, const char** end, int* error);
