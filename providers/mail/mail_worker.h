// The thread on which the mail provider's POP3 sessions run, one after another, so that no
// wait for a mail server ever holds the provider's apartment. Jobs are queued from the
// apartment and post their results back to it themselves. Besides, it calls poll_due every
// poll interval. Owned by the provider, which stops it (the stop event also ends a session
// under way) and joins it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/event.h"

namespace velk {

class MailWorker {
public:
    using Job = std::function<void(Event& stop)>;
    // More jobs than this waiting are refused.
    static constexpr std::size_t kMaxQueuedJobs = 64;

    MailWorker() = default;
    ~MailWorker() { Stop(); }
    MailWorker(const MailWorker&) = delete;
    MailWorker& operator=(const MailWorker&) = delete;

    void Start(std::function<void()> poll_due, std::uint32_t poll_interval_ms);
    // False, and the job dropped, when too many wait already.
    bool Post(Job job);
    // Ends the session under way, drops the queued jobs and joins the thread.
    void Stop();

private:
    void ThreadMain(std::function<void()> poll_due, std::uint32_t poll_interval_ms);

    std::mutex mutex_;
    std::deque<Job> jobs_;
    Event wake_{Event::Reset::Auto};
    Event stop_;
    std::thread thread_;
};

} // namespace velk
