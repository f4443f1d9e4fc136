#include "platform/service_unit.h"

#include <cstdlib>

namespace velk {

namespace {

constexpr const char* kDefaultUnitFolder = "/etc/systemd/system";
constexpr const char* kUnitFolderVariable = "VELK_SYSTEMD_UNIT_DIR";

} // namespace

std::filesystem::path ServiceUnitFolder(bool* chosen)
{
    const char* folder = std::getenv(kUnitFolderVariable);
    const bool named = folder && *folder;
    if (chosen)
        *chosen = named;
    return named ? std::filesystem::path(folder) : std::filesystem::path(kDefaultUnitFolder);
}

bool IsServiceUnitInstalled()
{
    std::error_code error;
    return std::filesystem::exists(ServiceUnitPath(), error);
}

} // namespace velk
