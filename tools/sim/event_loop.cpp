#include "tools/sim/event_loop.h"

#include <cerrno>
#include <future>

namespace velk::sim {

EventLoop::EventLoop() : loop_thread_(std::this_thread::get_id()) {}

void EventLoop::Watch(int fd, short events, ReadyHandler on_ready)
{
    watches_[fd] = WatchEntry{events, next_generation_++, std::move(on_ready)};
}

void EventLoop::SetEvents(int fd, short events)
{
    auto it = watches_.find(fd);
    if (it != watches_.end())
        it->second.events = events;
}

void EventLoop::Unwatch(int fd)
{
    watches_.erase(fd);
}

EventLoop::TimerId EventLoop::AddTimer(std::chrono::milliseconds delay, Task task)
{
    const TimerId id = next_timer_++;
    const auto due = Clock::now() + delay;
    timers_.emplace(id, TimerEntry{due, std::move(task)});
    timer_order_.emplace(due, id);
    return id;
}

void EventLoop::CancelTimer(TimerId id)
{
    auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    auto [first, last] = timer_order_.equal_range(it->second.due);
    for (auto order = first; order != last; ++order) {
        if (order->second == id) {
            timer_order_.erase(order);
            break;
        }
    }
    timers_.erase(it);
}

void EventLoop::Post(Task task)
{
    {
        std::lock_guard lock(posted_mutex_);
        if (ended_)
            return;
        posted_.push_back(std::move(task));
    }
    wake_.Set();
}

bool EventLoop::Invoke(const Task& task)
{
    if (IsLoopThread()) {
        task();
        return true;
    }
    std::promise<void> done;
    {
        std::lock_guard lock(posted_mutex_);
        if (ended_)
            return false;
        posted_.push_back([&] {
            task();
            done.set_value();
        });
    }
    wake_.Set();
    done.get_future().wait();
    return true;
}

void EventLoop::Stop()
{
    Post([this] { stopping_ = true; });
}

int EventLoop::NextTimeoutMs() const
{
    if (timer_order_.empty())
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(timer_order_.begin()->first - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void EventLoop::RunDueTimers()
{
    const auto now = Clock::now();
    // Tasks may add or cancel timers: take one due timer at a time.
    while (!timer_order_.empty() && timer_order_.begin()->first <= now) {
        const TimerId id = timer_order_.begin()->second;
        timer_order_.erase(timer_order_.begin());
        auto it = timers_.find(id);
        if (it == timers_.end())
            continue;
        Task task = std::move(it->second.task);
        timers_.erase(it);
        task();
    }
}

void EventLoop::RunPosted()
{
    std::vector<Task> tasks;
    {
        std::lock_guard lock(posted_mutex_);
        wake_.Reset();
        tasks.swap(posted_);
    }
    for (auto& task : tasks)
        task();
}

void EventLoop::Run()
{
    loop_thread_ = std::this_thread::get_id();
    stopping_ = false;
    std::vector<pollfd> fds;
    std::vector<std::uint64_t> generations;
    while (!stopping_) {
        fds.clear();
        generations.clear();
        fds.push_back({wake_.fd(), POLLIN, 0});
        generations.push_back(0);
        for (const auto& [fd, watch] : watches_) {
            fds.push_back({fd, watch.events, 0});
            generations.push_back(watch.generation);
        }
        const int ready = poll(fds.data(), fds.size(), NextTimeoutMs());
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0) {
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (fds[i].revents == 0)
                    continue;
                // A handler may have closed this fd, or another fd that a new watch reuses.
                auto it = watches_.find(fds[i].fd);
                if (it == watches_.end() || it->second.generation != generations[i])
                    continue;
                ReadyHandler handler = it->second.on_ready;
                handler(fds[i].revents);
            }
        }
        RunDueTimers();
        if (fds[0].revents != 0 || wake_.IsSet())
            RunPosted();
    }
    // Whatever was posted before the end still runs, so that every Invoke returns.
    {
        std::lock_guard lock(posted_mutex_);
        ended_ = true;
    }
    RunPosted();
}

} // namespace velk::sim
