// A timer queue: one-shot and periodic timers whose callbacks run, one at a time, on the
// queue's own thread. Deleting a timer waits for its running callback (except from within a
// callback, which cannot wait for itself); destroying the queue deletes every timer that way.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "platform/hresult.h"

namespace velk {

class TimerQueue {
public:
    using TimerId = std::uint64_t;
    using Callback = std::function<void()>;

    TimerQueue();
    ~TimerQueue();
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    // First call after due_ms, then every period_ms (0: once). Returns the new timer's id.
    TimerId CreateTimer(Callback callback, std::uint32_t due_ms, std::uint32_t period_ms);
    // Reschedules from now. E_INVALIDARG for an unknown or deleted timer.
    HRESULT ChangeTimer(TimerId id, std::uint32_t due_ms, std::uint32_t period_ms);
    enum class Completion {
        Wait,     // a callback under way ends before DeleteTimer returns
        DontWait, // it runs on to its end: for a caller that such a callback may be waiting on
    };
    // Removes the timer, waiting for its running callback or not.
    HRESULT DeleteTimer(TimerId id, Completion completion = Completion::Wait);

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        Callback callback;
        Clock::time_point due;
        std::uint32_t period_ms;
    };

    void ThreadMain();
    void WaitWhileRunning(std::unique_lock<std::mutex>& lock, TimerId id);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<TimerId, Timer> timers_;
    TimerId next_id_ = 1;
    TimerId running_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace velk
