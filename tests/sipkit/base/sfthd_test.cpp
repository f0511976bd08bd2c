// Threads, mutexes and the start-up of the base services.
#include <gtest/gtest.h>

#include <atomic>

#include "SFCmn.h"
#include "SFThd.h"
#include "SFTmr.h"

namespace {

TEST(SFThd, ThreadRunsAndIsJoined)
{
    SFThdThread thread{};
    std::atomic<int> ran{0};
    ASSERT_EQ(0, SFThdBeginThread(&thread, [](SFThdThread* self, void* argument) {
        static_cast<std::atomic<int>*>(argument)->store(self->procedure ? 1 : 2);
    }, &ran));
    EXPECT_EQ(0, SFThdEndThread(&thread));
    EXPECT_EQ(1, ran.load());
    EXPECT_EQ(nullptr, thread.procedure);
    EXPECT_EQ(0, SFThdEndThread(&thread));  // nothing to join
}

TEST(SFThd, MutexDeletedTwiceIsHarmless)
{
    SFThdMutex mutex{};
    ASSERT_EQ(0, SFThdInitializeMutex(&mutex));
    EXPECT_EQ(0, SFThdLockMutex(&mutex));
    EXPECT_EQ(0, SFThdReleaseMutex(&mutex));
    SFThdDeleteMutex(&mutex);
    SFThdDeleteMutex(&mutex);
    EXPECT_EQ(0, mutex.initialized);
}

TEST(SFCmn, StartsTheTimerServiceAndStopsIt)
{
    SFTmrTimer timer;
    SFTmrInitializeTimer(&timer);
    EXPECT_NE(0, SFTmrSetTimer(&timer, 10, nullptr, nullptr));  // no timer service yet
    ASSERT_EQ(0, SFCmnInitialize());
    EXPECT_EQ(0, SFTmrSetTimer(&timer, 60000, nullptr, nullptr));
    EXPECT_EQ(1u, SFTmrGetCount());
    SFCmnCleanup();
    EXPECT_EQ(0u, SFTmrGetCount());
    EXPECT_EQ(0, SFTmrCancelTimer(&timer));
    ASSERT_EQ(0, SFCmnInitialize());  // may start again
    SFCmnCleanup();
}

}  // namespace
