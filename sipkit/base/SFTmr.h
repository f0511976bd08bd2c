#pragma once
// Kit timers: one process-wide timer thread with a 50 ms tick and one-shot timers.
//
// Callbacks run on the timer thread WITH the timer mutex held: a callback must not set, cancel or
// delete a timer and must be short (the kit's callbacks only post to a queue).

#include <cstdint>

struct SFTmrTimer;
typedef void (*SFTmrCallback)(SFTmrTimer* timer, void* argument);

// Owned by the caller, zeroed by SFTmrInitializeTimer.
typedef struct SFTmrTimer {
    SFTmrTimer* next;
    SFTmrTimer* prev;
    int32_t deadlineSec;
    int32_t deadlineUsec;
    SFTmrCallback callback;
    void* argument;
} SFTmrTimer;
static_assert(sizeof(SFTmrTimer) == 4 * sizeof(void*) + 8, "timer record: links, deadline, callback, argument");

// Starts the timer service (mutex and thread); 0 or the POSIX error, with the steps taken undone.
int SFTmrInitialize(void);
// Stops the timer thread and forgets the pending timers.
void SFTmrCleanup(void);

int SFTmrInitializeTimer(SFTmrTimer* timer);
// Arms the timer once, due `milliseconds` from now. Setting a timer that is still pending moves its
// deadline. Returns 0, or 0xA083800C when the timer service is not running.
int SFTmrSetTimer(SFTmrTimer* timer, uint32_t milliseconds, SFTmrCallback callback, void* argument);
// 1 when the timer was pending (it is unlinked), 0 otherwise.
int SFTmrCancelTimer(SFTmrTimer* timer);
int SFTmrDeleteTimer(SFTmrTimer* timer);
// Number of pending timers.
uint32_t SFTmrGetCount(void);
