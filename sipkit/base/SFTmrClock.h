#pragma once
// The timer service's clock, replaceable so that tests can set the wall clock back or forward.

#include <sys/time.h>

typedef void (*SFTmrClock)(struct timeval* now);

// Installs `clock` as the source of the current time (none restores gettimeofday).
void SFTmrSetClock(SFTmrClock clock);
