#include "platform/registry.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/encoding.h"
#include "platform/hive_file.h"
#include "platform/registry_watcher.h"

namespace velk {

namespace {

struct RootName {
    std::string_view short_name;
    std::string_view long_name;
    Hive hive;
};

constexpr RootName kRootNames[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE", Hive::LocalMachine},
    {"HKCR", "HKEY_CLASSES_ROOT", Hive::ClassesRoot},
    {"HKCU", "HKEY_CURRENT_USER", Hive::CurrentUser},
};

constexpr std::array kMachineRoots{Hive::LocalMachine, Hive::ClassesRoot};
constexpr std::array kUserRoots{Hive::CurrentUser};

std::string EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeFolder()
{
    if (auto home = EnvironmentValue("HOME"); !home.empty())
        return home;
    passwd entry;
    passwd* found = nullptr;
    std::array<char, 4096> buffer;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_dir;
    return "/";
}

// More than limit characters, in UTF-16 units: each comes from one to three bytes of UTF-8
// (a character of four bytes gives two), so most texts are told by their size alone.
bool HasMoreCharsThan(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return false;
    if (text.size() > 3 * limit)
        return true;
    return Utf8ToUtf16(text).size() > limit;
}

bool IsValidKeyName(std::string_view name)
{
    return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

} // namespace

std::string_view HiveName(Hive hive)
{
    for (const auto& root : kRootNames) {
        if (root.hive == hive)
            return root.short_name;
    }
    return {};
}

std::optional<KeyPath> ParseKeyPath(std::string_view full_path)
{
    const auto separator = full_path.find('\\');
    const auto root = full_path.substr(0, separator);
    std::string_view path;
    if (separator != std::string_view::npos) {
        path = full_path.substr(separator + 1);
        if (path.empty())
            return std::nullopt;
    }
    for (const auto& name : kRootNames) {
        if (EqualsIgnoringCase(root, name.short_name) || EqualsIgnoringCase(root, name.long_name))
            return KeyPath{name.hive, path};
    }
    return std::nullopt;
}

std::vector<std::uint8_t> EncodeDword(DWORD value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::optional<DWORD> DecodeDword(std::span<const std::uint8_t> data)
{
    if (data.size() != 4)
        return std::nullopt;
    return DWORD{data[0]} | DWORD{data[1]} << 8 | DWORD{data[2]} << 16 | DWORD{data[3]} << 24;
}

std::optional<std::vector<std::uint8_t>> EncodeMultiString(std::span<const std::string> strings)
{
    std::vector<std::uint8_t> data;
    for (const auto& text : strings) {
        if (text.empty() || text.find('\0') != std::string::npos)
            return std::nullopt;
        data.insert(data.end(), text.begin(), text.end());
        data.push_back(0);
    }
    data.push_back(0);
    return data;
}

std::optional<std::vector<std::string>> DecodeMultiString(std::span<const std::uint8_t> data)
{
    if (data.empty() || data.back() != 0)
        return std::nullopt;
    std::vector<std::string> strings;
    const std::size_t last = data.size() - 1;
    std::size_t position = 0;
    while (position < last) {
        const auto end = static_cast<std::size_t>(
            std::find(data.begin() + position, data.end(), 0) - data.begin());
        if (end == position)
            return std::nullopt;
        strings.emplace_back(data.begin() + position, data.begin() + end);
        position = end + 1;
    }
    // The last byte must end the list, not the last string.
    if (position != last)
        return std::nullopt;
    return strings;
}

bool IsValidValueData(DWORD type, std::span<const std::uint8_t> data)
{
    switch (type) {
    case REG_DWORD:
        return data.size() == 4;
    case REG_MULTI_SZ:
        return DecodeMultiString(data).has_value();
    default:
        return true;
    }
}

std::string_view SplitKeyPath(std::string_view path, std::size_t depth,
                              std::vector<std::string_view>& names)
{
    names.clear();
    if (path.empty())
        return {};
    for (;;) {
        const auto separator = path.find('\\');
        const auto name = path.substr(0, separator);
        if (name.empty() && separator == std::string_view::npos)
            return "a key path must not end with \\";
        if (!IsValidKeyName(name))
            return "a key name must not be empty or hold control characters";
        if (HasMoreCharsThan(name, kMaxKeyNameChars))
            return "a key name has more than 255 characters";
        if (depth + names.size() >= kMaxKeyDepth)
            return "a key path has more than 512 levels";
        names.push_back(name);
        if (separator == std::string_view::npos)
            return {};
        path.remove_prefix(separator + 1);
    }
}

std::string_view ValueNameFault(std::string_view name)
{
    if (name.find('\0') != std::string_view::npos)
        return "a value name must not hold \\x00";
    if (HasMoreCharsThan(name, kMaxValueNameChars))
        return "a value name has more than 16383 characters";
    return {};
}

std::string_view ValueDataFault(DWORD type, std::span<const std::uint8_t> data)
{
    if (data.size() > kMaxValueBytes)
        return "a value has more than 1048576 bytes";
    if (!IsValidValueData(type, data))
        return "the data is not in the stored form of its type";
    return {};
}

Registry::Registry() = default;
Registry::~Registry() = default;

Registry& Registry::Instance()
{
    static Registry registry;
    return registry;
}

std::string Registry::HiveFilePath(Hive hive)
{
    const bool machine = hive != Hive::CurrentUser;
    if (auto folder = EnvironmentValue("VELK_REGISTRY_DIR"); !folder.empty())
        return folder + (machine ? "/machine.db" : "/user.db");
    if (machine)
        return "/var/lib/velk/machine.db";
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (auto config = EnvironmentValue("XDG_CONFIG_HOME"); config.starts_with('/'))
        return config + "/velk/user.db";
    return HomeFolder() + "/.config/velk/user.db";
}

HRESULT Registry::OpenHive(Hive hive, bool create, std::shared_ptr<HiveFile>& file)
{
    const auto machine_path = HiveFilePath(Hive::LocalMachine);
    const auto user_path = HiveFilePath(Hive::CurrentUser);
    const bool machine = hive != Hive::CurrentUser;
    const auto& path = machine ? machine_path : user_path;

    auto& registry = Instance();
    std::lock_guard lock(registry.mutex_);
    // Files no longer at the configured places are dropped from the cache; keys and watches
    // that still use them keep them open.
    std::erase_if(registry.files_, [&](const auto& cached) {
        return cached->path() != machine_path && cached->path() != user_path;
    });
    for (const auto& cached : registry.files_) {
        if (cached->path() == path) {
            file = cached;
            return S_OK;
        }
    }
    std::shared_ptr<HiveFile> opened;
    const HRESULT hr = machine ? HiveFile::Open(path, kMachineRoots, create, false, opened)
                               : HiveFile::Open(path, kUserRoots, create, true, opened);
    if (FAILED(hr))
        return hr;
    registry.files_.push_back(opened);
    file = std::move(opened);
    return S_OK;
}

RegistryWatcher& Registry::Watcher()
{
    auto& registry = Instance();
    std::lock_guard lock(registry.mutex_);
    if (!registry.watcher_)
        registry.watcher_ = std::make_unique<RegistryWatcher>();
    return *registry.watcher_;
}

Registry::Transaction::~Transaction()
{
    Rollback();
}

HRESULT Registry::Transaction::Begin(Hive hive)
{
    std::shared_ptr<HiveFile> file;
    HRESULT hr = OpenHive(hive, true, file);
    if (FAILED(hr))
        return hr;
    for (const auto& joined : joined_) {
        if (joined.file == file)
            return S_OK;
    }
    std::unique_lock lock(file->mutex());
    hr = file->Begin();
    if (FAILED(hr))
        return hr;
    joined_.push_back({std::move(file), std::move(lock)});
    return S_OK;
}

HRESULT Registry::Transaction::Commit()
{
    HRESULT result = S_OK;
    for (auto& joined : joined_) {
        if (SUCCEEDED(result))
            result = joined.file->Commit();
        else
            joined.file->Rollback();
    }
    joined_.clear();
    return result;
}

void Registry::Transaction::Rollback()
{
    for (auto& joined : joined_)
        joined.file->Rollback();
    joined_.clear();
}

} // namespace velk
