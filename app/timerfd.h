#pragma once
// A monotonic timer descriptor that threads wait on with select or poll.
//
// The descriptor becomes readable on expiry; read its 8-byte expiry count to clear it.

#include "device.h"

class timerfd : public device {
public:
    // Throws std::system_error ("timerfd") when the descriptor cannot be created.
    timerfd();

    // First expiry and interval both `ms` milliseconds. Returns timerfd_settime's result.
    int start_repeat(int ms);
    // One expiry after `ms` milliseconds (0 disarms).
    int start_oneshot(int ms);
    // Disarms.
    int stop();
};
