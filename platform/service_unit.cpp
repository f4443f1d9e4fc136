#include "platform/service_unit.h"

#include <cstdlib>

namespace velk {

std::filesystem::path ServiceUnitFolder(bool* from_variable)
{
    const char* folder = std::getenv(kServiceUnitFolderVariable);
    const bool named = folder && *folder;
    if (from_variable)
        *from_variable = named;
    return named ? std::filesystem::path(folder) : std::filesystem::path("/etc/systemd/system");
}

bool IsServiceUnitInstalled()
{
    std::error_code error;
    return std::filesystem::is_regular_file(ServiceUnitFolder() / kServiceUnitName, error);
}

} // namespace velk
