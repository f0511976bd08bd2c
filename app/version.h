#pragma once
// Version and build identity of the main program, and the start-up setting of the contact
// inputs' select time-out.

#include <sys/time.h>

// Firmware version text, printed by `orva700 -v` and logged in the banner.
extern const char firm_version_str[];
// Build kind ("release").
extern const char config[];
// Date and time of the build, as the compiler gives them ("Feb 22 2024", "11:53:20").
extern const char build_date[];
extern const char build_time[];

// Select time-out of the contact inputs in microseconds (default 100000), set by option -g.
extern unsigned gpio_select_timeout;

// `gpio_select_timeout` as a select time-out: whole seconds and the microsecond remainder, so
// that values of a second or more stay valid.
timeval gpio_select_timeval();
