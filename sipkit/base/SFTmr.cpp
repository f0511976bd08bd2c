// The timer thread and one-shot timers.
#include "SFTmr.h"

#include <sys/select.h>

#include "SFResult.h"
#include "SFThd.h"
#include "SFTmrClock.h"

namespace {

struct Control {
    int state = 0;  // 0 nothing, 1 list ready, 2 mutex ready, 3 thread running
    SFThdThread thread{};
    SFThdMutex mutex{};
    SFTmrTimer* first = nullptr;
    SFTmrTimer* last = nullptr;
    uint32_t count = 0;
    int stop = 0;
    struct timeval lastTick{};
};

Control g_tmr;

void systemClock(struct timeval* now) { gettimeofday(now, nullptr); }
SFTmrClock g_clock = systemClock;

constexpr int32_t kUsecPerSec = 1000000;

void normalise(int64_t& sec, int64_t& usec)
{
    sec += usec / kUsecPerSec;
    usec %= kUsecPerSec;
    if (usec < 0) {
        usec += kUsecPerSec;
        --sec;
    }
}

bool isPending(const SFTmrTimer* timer)
{
    return timer->prev != nullptr || g_tmr.first == timer;
}

void unlink(SFTmrTimer* timer)
{
    if (timer->prev)
        timer->prev->next = timer->next;
    else
        g_tmr.first = timer->next;
    if (timer->next)
        timer->next->prev = timer->prev;
    else
        g_tmr.last = timer->prev;
    timer->next = timer->prev = nullptr;
    --g_tmr.count;
}

// A wall-clock jump of more than a second since the last tick shifts every deadline by the jump,
// so timers keep their intervals when the clock is set. Called with the mutex held.
void adjustTime(const struct timeval& now)
{
    int64_t dsec = static_cast<int64_t>(now.tv_sec) - g_tmr.lastTick.tv_sec;
    int64_t dusec = static_cast<int64_t>(now.tv_usec) - g_tmr.lastTick.tv_usec;
    normalise(dsec, dusec);
    const int64_t total = dsec * kUsecPerSec + dusec;
    if (total > kUsecPerSec || total < -kUsecPerSec) {
        for (SFTmrTimer* t = g_tmr.first; t; t = t->next) {
            int64_t sec = t->deadlineSec + dsec;
            int64_t usec = t->deadlineUsec + dusec;
            normalise(sec, usec);
            t->deadlineSec = static_cast<int32_t>(sec);
            t->deadlineUsec = static_cast<int32_t>(usec);
        }
    }
    g_tmr.lastTick = now;
}

void timerThread(SFThdThread*, void*)
{
    for (;;) {
        struct timeval tick = {0, 50000};
        select(0, nullptr, nullptr, nullptr, &tick);
        SFThdLockMutex(&g_tmr.mutex);
        if (g_tmr.stop) {
            SFThdReleaseMutex(&g_tmr.mutex);
            return;
        }
        struct timeval now;
        g_clock(&now);
        adjustTime(now);
        for (SFTmrTimer* t = g_tmr.first; t;) {
            SFTmrTimer* next = t->next;
            if (now.tv_sec > t->deadlineSec || (now.tv_sec == t->deadlineSec && now.tv_usec >= t->deadlineUsec)) {
                unlink(t);
                if (t->callback)
                    t->callback(t, t->argument);
            }
            t = next;
        }
        g_tmr.lastTick = now;
        SFThdReleaseMutex(&g_tmr.mutex);
    }
}

}  // namespace

void SFTmrSetClock(SFTmrClock clock)
{
    g_clock = clock ? clock : systemClock;
}

int SFTmrInitialize(void)
{
    if (g_tmr.state != 0)
        return SFResultError(SF_MODULE_MEM, SF_CODE_ALREADY_INITIALIZED);
    g_tmr.first = g_tmr.last = nullptr;
    g_tmr.count = 0;
    g_tmr.stop = 0;
    g_tmr.state = 1;
    int rc = SFThdInitializeMutex(&g_tmr.mutex);
    if (rc != 0) {
        SFTmrCleanup();
        return rc;
    }
    g_tmr.state = 2;
    g_clock(&g_tmr.lastTick);
    rc = SFThdBeginThread(&g_tmr.thread, timerThread, nullptr);
    if (rc != 0) {
        SFTmrCleanup();
        return rc;
    }
    g_tmr.state = 3;
    return 0;
}

void SFTmrCleanup(void)
{
    if (g_tmr.state >= 3) {
        SFThdLockMutex(&g_tmr.mutex);
        g_tmr.stop = 1;
        SFThdReleaseMutex(&g_tmr.mutex);
        SFThdEndThread(&g_tmr.thread);
    }
    if (g_tmr.state >= 2)
        SFThdDeleteMutex(&g_tmr.mutex);
    if (g_tmr.state >= 1) {
        // Pending timers belong to their owners; they are only forgotten.
        for (SFTmrTimer* t = g_tmr.first; t;) {
            SFTmrTimer* next = t->next;
            t->next = t->prev = nullptr;
            t = next;
        }
        g_tmr.first = g_tmr.last = nullptr;
        g_tmr.count = 0;
    }
    g_tmr.state = 0;
}

int SFTmrInitializeTimer(SFTmrTimer* timer)
{
    if (timer)
        *timer = SFTmrTimer{};
    return 0;
}

int SFTmrSetTimer(SFTmrTimer* timer, uint32_t milliseconds, SFTmrCallback callback, void* argument)
{
    if (!timer)
        return SFResultError(SF_MODULE_MEM, SF_CODE_INVALID_ARGUMENT);
    if (g_tmr.state < 2)
        return SFResultError(SF_MODULE_MEM, SF_CODE_NOT_INITIALIZED);
    SFThdLockMutex(&g_tmr.mutex);
    timer->callback = callback;
    timer->argument = argument;
    struct timeval now;
    g_clock(&now);
    adjustTime(now);
    int64_t sec = now.tv_sec + milliseconds / 1000;
    int64_t usec = now.tv_usec + static_cast<int64_t>(milliseconds % 1000) * 1000;
    normalise(sec, usec);
    timer->deadlineSec = static_cast<int32_t>(sec);
    timer->deadlineUsec = static_cast<int32_t>(usec);
    // A timer still pending only gets its new deadline: linking it twice would corrupt the list.
    if (!isPending(timer)) {
        timer->next = nullptr;
        timer->prev = g_tmr.last;
        if (g_tmr.last)
            g_tmr.last->next = timer;
        else
            g_tmr.first = timer;
        g_tmr.last = timer;
        ++g_tmr.count;
    }
    SFThdReleaseMutex(&g_tmr.mutex);
    return 0;
}

int SFTmrCancelTimer(SFTmrTimer* timer)
{
    if (!timer || g_tmr.state < 2)
        return 0;
    SFThdLockMutex(&g_tmr.mutex);
    int pending = isPending(timer) ? 1 : 0;
    if (pending)
        unlink(timer);
    SFThdReleaseMutex(&g_tmr.mutex);
    return pending;
}

int SFTmrDeleteTimer(SFTmrTimer* timer) { return SFTmrCancelTimer(timer); }

uint32_t SFTmrGetCount(void)
{
    if (g_tmr.state < 2)
        return 0;
    SFThdLockMutex(&g_tmr.mutex);
    const uint32_t n = g_tmr.count;
    SFThdReleaseMutex(&g_tmr.mutex);
    return n;
}
