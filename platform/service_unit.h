// Where the data service's systemd unit lives: the folder named by $VELK_SYSTEMD_UNIT_DIR (tests,
// the demo) or /etc/systemd/system. The service installs it there; the desktop asks whether it
// is there.
#pragma once

#include <filesystem>
#include <string_view>

namespace velk {

inline constexpr std::string_view kServiceUnitName = "velk.service";
inline constexpr const char* kServiceUnitFolderVariable = "VELK_SYSTEMD_UNIT_DIR";

// The folder, and whether the variable named it.
std::filesystem::path ServiceUnitFolder(bool* from_variable = nullptr);

// The service's unit is installed.
bool IsServiceUnitInstalled();

} // namespace velk
