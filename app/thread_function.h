#pragma once
// Base of every worker thread of the application.
//
// A derived class supplies one short pass of work (`main_loop`, returning within about a
// second); the base repeats it until `end` is called. The owner runs a std::thread over a
// reference to the object (std::thread t(std::ref(obj))), calls `end`, joins, then destroys it.

#include <atomic>

class thread_function {
public:
    virtual bool pre_proc() { return true; }
    virtual void main_loop() {}
    virtual void post_proc() {}
    virtual ~thread_function() = default;

    // The thread body: repeats pre_proc / main_loop / post_proc until the end flag is set. An
    // exception that leaves a pass is logged with the class name and ends the thread. Returns 0.
    virtual int operator()();

    // Asks the loop to stop after the current pass; does not wait.
    virtual void end() { m_end.store(true); }

    bool ended() const { return m_end.load(); }
    // The end flag, handed to the nb_ socket functions as their cancel flag.
    const std::atomic<bool>& end_flag() const { return m_end; }

    // Sets the scheduling policy and priority of the calling thread. INT_MIN and INT_MAX stand
    // for the policy's minimum and maximum; priorities are capped at 90. Returns 0 or the error
    // number of the failing call.
    static int set_priority(int policy, int priority);

protected:
    std::atomic<bool> m_end{false};
};
