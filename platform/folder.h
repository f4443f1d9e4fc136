// The folders of the files the platform keeps: the hives and the machine key. Any thread.
#pragma once

#include <filesystem>

#include "platform/hresult.h"

namespace velk {

// Creates the folder with its missing parents, each 0755 (every user may read the machine hive)
// and the folder itself 0700 when private (a user's hive). The umask may narrow these modes,
// never widen them: no folder the platform makes lets another user put files in it.
HRESULT CreateFolder(const std::filesystem::path& folder, bool private_folder);

} // namespace velk
