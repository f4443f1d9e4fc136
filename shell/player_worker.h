// A player page's connection to its player: one CControlSession used only on a worker thread of
// its own, so that the page's commands (each may wait up to 10 s for the player) never block the
// GUI. Jobs run one after the other in the order they were given; each one's result is handed
// to the GUI thread, and dropped when the worker has gone by then. Going, the worker makes the
// waits on the player give up at once and joins its thread. Owned by its page; its members are
// called on the GUI thread, the jobs run on the worker.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include <QObject>

#include "platform/apartment.h"
#include "rcp/control_session.h"

namespace velk {

class CPlayerWorker {
public:
    CPlayerWorker();
    ~CPlayerWorker();
    CPlayerWorker(const CPlayerWorker&) = delete;
    CPlayerWorker& operator=(const CPlayerWorker&) = delete;

    // Runs job with the session on the worker, then done with its result on the GUI thread.
    template <class Result>
    void Run(std::function<Result(CControlSession&)> job, std::function<void(Result&)> done)
    {
        Queue([this, job = std::move(job), done = std::move(done)]() mutable {
            auto result = std::make_shared<Result>(job(session_));
            Hand([done = std::move(done), result] { done(*result); });
        });
    }

    // The same, waiting for the result while the GUI's events go on being handled (the
    // caller's window should refuse input meanwhile).
    template <class Result> Result RunAndWait(std::function<Result(CControlSession&)> job)
    {
        auto result = std::make_shared<std::optional<Result>>();
        Run<Result>(std::move(job), [result](Result& value) { *result = std::move(value); });
        WaitUntil([result] { return result->has_value(); });
        return std::move(**result);
    }

    // Runs fn on the GUI thread unless the worker has gone by then; any thread.
    void Hand(std::function<void()> fn);

private:
    void Queue(std::function<void()> job);
    // Worker: runs the queued jobs in order. A job's wait may run this again (the worker's
    // waits keep its queue going): that call leaves the jobs to the one already running.
    void Drain();
    void WaitUntil(const std::function<bool()>& condition);

    // Declared in the order they may go: the context last, once no thread can hand to it.
    std::unique_ptr<QObject> context_;
    CControlSession session_;
    std::mutex mutex_;
    std::deque<std::function<void()>> jobs_;
    bool draining_ = false; // worker only
    ApartmentThread thread_;
};

} // namespace velk
