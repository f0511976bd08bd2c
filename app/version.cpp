#include "version.h"

const char firm_version_str[] = "6.3.0";
const char config[] = "release";
const char build_date[] = __DATE__;
const char build_time[] = __TIME__;

unsigned gpio_select_timeout = 100000;

timeval gpio_select_timeval()
{
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(gpio_select_timeout / 1000000u);
    tv.tv_usec = static_cast<suseconds_t>(gpio_select_timeout % 1000000u);
    return tv;
}
