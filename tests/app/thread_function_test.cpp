#include "log_capture.h"
#include "thread_function.h"

#include <gtest/gtest.h>

#include <climits>
#include <pthread.h>
#include <sched.h>
#include <stdexcept>
#include <thread>

// Named after a real thread class: the log line must carry the plain demangled name.
class contact_watch_thr_f : public thread_function {
public:
    int pre_calls = 0;
    int main_calls = 0;
    int post_calls = 0;
    bool pre_result = true;
    int throw_at = -1;
    int stop_at = 3;

    bool pre_proc() override
    {
        ++pre_calls;
        if (!pre_result && pre_calls >= stop_at)
            end();
        return pre_result;
    }
    void main_loop() override
    {
        if (main_calls++ == throw_at)
            throw std::runtime_error("gpio gone");
        if (main_calls >= stop_at)
            end();
    }
    void post_proc() override { ++post_calls; }
};

namespace {

TEST(ThreadFunction, EndBeforeStartSkipsEveryPass)
{
    contact_watch_thr_f t;
    t.end();
    std::thread th(std::ref(t));
    th.join();
    EXPECT_EQ(t.pre_calls, 0);
    EXPECT_EQ(t.main_calls, 0);
}

TEST(ThreadFunction, PassesRepeatUntilEnd)
{
    contact_watch_thr_f t;
    EXPECT_EQ(t(), 0);
    EXPECT_EQ(t.main_calls, 3);
    EXPECT_EQ(t.post_calls, 3);
}

TEST(ThreadFunction, PreProcFalseSkipsMainAndPost)
{
    contact_watch_thr_f t;
    t.pre_result = false;
    t();
    EXPECT_EQ(t.pre_calls, 3);
    EXPECT_EQ(t.main_calls, 0);
    EXPECT_EQ(t.post_calls, 0);
}

TEST(ThreadFunction, ExceptionIsLoggedWithClassNameAndEndsThread)
{
    log_capture capture;
    contact_watch_thr_f t;
    t.throw_at = 1;
    t.stop_at = 100;
    std::thread th(std::ref(t));
    th.join();
    EXPECT_EQ(t.main_calls, 2);
    EXPECT_FALSE(t.ended());
    const std::string out = capture.take();
    EXPECT_NE(out.find(" E contact_watch_thr_f exception catched: gpio gone\n"), std::string::npos)
        << out;
}

TEST(ThreadFunction, UnknownExceptionIsLogged)
{
    struct thrower : thread_function {
        void main_loop() override { throw 42; }
    };
    log_capture capture;
    thrower t;
    t();
    EXPECT_NE(capture.take().find("thrower: unknown exception catched.\n"), std::string::npos);
}

// Runs on a thread of its own so that the test process keeps its scheduling.
std::pair<int, int> priority_after(int policy, int priority)
{
    std::pair<int, int> result{-1, -1};
    std::thread([&] {
        const int r = thread_function::set_priority(policy, priority);
        sched_param p{};
        int pol = 0;
        pthread_getschedparam(pthread_self(), &pol, &p);
        result = {r, r == 0 ? p.sched_priority : -1};
    }).join();
    return result;
}

TEST(ThreadFunction, SetPriorityCapsAt90AndMapsExtremes)
{
    struct row {
        int policy;
        int priority;
        int expected;
    };
    const row rows[] = {
        {SCHED_RR, 95, 90},
        {SCHED_RR, 50, 50},
        {SCHED_FIFO, INT_MAX, 90},
        {SCHED_FIFO, INT_MIN, sched_get_priority_min(SCHED_FIFO)},
        {SCHED_OTHER, 0, 0},
    };
    for (const auto& r : rows) {
        const auto [result, priority] = priority_after(r.policy, r.priority);
        ASSERT_EQ(result, 0) << "real-time scheduling needs CAP_SYS_NICE (tests run as root)";
        EXPECT_EQ(priority, r.expected) << r.policy << "/" << r.priority;
    }
    EXPECT_EQ(priority_after(SCHED_RR, -5).first, EINVAL);
}

}  // namespace
