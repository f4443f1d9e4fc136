// The plug-in modules installed with the program, registered and unregistered along with it so
// that a fresh installation or build is usable at once: every "*.so" in ../lib/velk beside the
// program or, in a build tree (a CMakeCache.txt above bin/), in ../lib, that exports the
// registration entry points. Libraries without them are passed over, and the suite's shared
// libraries ("lib*.so") and companion page modules ("*_ui.so") are not even loaded. Main thread.
#pragma once

#include <filesystem>
#include <ostream>

#include "platform/hresult.h"

namespace velk {

class PluginModules {
public:
    // The folder for the program; empty when it has none.
    static std::filesystem::path FolderBeside(const std::filesystem::path& program);

    // Registers (or unregisters) every module in the folder, in name order. A module that
    // cannot be loaded or fails is told on messages and the others still run; the result is
    // then the first failure.
    static HRESULT RegisterAll(const std::filesystem::path& folder, std::ostream& messages);
    static HRESULT UnregisterAll(const std::filesystem::path& folder, std::ostream& messages);
};

} // namespace velk
