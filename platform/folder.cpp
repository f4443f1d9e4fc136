#include "platform/folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

namespace velk {

HRESULT CreateFolder(const std::filesystem::path& folder, bool private_folder)
{
    std::error_code error;
    std::vector<std::filesystem::path> missing;
    for (auto at = folder; !at.empty() && !std::filesystem::is_directory(at, error);
         at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path())
            break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        const mode_t mode = private_folder && *it == folder ? 0700 : 0755;
        if (mkdir(it->c_str(), mode) != 0 && errno != EEXIST)
            return HResultFromErrno(errno, E_FAIL);
    }
    return S_OK;
}

} // namespace velk
