// Where the data service's systemd unit lives: velk.service in /etc/systemd/system, or in the
// folder VELK_SYSTEMD_UNIT_DIR names (tests, the demo). The service installs it there; the
// desktop asks whether it is there ("the data service is installed"). Any thread.
#pragma once

#include <filesystem>
#include <string_view>

namespace velk {

inline constexpr std::string_view kServiceUnitName = "velk.service";

// The unit folder; chosen tells whether the environment named it.
std::filesystem::path ServiceUnitFolder(bool* chosen = nullptr);

inline std::filesystem::path ServiceUnitPath()
{
    return ServiceUnitFolder() / kServiceUnitName;
}

bool IsServiceUnitInstalled();

} // namespace velk
