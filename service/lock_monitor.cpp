#include "service/lock_monitor.h"

namespace velk {

LockMonitor::LockMonitor(std::uint32_t delay_ms, std::function<void()> on_idle)
    : delay_ms_(delay_ms), on_idle_(std::move(on_idle))
{
}

LockMonitor::~LockMonitor()
{
    Stop();
}

void LockMonitor::Start()
{
    if (thread_.joinable())
        return;
    stop_.Reset();
    thread_ = std::thread([this] { Watch(); });
}

void LockMonitor::Stop()
{
    if (!thread_.joinable())
        return;
    stop_.Set();
    thread_.join();
}

long LockMonitor::Lock()
{
    std::lock_guard lock(mutex_);
    ++count_;
    activity_.Set();
    return count_;
}

long LockMonitor::Unlock()
{
    std::lock_guard lock(mutex_);
    if (count_ == 0)
        return 0;
    if (--count_ == 0)
        released_ = true;
    activity_.Set();
    return count_;
}

void LockMonitor::Watch()
{
    // quiet: the wait for delay_ms without activity is running.
    bool quiet = false;
    for (;;) {
        const int signalled = WaitAny({stop_, activity_}, quiet ? delay_ms_ : kInfinite);
        if (signalled == 1) {
            std::lock_guard lock(mutex_);
            quiet = released_;
            continue;
        }
        if (signalled != kWaitTimeout)
            return; // stopped, or the wait itself failed
        {
            std::lock_guard lock(mutex_);
            quiet = false;
            if (count_ != 0)
                continue;
        }
        on_idle_();
        return;
    }
}

} // namespace velk
