// The service's entry in the service manager: the systemd unit velk.service, installed for
// demand start (written, never enabled) and removed again, stopping the service first when it
// runs. The unit lives where platform/service_unit.h says; the manager counts as reachable when
// systemd runs (/run/systemd/system) or when VELK_SYSTEMD_UNIT_DIR names the unit folder, in
// which case systemctl is never called. Failures are told on the message stream in
// the service manager's words ("Could not open Service Manager", ...). Main thread.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"
#include "platform/service_unit.h"

namespace velk {

class ServiceInstaller {
public:
    static constexpr std::string_view kUnitName = kServiceUnitName;

    // The unit folder and reachability from the environment.
    explicit ServiceInstaller(std::ostream& messages);

    std::filesystem::path UnitPath() const { return unit_folder_ / kUnitName; }
    bool IsInstalled() const;

    // Writes the unit for the program (nothing when it is installed already) and has systemd
    // read it.
    HRESULT Install(const std::filesystem::path& program);
    // Stops the service when it is active, deletes the unit and has systemd forget it. S_OK
    // when it was not installed.
    HRESULT Remove();

    // The unit file's text; nullopt when systemd could not run the program from that path (a
    // control character, quote or backslash in it).
    static std::optional<std::string> UnitText(const std::filesystem::path& program);

private:
    // Tells message with the unit's path and the reason (the code's text unless given).
    HRESULT Fail(std::string_view message, HRESULT hr, std::string_view reason = {});
    // Runs systemctl with these arguments; its exit status, or -1 when it could not be run.
    int Systemctl(const std::vector<std::string>& args);

    std::ostream& messages_;
    std::filesystem::path unit_folder_;
    bool systemd_ = false;   // systemd runs and manages the unit folder
    bool reachable_ = false; // systemd, or a unit folder of the caller's choosing
};

} // namespace velk
