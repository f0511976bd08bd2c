#pragma once
// Kit time: a millisecond time base and UTC calendar conversion.

#include <cstdint>

// Broken-down time, field order as the kit has always kept it.
typedef struct SFTimTm {
    int sec;
    int min;
    int hour;
    int mday;   // from 1
    int mon;    // from 0
    int year;   // years since 1900
    int wday;   // 0 Sunday
    int yday;   // from 0
    int isdst;  // always 0
} SFTimTm;

// Records the time base; returns 0.
int SFTimInitialize(void);
void SFTimCleanup(void);

// Milliseconds since the time base (wall clock; wraps after about 49.7 days).
uint32_t SFTimGetTime(void);

// Fills `tm` with the UTC calendar time of `seconds` since 1970; 0, or -1 for a negative count.
int SFTimGmtime(SFTimTm* tm, int64_t seconds);
// Seconds since 1970 of year, month (0..11), day, hour, minute and second of `tm` (day of week and
// day of year are ignored), or -1 when negative or invalid; on success `tm` is normalised.
int64_t SFTimMktime(SFTimTm* tm);
