#include "platform/timer_queue.h"

namespace velk {

TimerQueue::TimerQueue() : thread_([this] { ThreadMain(); }) {}

TimerQueue::~TimerQueue()
{
    {
        std::unique_lock lock(mutex_);
        stopping_ = true;
        timers_.clear();
        changed_.notify_all();
    }
    thread_.join();
}

TimerQueue::TimerId TimerQueue::CreateTimer(Callback callback, std::uint32_t due_ms,
                                            std::uint32_t period_ms)
{
    std::lock_guard lock(mutex_);
    const TimerId id = next_id_++;
    timers_.emplace(id, Timer{std::move(callback), Clock::now() + std::chrono::milliseconds(due_ms),
                              period_ms});
    changed_.notify_all();
    return id;
}

HRESULT TimerQueue::ChangeTimer(TimerId id, std::uint32_t due_ms, std::uint32_t period_ms)
{
    std::lock_guard lock(mutex_);
    auto it = timers_.find(id);
    if (it == timers_.end())
        return E_INVALIDARG;
    it->second.due = Clock::now() + std::chrono::milliseconds(due_ms);
    it->second.period_ms = period_ms;
    changed_.notify_all();
    return S_OK;
}

HRESULT TimerQueue::DeleteTimer(TimerId id, Completion completion)
{
    Callback released;
    std::unique_lock lock(mutex_);
    auto it = timers_.find(id);
    // A one-shot timer leaves the list when it fires; while its callback runs it still counts.
    if (id == 0 || (it == timers_.end() && running_ != id))
        return E_INVALIDARG;
    if (it != timers_.end()) {
        released = std::move(it->second.callback);
        timers_.erase(it);
        changed_.notify_all();
    }
    if (completion == Completion::Wait)
        WaitWhileRunning(lock, id);
    return S_OK;
}

void TimerQueue::WaitWhileRunning(std::unique_lock<std::mutex>& lock, TimerId id)
{
    if (std::this_thread::get_id() == thread_.get_id())
        return;
    changed_.wait(lock, [&] { return running_ != id; });
}

void TimerQueue::ThreadMain()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (next == timers_.end() || it->second.due < next->second.due)
                next = it;
        }
        if (next == timers_.end()) {
            changed_.wait(lock);
            continue;
        }
        if (next->second.due > Clock::now()) {
            // A copy: the timer may be deleted while this thread waits.
            const Clock::time_point due = next->second.due;
            changed_.wait_until(lock, due);
            continue;
        }

        const TimerId id = next->first;
        Callback callback = next->second.callback;
        if (next->second.period_ms == 0)
            timers_.erase(next);
        else
            next->second.due = Clock::now() + std::chrono::milliseconds(next->second.period_ms);

        running_ = id;
        lock.unlock();
        callback();
        callback = nullptr;
        lock.lock();
        running_ = 0;
        changed_.notify_all();
    }
}

} // namespace velk
