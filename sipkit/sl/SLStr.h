#pragma once
// Bounded work strings: a collective buffer taken from a memory list made by SLStrInitialize.
// The text is always NUL-terminated and never longer than capacity - 1.

#include <cstdint>

#include "SFMem.h"

typedef struct SLStr {
    SFMemCollectiveBuffer* buffer;  // none until SLStrAlloc
    int32_t length;
} SLStr;

// A list of (capacity + 8)-byte elements; 0, -1 for capacity 0, or the memory-list error.
int SLStrInitialize(SFMemMemoryList* list, uint32_t capacity, uint32_t count);
void SLStrCleanup(SFMemMemoryList* list);
// 0 or the error (the string's buffer is none then).
int SLStrAlloc(SFMemMemoryList* list, SLStr* string);
void SLStrFree(SFMemMemoryList* list, SLStr* string);

// Appends `length` bytes (negative: the text's own length); returns where they were stored, or none
// when no text is given or it would not fit (the string is unchanged).
const char* SLStrAppend(SLStr* string, const char* text, int length);
const char* SLStrFormat(SLStr* string, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Letters, digits and `allowed` are copied, every other byte written as %XX.
const char* SLStrAppendEscaped(SLStr* string, const char* text, const char* allowed);
// "text" with a backslash before every backslash and double quote.
const char* SLStrAppendQuoted(SLStr* string, const char* text);
const char* SLStrValue(const SLStr* string);
int SLStrGetLength(const SLStr* string);
void SLStrEmpty(SLStr* string);
const char* SLStrCopy(SLStr* destination, const SLStr* source);
// Index of the first match at or after `from`, or -1 (also for a negative start).
int SLStrFindChar(const SLStr* string, char c, int from);
int SLStrFindWS(const SLStr* string, int from);   // blank or 9..13
int SLStrFindEOL(const SLStr* string, int from);  // CR or LF
int SLStrSkipWS(const SLStr* string, int from);
int SLStrSkipEOL(const SLStr* string, int from);
// `length` characters of `source` from `position`; none when they do not fit or the strings are one.
const char* SLStrMidCopy(SLStr* destination, const SLStr* source, int position, int length);
// The range (negative length: the rest) without white space at either end.
const char* SLStrTrimCopy2(SLStr* destination, const SLStr* source, int position, int length);
