#include "providers/mail/mail_worker.h"

namespace velk {

void MailWorker::Start(std::function<void()> poll_due, std::uint32_t poll_interval_ms)
{
    Stop();
    stop_.Reset();
    thread_ = std::thread(&MailWorker::ThreadMain, this, std::move(poll_due), poll_interval_ms);
}

bool MailWorker::Post(Job job)
{
    {
        std::lock_guard lock(mutex_);
        if (jobs_.size() >= kMaxQueuedJobs)
            return false;
        jobs_.push_back(std::move(job));
    }
    wake_.Set();
    return true;
}

void MailWorker::Stop()
{
    stop_.Set();
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(mutex_);
    jobs_.clear();
}

void MailWorker::ThreadMain(std::function<void()> poll_due, std::uint32_t poll_interval_ms)
{
    Deadline next_poll(poll_interval_ms);
    for (;;) {
        Job job;
        {
            std::lock_guard lock(mutex_);
            if (!jobs_.empty()) {
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
        }
        if (stop_.IsSet())
            return;
        if (job) {
            job(stop_);
            continue;
        }
        if (next_poll.Expired()) {
            poll_due();
            next_poll = Deadline(poll_interval_ms);
            continue;
        }
        const int woken = WaitAny({stop_, wake_}, next_poll.RemainingMs());
        if (woken == 0 || woken == kWaitFailed)
            return;
    }
}

} // namespace velk
