// Kit queues: order, completion, thresholds, deletion and stray wake-ups of the worker.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "SFQue.h"

namespace {

struct Record {
    std::mutex mutex;
    std::vector<int> handled;
    std::vector<int> completed;
    std::atomic<int> high{0};
    std::atomic<int> low{0};
    std::atomic<bool> hold{false};  // the handler waits while set
};

void handler(SFQueQueue*, void* payload, void* context)
{
    auto* r = static_cast<Record*>(context);
    while (r->hold.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::lock_guard<std::mutex> lock(r->mutex);
    r->handled.push_back(*static_cast<int*>(payload));
}

void completion(SFQueQueue*, void* payload, void* argument)
{
    auto* r = static_cast<Record*>(argument);
    std::lock_guard<std::mutex> lock(r->mutex);
    r->completed.push_back(*static_cast<int*>(payload));
}

void onHigh(SFQueQueue*, void* context) { ++static_cast<Record*>(context)->high; }
void onLow(SFQueQueue*, void* context) { ++static_cast<Record*>(context)->low; }

void post(SFQueQueue* q, Record* r, int value)
{
    void* payload = SFQuePrepareEnqueue(q);
    ASSERT_NE(nullptr, payload);
    *static_cast<int*>(payload) = value;
    ASSERT_EQ(0, SFQueEnqueue(q, payload, completion, r));
}

bool waitHandled(Record& r, size_t n)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        {
            std::lock_guard<std::mutex> lock(r.mutex);
            if (r.handled.size() >= n && r.completed.size() >= n)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

TEST(SFQue, HandlesInOrderThenCompletes)
{
    Record r;
    SFQueQueue q;
    ASSERT_EQ(0, SFQueInitializeQueue(&q, sizeof(int), 2, handler, &r));
    for (int i = 0; i < 20; ++i)  // more than the initial count: the list grows
        post(&q, &r, i);
    ASSERT_TRUE(waitHandled(r, 20));
    std::vector<int> expected;
    for (int i = 0; i < 20; ++i)
        expected.push_back(i);
    EXPECT_EQ(expected, r.handled);
    EXPECT_EQ(expected, r.completed);
    EXPECT_EQ(0u, SFQueGetCount(&q));
    SFQueDeleteQueue(&q);
}

// A wake-up of the worker without a queued element (a stray post, a failed wait) must not take
// an element that is not there.
TEST(SFQue, WakeUpWithoutElementTakesNothing)
{
    Record r;
    SFQueQueue q;
    ASSERT_EQ(0, SFQueInitializeQueue(&q, sizeof(int), 2, handler, &r));
    for (int i = 0; i < 3; ++i)
        sem_post(&q.semaphore);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(0u, SFQueGetCount(&q));
    post(&q, &r, 7);
    ASSERT_TRUE(waitHandled(r, 1));
    EXPECT_EQ(std::vector<int>{7}, r.handled);
    SFQueDeleteQueue(&q);
}

TEST(SFQue, ThresholdsReportEachCrossingOnce)
{
    Record r;
    SFQueQueue q;
    ASSERT_EQ(0, SFQueInitializeQueue(&q, sizeof(int), 4, handler, &r));
    SFQueSetThreshold(&q, 5, 10, onLow, onHigh);
    r.hold = true;
    for (int i = 0; i < 15; ++i)
        post(&q, &r, i);
    r.hold = false;
    ASSERT_TRUE(waitHandled(r, 15));
    EXPECT_EQ(1, r.high.load());
    EXPECT_EQ(1, r.low.load());
    SFQueDeleteQueue(&q);
}

TEST(SFQue, DeletionCompletesPendingElementsWithoutHandling)
{
    Record r;
    SFQueQueue q;
    ASSERT_EQ(0, SFQueInitializeQueue(&q, sizeof(int), 2, handler, &r));
    r.hold = true;
    post(&q, &r, 100);  // taken by the worker, which now waits in the handler
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (q.first && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    post(&q, &r, 1);
    post(&q, &r, 2);
    post(&q, &r, 3);
    std::thread release([&r] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        r.hold = false;
    });
    SFQueDeleteQueue(&q);
    release.join();
    EXPECT_EQ(std::vector<int>{100}, r.handled);
    EXPECT_EQ((std::vector<int>{100, 1, 2, 3}), r.completed);
    SFQueDeleteQueue(&q);  // deleting again is harmless
}

}  // namespace
