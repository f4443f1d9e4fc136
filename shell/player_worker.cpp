#include "shell/player_worker.h"

#include <QEventLoop>

namespace velk {

CPlayerWorker::CPlayerWorker() : context_(std::make_unique<QObject>()) {}

CPlayerWorker::~CPlayerWorker()
{
    // The job that runs gives up its waits on the player; the thread then goes (dropping the
    // jobs not started) before the session closes on this thread.
    thread_.apartment()->RequestStop();
}

void CPlayerWorker::Hand(std::function<void()> fn)
{
    QMetaObject::invokeMethod(context_.get(), std::move(fn), Qt::QueuedConnection);
}

void CPlayerWorker::Queue(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    thread_.apartment()->Post([this] { Drain(); });
}

void CPlayerWorker::Drain()
{
    if (draining_)
        return;
    draining_ = true;
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard lock(mutex_);
            if (jobs_.empty())
                break;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
    draining_ = false;
}

void CPlayerWorker::WaitUntil(const std::function<bool()>& condition)
{
    QEventLoop loop;
    while (!condition())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace velk
