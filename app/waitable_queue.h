#pragma once
// A queue with a timed pop: panel key events, video frames.
//
// One mutex guards the deque; `push` wakes one waiter. Time-outs run on the monotonic clock,
// so setting the wall clock (the panel can) neither stretches nor cuts a wait.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

template <typename T>
class waitable_queue {
public:
    // Appends `element`; returns the number of elements after the push.
    int push(const T& element)
    {
        int n;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.push_back(element);
            n = static_cast<int>(m_queue.size());
        }
        m_cond.notify_one();
        return n;
    }

    // Waits up to `timeout_ms` for an element. 1: the front element moved into `out`; -1: the
    // time-out expired with the queue empty; 0: woken but another consumer took the element.
    int pop(T& out, int timeout_ms)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        if (!m_cond.wait_until(lock, deadline, [this] { return !m_queue.empty(); }))
            return -1;
        if (m_queue.empty())
            return 0;
        out = std::move(m_queue.front());
        m_queue.pop_front();
        return 1;
    }

    int size() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(m_queue.size());
    }

    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<T> m_queue;
};
