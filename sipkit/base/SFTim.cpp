// Time base and calendar.
#include "SFTim.h"

#include <sys/time.h>

namespace {

struct timeval g_base;

// Cumulative days before each month, kept one below so that day of month starts at 1.
const int kCommonDays[13] = {-1, 30, 58, 89, 119, 150, 180, 211, 242, 272, 303, 333, 364};
const int kLeapDays[13] = {-1, 30, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

bool isLeap(int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days from 1970-01-01 to 1 January of `year` (proleptic Gregorian).
int64_t daysBeforeYear(int64_t year)
{
    const int64_t y = year - 1;
    return (year - 1970) * 365 + (y / 4 - 1969 / 4) - (y / 100 - 1969 / 100) + (y / 400 - 1969 / 400);
}

}  // namespace

int SFTimInitialize(void)
{
    gettimeofday(&g_base, nullptr);
    return 0;
}

void SFTimCleanup(void) {}

uint32_t SFTimGetTime(void)
{
    struct timeval now;
    gettimeofday(&now, nullptr);
    const int64_t ms = (static_cast<int64_t>(now.tv_sec) - g_base.tv_sec) * 1000 +
                       (static_cast<int64_t>(now.tv_usec) - g_base.tv_usec) / 1000;
    return static_cast<uint32_t>(ms);
}

// The kit once counted every fourth year as a leap year; the Gregorian rule below agrees with it
// until February 2100 and stays right after it.
int SFTimGmtime(SFTimTm* tm, int64_t seconds)
{
    if (!tm || seconds < 0)
        return -1;
    int64_t days = seconds / 86400;
    const int64_t rest = seconds % 86400;
    tm->hour = static_cast<int>(rest / 3600);
    tm->min = static_cast<int>(rest / 60 % 60);
    tm->sec = static_cast<int>(rest % 60);
    tm->wday = static_cast<int>((days + 4) % 7);
    tm->isdst = 0;
    // Whole 400-year cycles of 146097 days, then years one by one (at most 400 steps).
    int64_t year = 1970 + days / 146097 * 400;
    days %= 146097;
    for (;;) {
        const int len = isLeap(year) ? 366 : 365;
        if (days < len)
            break;
        days -= len;
        ++year;
    }
    const int* table = isLeap(year) ? kLeapDays : kCommonDays;
    int month = 0;
    while (month < 11 && days > table[month + 1])
        ++month;
    tm->year = static_cast<int>(year - 1900);
    tm->mon = month;
    tm->mday = static_cast<int>(days - table[month]);
    tm->yday = static_cast<int>(days);
    return 0;
}

int64_t SFTimMktime(SFTimTm* tm)
{
    if (!tm || tm->mon < 0 || tm->mon > 11 || tm->year < 70)
        return -1;
    const int64_t year = 1900 + static_cast<int64_t>(tm->year);
    const int* table = isLeap(year) ? kLeapDays : kCommonDays;
    const int64_t days = daysBeforeYear(year) + table[tm->mon] + tm->mday;
    const int64_t seconds = days * 86400 + static_cast<int64_t>(tm->hour) * 3600 + static_cast<int64_t>(tm->min) * 60 +
                            tm->sec;
    if (seconds < 0)
        return -1;
    SFTimGmtime(tm, seconds);
    return seconds;
}
