// The service control requests as they reach a Linux daemon: signals. Open blocks them for the
// calling thread and every thread it starts later (so open it before any thread exists) and
// hands them out through a descriptor that the main loop waits on; no handler runs on a
// signal, the work happens in the loop. Owned by the module's run on the main thread.
#pragma once

#include <functional>
#include <optional>
#include <thread>

#include "platform/event.h"
#include "platform/hresult.h"

namespace velk {

enum class ServiceControl {
    Stop,        // SIGTERM (systemd's stop), SIGINT (Ctrl+C)
    ParamChange, // SIGHUP (systemctl reload): the root object reloads the providers
    Unknown,     // any other signal taken here: logged and ignored
};

class ControlSignals {
public:
    ControlSignals() = default;
    // The signals stay blocked: one that arrives while the process winds down must not end it
    // by its default action.
    ~ControlSignals();
    ControlSignals(const ControlSignals&) = delete;
    ControlSignals& operator=(const ControlSignals&) = delete;

    HRESULT Open();
    // Readable while a request is pending.
    int fd() const { return fd_; }
    // The next pending request; nullopt when none is.
    std::optional<ServiceControl> Read();

private:
    int fd_ = -1;
};

// Takes the requests of opened signals on a thread of its own and hands each to on_request
// there, so that a stop is taken even while the main apartment waits inside a call. Owned by
// the module's run, which keeps the signals open for its life; the destructor joins the thread.
class ControlSignalThread {
public:
    ControlSignalThread(ControlSignals& signals, std::function<void(ServiceControl)> on_request);
    ~ControlSignalThread();
    ControlSignalThread(const ControlSignalThread&) = delete;
    ControlSignalThread& operator=(const ControlSignalThread&) = delete;

private:
    void Run();

    ControlSignals& signals_;
    const std::function<void(ServiceControl)> on_request_;
    Event stop_;
    std::thread thread_;
};

} // namespace velk
