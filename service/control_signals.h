// The service control requests as they reach a Linux daemon: signals. Open blocks them for the
// calling thread and every thread it starts later (so open it before any thread exists) and
// hands them out through a descriptor that the main loop waits on; no handler runs on a
// signal, the work happens in the loop. Owned by the module's run on the main thread.
#pragma once

#include <optional>

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

} // namespace velk
