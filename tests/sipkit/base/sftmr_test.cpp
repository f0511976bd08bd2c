// The timer thread: firing, cancelling, re-arming and wall-clock jumps.
#include <gtest/gtest.h>

#include <sys/time.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "SFTmr.h"
#include "SFTmrClock.h"

namespace {

// The wall clock as the timer service sees it: real time plus an offset the test sets.
std::atomic<int64_t> g_offsetUsec{0};

void shiftedClock(struct timeval* now)
{
    struct timeval real;
    gettimeofday(&real, nullptr);
    const int64_t usec = static_cast<int64_t>(real.tv_sec) * 1000000 + real.tv_usec + g_offsetUsec.load();
    now->tv_sec = static_cast<time_t>(usec / 1000000);
    now->tv_usec = static_cast<suseconds_t>(usec % 1000000);
}

class SFTmrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_offsetUsec = 0;
        SFTmrSetClock(shiftedClock);
        ASSERT_EQ(0, SFTmrInitialize());
    }
    void TearDown() override
    {
        SFTmrCleanup();
        SFTmrSetClock(nullptr);
    }
    static void count(SFTmrTimer*, void* argument) { ++*static_cast<std::atomic<int>*>(argument); }
    // Waits up to `limit` for the counter to reach `value`.
    static bool waitFor(const std::atomic<int>& counter, int value, std::chrono::milliseconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (counter.load() < value && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return counter.load() >= value;
    }
};

TEST_F(SFTmrTest, ZeroDelayFiresOnTheNextTickOnce)
{
    SFTmrTimer timer;
    SFTmrInitializeTimer(&timer);
    std::atomic<int> fired{0};
    ASSERT_EQ(0, SFTmrSetTimer(&timer, 0, count, &fired));
    EXPECT_TRUE(waitFor(fired, 1, std::chrono::seconds(10)));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(1, fired.load());
    EXPECT_EQ(0, SFTmrCancelTimer(&timer));  // it has fired
    EXPECT_EQ(0u, SFTmrGetCount());
}

TEST_F(SFTmrTest, DeadlineCarriesMicrosecondsIntoSeconds)
{
    SFTmrTimer timer;
    SFTmrInitializeTimer(&timer);
    struct timeval before;
    shiftedClock(&before);
    ASSERT_EQ(0, SFTmrSetTimer(&timer, 1999, count, nullptr));
    const int64_t deadline = static_cast<int64_t>(timer.deadlineSec) * 1000000 + timer.deadlineUsec;
    const int64_t start = static_cast<int64_t>(before.tv_sec) * 1000000 + before.tv_usec;
    EXPECT_GE(deadline - start, 1999000);
    EXPECT_LT(deadline - start, 1999000 + 500000);
    EXPECT_LT(timer.deadlineUsec, 1000000);
    EXPECT_EQ(1, SFTmrCancelTimer(&timer));
    EXPECT_EQ(0, SFTmrCancelTimer(&timer));
}

// Arming a pending timer again must move it, not link it a second time (which would corrupt the
// list and fire twice).
TEST_F(SFTmrTest, SettingAPendingTimerMovesItsDeadline)
{
    SFTmrTimer timer, other;
    SFTmrInitializeTimer(&timer);
    SFTmrInitializeTimer(&other);
    std::atomic<int> fired{0};
    ASSERT_EQ(0, SFTmrSetTimer(&timer, 60000, count, &fired));
    ASSERT_EQ(0, SFTmrSetTimer(&other, 60000, count, &fired));
    ASSERT_EQ(0, SFTmrSetTimer(&timer, 100, count, &fired));
    EXPECT_EQ(2u, SFTmrGetCount());
    EXPECT_TRUE(waitFor(fired, 1, std::chrono::seconds(10)));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(1, fired.load());
    EXPECT_EQ(1u, SFTmrGetCount());
    EXPECT_EQ(0, SFTmrCancelTimer(&timer));
    EXPECT_EQ(1, SFTmrCancelTimer(&other));
    EXPECT_EQ(0u, SFTmrGetCount());
}

TEST_F(SFTmrTest, ClockSetBackAnHourKeepsTheInterval)
{
    SFTmrTimer timer;
    SFTmrInitializeTimer(&timer);
    std::atomic<int> fired{0};
    ASSERT_EQ(0, SFTmrSetTimer(&timer, 3000, count, &fired));
    g_offsetUsec = -3600LL * 1000000;  // the wall clock is set back
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(0, fired.load());
    EXPECT_TRUE(waitFor(fired, 1, std::chrono::seconds(20)));
}

TEST_F(SFTmrTest, ClockSetForwardDoesNotFireEarly)
{
    SFTmrTimer timer;
    SFTmrInitializeTimer(&timer);
    std::atomic<int> fired{0};
    ASSERT_EQ(0, SFTmrSetTimer(&timer, 30000, count, &fired));
    g_offsetUsec = 3600LL * 1000000;
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(0, fired.load());
    EXPECT_EQ(1, SFTmrCancelTimer(&timer));
}

TEST_F(SFTmrTest, JumpBelowOneSecondIsNotCompensated)
{
    SFTmrTimer timer;
    SFTmrInitializeTimer(&timer);
    std::atomic<int> fired{0};
    ASSERT_EQ(0, SFTmrSetTimer(&timer, 60000, count, &fired));
    const int32_t sec = timer.deadlineSec;
    const int32_t usec = timer.deadlineUsec;
    g_offsetUsec = 300000;  // 0.3 s plus the time between two ticks stays below 1 s
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    SFTmrTimer probe;
    SFTmrInitializeTimer(&probe);
    ASSERT_EQ(0, SFTmrSetTimer(&probe, 60000, count, &fired));  // runs the adjustment at once
    EXPECT_EQ(sec, timer.deadlineSec);
    EXPECT_EQ(usec, timer.deadlineUsec);
    SFTmrCancelTimer(&timer);
    SFTmrCancelTimer(&probe);
}

}  // namespace
