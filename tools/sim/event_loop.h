// The simulator's network thread: one poll loop over sockets and timers. Every player, session
// and server of the simulator lives on it; other threads (the UPnP thread, signal handling)
// reach it only through Post or Invoke.
#pragma once

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/event.h"

namespace velk::sim {

class EventLoop {
public:
    using Clock = std::chrono::steady_clock;
    using Task = std::function<void()>;
    using ReadyHandler = std::function<void(short revents)>;
    using TimerId = std::uint64_t;

    EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Calls on_ready on the loop thread whenever fd shows one of events (POLLIN, POLLOUT);
    // errors and hang-ups are always reported. Replaces an earlier watch of the same fd.
    void Watch(int fd, short events, ReadyHandler on_ready);
    void SetEvents(int fd, short events);
    // After Unwatch the handler is never called again, even for results of the current pass.
    void Unwatch(int fd);

    // One-shot timer; a periodic one re-arms itself from its task.
    TimerId AddTimer(std::chrono::milliseconds delay, Task task);
    void CancelTimer(TimerId id);

    // Any thread: runs task on the loop thread soon; dropped once the loop has ended.
    void Post(Task task);
    // Any thread: runs task on the loop thread and waits for it (inline on the loop thread).
    // false, without running it, once the loop has ended: a thread that waits here can never
    // hang a shutdown.
    bool Invoke(const Task& task);

    // Runs until Stop; the calling thread becomes the loop thread.
    void Run();
    // Any thread.
    void Stop();
    bool IsLoopThread() const { return std::this_thread::get_id() == loop_thread_; }

private:
    struct WatchEntry {
        short events;
        std::uint64_t generation;
        ReadyHandler on_ready;
    };
    struct TimerEntry {
        Clock::time_point due;
        Task task;
    };

    int NextTimeoutMs() const;
    void RunDueTimers();
    void RunPosted();

    std::map<int, WatchEntry> watches_;
    std::uint64_t next_generation_ = 1;
    std::map<TimerId, TimerEntry> timers_;
    std::multimap<Clock::time_point, TimerId> timer_order_;
    TimerId next_timer_ = 1;

    std::mutex posted_mutex_;
    std::vector<Task> posted_;
    Event wake_{Event::Reset::Manual};
    bool ended_ = false; // guarded by posted_mutex_
    bool stopping_ = false;
    std::thread::id loop_thread_;
};

} // namespace velk::sim
