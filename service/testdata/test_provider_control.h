// The steering and the call record of the test provider module, shared between the module and
// the tests that load it: the module exports VelkTestProviderControl, which returns its one
// control object; a test finds it with dlopen(RTLD_NOLOAD) and dlsym once the module is loaded.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/connection_point.h"
#include "platform/event.h"
#include "platform/guid.h"
#include "velk/velk_data_object.h"

namespace velk::testing {

// A provider with object and device state and a data event.
inline const Guid kConfigurableProvider = *Guid::Parse("{3C0F5E7A-6B1D-4E2A-9C3B-7D8E9F0A1B01}");
// A provider with neither: only IVelkDataObject.
inline const Guid kPlainProvider = *Guid::Parse("{3C0F5E7A-6B1D-4E2A-9C3B-7D8E9F0A1B02}");
// A registered class whose object is no provider: its creation fails.
inline const Guid kBrokenProvider = *Guid::Parse("{3C0F5E7A-6B1D-4E2A-9C3B-7D8E9F0A1B03}");

// Plain providers that differ only in class id, for runs with many hosts: the class id of index
// i is this base id with i in its last byte. They poll at the interval they are steered to.
inline const Guid kPolledProviderBase = *Guid::Parse("{3C0F5E7A-6B1D-4E2A-9C3B-7D8E9F0A1C00}");
inline constexpr int kPolledProviderCount = 20;
inline Guid PolledProviderClass(int index)
{
    Guid clsid = kPolledProviderBase;
    clsid.data4[7] = static_cast<std::uint8_t>(index);
    return clsid;
}

inline constexpr const char* kTestProviderControlSymbol = "VelkTestProviderControl";

struct ProviderCall {
    Guid clsid;
    std::string name;   // "Initialize", "Run", "LoadDeviceState", ...
    std::string detail; // a stream's remaining bytes; the player's UDN before them
    std::thread::id thread;
};

// What the next provider of a class does.
struct ProviderSteering {
    std::uint32_t poll_interval_ms = kNoPolling;
    HRESULT initialize_result = S_OK;
};

class TestProviderControl {
public:
    void Steer(const Guid& clsid, ProviderSteering steering)
    {
        std::lock_guard lock(mutex_);
        steering_[clsid] = steering;
    }
    ProviderSteering SteeringOf(const Guid& clsid)
    {
        std::lock_guard lock(mutex_);
        return steering_[clsid];
    }

    // Called inside each Run of the class, on the main apartment: what a provider's call out
    // does while the apartment keeps serving others.
    void SteerRun(const Guid& clsid, std::function<void()> during_run)
    {
        std::lock_guard lock(mutex_);
        during_run_[clsid] = std::move(during_run);
    }
    std::function<void()> DuringRun(const Guid& clsid)
    {
        std::lock_guard lock(mutex_);
        return during_run_[clsid];
    }

    void Record(const Guid& clsid, std::string name, std::string detail = {})
    {
        std::lock_guard lock(mutex_);
        calls_.push_back({clsid, std::move(name), std::move(detail), std::this_thread::get_id()});
        call_recorded.Set();
    }
    std::vector<ProviderCall> Calls()
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // The names of one class's calls, in order.
    std::vector<std::string> Names(const Guid& clsid)
    {
        std::vector<std::string> names;
        for (const auto& call : Calls()) {
            if (call.clsid == clsid)
                names.push_back(call.name);
        }
        return names;
    }
    std::size_t Count(const Guid& clsid, std::string_view name)
    {
        std::size_t count = 0;
        for (const auto& call : Calls())
            count += call.clsid == clsid && call.name == name;
        return count;
    }

    // Forgets calls and steering between tests.
    void Reset()
    {
        std::lock_guard lock(mutex_);
        calls_.clear();
        steering_.clear();
        during_run_.clear();
        call_recorded.Reset();
    }

    // The configurable provider's data event: its sinks live here, so a test raises
    // OnDataAvailable as the provider would, from any thread.
    ConnectionPoint<_IVelkDataObjectEvent> data_event;
    void RaiseDataAvailable(int times)
    {
        for (int i = 0; i < times; ++i)
            data_event.Fire([](_IVelkDataObjectEvent& sink) { return sink.OnDataAvailable(); });
    }

    // Set at every recorded call: a pump on the main apartment returns as soon as a provider
    // call came, instead of at the end of a time slice.
    Event call_recorded{Event::Reset::Auto};

    // Providers alive now.
    std::atomic<int> live{0};

private:
    std::mutex mutex_;
    std::map<Guid, ProviderSteering> steering_;
    std::map<Guid, std::function<void()>> during_run_;
    std::vector<ProviderCall> calls_;
};

extern "C" {
using TestProviderControlFn = TestProviderControl* (*)();
}

} // namespace velk::testing
