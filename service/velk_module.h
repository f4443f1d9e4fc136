// The velk program's process shell: the command line, self-registration with the systemd unit,
// and the run of the service or plain server around the root object. The main thread is the
// main apartment: the root object lives there and the loop there serves it until a stop; the
// service control signals are taken on a thread of their own and passed to the apartment.
// main makes the one module of the process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string_view>

#include "automation/automation_server.h"
#include "platform/event.h"
#include "platform/hresult.h"
#include "service/lock_monitor.h"

namespace velk {

class Apartment;
class IVelkDataService;
enum class ServiceControl;

class CVelkModule {
public:
    enum class Action { Run, RegServer, UnregServer, Service, SetToken };

    // Plain-server mode: quiet time after the last external lock before the process ends.
    static constexpr std::uint32_t kShutdownDelayMs = 5000;

    // messages: where registration tells its failures and usage (standard error).
    CVelkModule(std::filesystem::path program, std::ostream& messages,
                std::uint32_t shutdown_delay_ms = kShutdownDelayMs);

    // The action for the arguments after the program name: none is Run, or exactly one of
    // "RegServer", "UnregServer", "Service", "SetToken" after "-", "--" or "/", in any case.
    // nullopt for anything else.
    static std::optional<Action> ParseCommandLine(std::span<const std::string_view> args);
    // The running program's absolute path.
    static std::filesystem::path ProgramPath();

    // The whole program: parses, acts, and gives the exit status (0 done, 1 failed, 2 bad
    // command line, with the usage on messages).
    int Main(std::span<const std::string_view> args);

    // Registers the classes, the AppID and the plug-in modules beside the program, after
    // removing any installed service; as a service, also installs the unit and sets
    // "LocalService".
    HRESULT RegisterServer(bool service);
    // Removes the service (stopping it), the plug-in modules' and the program's entries and
    // "LocalService"; the component categories stay.
    HRESULT UnregisterServer();
    // Runs as the service when the AppID says so, otherwise as the plain server, until stopped.
    HRESULT Run();

    // The external locks of plain-server mode (client sessions of the automation server); any
    // thread. Each returns the count after the change.
    long Lock() { return locks_.Lock(); }
    long Unlock() { return locks_.Unlock(); }

private:
    // The endpoint's settings, with the external locks of its client sessions; a failure when
    // they cannot be read (automation_endpoint.h).
    HRESULT AutomationOptions(AutomationServer::Options& options);
    // A control request, on the signals' thread: a stop asks the apartment to stop (its waits
    // on players give up at once), the others become its tasks.
    static void OnControl(Apartment& apartment, const std::shared_ptr<IVelkDataService>& root,
                          ServiceControl control);
    // The main loop: tasks until a stop or the lock monitor's quit.
    HRESULT Loop(Apartment& apartment);

    const std::filesystem::path program_;
    std::ostream& messages_;
    Event quit_;
    LockMonitor locks_;
};

} // namespace velk
