// A connection point: the sinks advised for one event interface, called in advise order.
// A sink that fails does not stop the others; a sink may unadvise itself or another during a
// fire (an unadvised sink is not called again). Any thread may advise, unadvise and fire;
// sinks are called on the firing thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/hresult.h"

namespace velk {

template <class Sink>
class ConnectionPoint {
public:
    HRESULT Advise(std::shared_ptr<Sink> sink, DWORD& cookie)
    {
        if (!sink)
            return E_POINTER;
        std::lock_guard lock(mutex_);
        cookie = ++last_cookie_;
        sinks_.emplace_back(cookie, std::move(sink));
        return S_OK;
    }

    HRESULT Unadvise(DWORD cookie)
    {
        std::shared_ptr<Sink> released;
        std::lock_guard lock(mutex_);
        for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
            if (it->first == cookie) {
                released = std::move(it->second);
                sinks_.erase(it);
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }

    // Calls fn on every advised sink; returns how many failed.
    int Fire(const std::function<HRESULT(Sink&)>& fn) const
    {
        int failures = 0;
        for (const auto& [cookie, sink] : Snapshot()) {
            if (!IsAdvised(cookie))
                continue;
            if (FAILED(fn(*sink)))
                ++failures;
        }
        return failures;
    }

    std::vector<std::shared_ptr<Sink>> Sinks() const
    {
        std::vector<std::shared_ptr<Sink>> sinks;
        for (auto& entry : Snapshot())
            sinks.push_back(std::move(entry.second));
        return sinks;
    }

    bool empty() const
    {
        std::lock_guard lock(mutex_);
        return sinks_.empty();
    }

private:
    using Entry = std::pair<DWORD, std::shared_ptr<Sink>>;

    std::vector<Entry> Snapshot() const
    {
        std::lock_guard lock(mutex_);
        return sinks_;
    }

    bool IsAdvised(DWORD cookie) const
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : sinks_) {
            if (entry.first == cookie)
                return true;
        }
        return false;
    }

    mutable std::mutex mutex_;
    DWORD last_cookie_ = 0;
    std::vector<Entry> sinks_;
};

} // namespace velk
