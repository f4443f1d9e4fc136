// The plain server's rule for ending on its own: counts the external locks (client sessions of
// the automation server) and, once the last one is released, calls on_idle when delay_ms pass
// without a lock or release while none is held. Until a last release the process runs for as
// long as it is left alone. Lock and Unlock may be called on any thread; on_idle runs on the
// monitor's own thread, which Start starts and Stop (or the destructor) joins.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/event.h"

namespace velk {

class LockMonitor {
public:
    LockMonitor(std::uint32_t delay_ms, std::function<void()> on_idle);
    ~LockMonitor();
    LockMonitor(const LockMonitor&) = delete;
    LockMonitor& operator=(const LockMonitor&) = delete;

    void Start();
    void Stop();

    // Each returns the count after the change. A release without a lock is ignored: the
    // count never goes below zero.
    long Lock();
    long Unlock();

private:
    void Watch();

    const std::uint32_t delay_ms_;
    const std::function<void()> on_idle_;
    std::mutex mutex_;
    long count_ = 0;
    bool released_ = false; // a last lock has been released at least once
    Event activity_{Event::Reset::Auto};
    Event stop_;
    std::thread thread_;
};

} // namespace velk
