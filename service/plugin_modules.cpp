#include "service/plugin_modules.h"

#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/class_registry.h"

namespace velk {

namespace {

constexpr const char* kRegisterEntry = "VelkRegisterServer";
constexpr const char* kUnregisterEntry = "VelkUnregisterServer";

enum class Probe { Exports, Lacks, Unloadable };

// Whether the library exports the entry point, asked without running anything of it but its
// initialisers; the library is unloaded again unless something else holds it.
Probe ProbeEntry(const std::filesystem::path& path, const char* entry, std::string& error)
{
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle) {
        const char* text = dlerror();
        error = text ? text : "cannot be loaded";
        return Probe::Unloadable;
    }
    const bool exports = dlsym(handle, entry) != nullptr;
    dlclose(handle);
    return exports ? Probe::Exports : Probe::Lacks;
}

// Shared libraries of the suite ("lib*.so") and companion page modules ("*_ui.so") register
// nothing, and the companions would bring the user-interface toolkit into the service: they are
// passed over without being loaded.
bool MayBeModule(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    return path.extension() == ".so" && !name.starts_with("lib") && !name.ends_with("_ui.so");
}

std::vector<std::filesystem::path> Libraries(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> libraries;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::error_code ignored;
        if (MayBeModule(entry.path()) && entry.is_regular_file(ignored))
            libraries.push_back(entry.path());
    }
    std::sort(libraries.begin(), libraries.end());
    return libraries;
}

template <class Action>
HRESULT ForEachModule(const std::filesystem::path& folder, const char* entry, std::string_view verb,
                      std::ostream& messages, Action&& action)
{
    if (folder.empty())
        return S_OK;
    HRESULT result = S_OK;
    for (const auto& path : Libraries(folder)) {
        std::string error;
        const Probe probe = ProbeEntry(path, entry, error);
        if (probe == Probe::Lacks)
            continue;
        const HRESULT hr = probe == Probe::Exports ? action(path.string()) : CO_E_ERRORINDLL;
        if (SUCCEEDED(hr))
            continue;
        messages << "Could not " << verb << " module " << path.string() << ": "
                 << (error.empty() ? HResultMessage(hr) : error) << '\n';
        if (SUCCEEDED(result))
            result = hr;
    }
    return result;
}

} // namespace

std::filesystem::path PluginModules::FolderBeside(const std::filesystem::path& program)
{
    const auto prefix = program.parent_path().parent_path();
    std::error_code error;
    if (std::filesystem::is_directory(prefix / "lib" / "velk", error))
        return prefix / "lib" / "velk";
    if (std::filesystem::exists(prefix / "CMakeCache.txt", error))
        return prefix / "lib";
    return {};
}

HRESULT PluginModules::RegisterAll(const std::filesystem::path& folder, std::ostream& messages)
{
    return ForEachModule(folder, kRegisterEntry, "register", messages, [](const std::string& path) {
        return ClassRegistry::RegisterModule(path);
    });
}

HRESULT PluginModules::UnregisterAll(const std::filesystem::path& folder, std::ostream& messages)
{
    return ForEachModule(
        folder, kUnregisterEntry, "unregister", messages,
        [](const std::string& path) { return ClassRegistry::UnregisterModule(path); });
}

} // namespace velk
