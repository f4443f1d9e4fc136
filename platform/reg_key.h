// A handle to an open registry key (the CRegKey of the system): open or create by path, read and
// write typed values, enumerate, delete, and watch for changes. A key may be used from any
// thread; opening or closing it while another thread uses it is the caller's affair. Result
// codes are those listed in registry.h; a type mismatch is
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event.h"
#include "platform/registry.h"

namespace velk {

class HiveFile;

// KEY_READ: writes through the key are refused. KEY_ALL_ACCESS: refused at open when the
// process may not write the hive.
enum class RegAccess { Read, All };

class RegKey {
public:
    RegKey() = default;
    ~RegKey();
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Paths are backslash-separated key names below the root or the parent ("" is the root or
    // the parent itself). A name is not empty and holds no control character; names compare
    // without regard to ASCII case and keep the spelling they were created with. A path that
    // breaks the rules or the limits of registry.h (name length, depth) is E_INVALIDARG.
    HRESULT Open(Hive hive, std::string_view path, RegAccess access = RegAccess::Read);
    HRESULT Open(const RegKey& parent, std::string_view path, RegAccess access = RegAccess::Read);
    // Opens the key with all access, creating it and any missing keys above it.
    HRESULT Create(Hive hive, std::string_view path);
    HRESULT Create(const RegKey& parent, std::string_view path);
    // Ends the key's change watches, too.
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    // Subkey and value names in their own spelling, ordered by folded name.
    HRESULT EnumKeys(std::vector<std::string>& names) const;
    HRESULT EnumValues(std::vector<RegValueInfo>& values) const;

    // Value names compare without regard to ASCII case; "" is the key's default value.
    HRESULT QueryValue(std::string_view name, DWORD& type, std::vector<std::uint8_t>& data) const;
    HRESULT QueryStringValue(std::string_view name, std::string& value) const;
    HRESULT QueryMultiStringValue(std::string_view name, std::vector<std::string>& value) const;
    HRESULT QueryDWORDValue(std::string_view name, DWORD& value) const;
    HRESULT QueryBinaryValue(std::string_view name, std::vector<std::uint8_t>& value) const;

    // data in the stored form of its type (registry.h); E_INVALIDARG otherwise, when the name
    // holds a zero byte, or for a name or data beyond the limits of registry.h (nothing is
    // written then).
    HRESULT SetValue(std::string_view name, DWORD type, std::span<const std::uint8_t> data);
    HRESULT SetStringValue(std::string_view name, std::string_view value);
    // E_INVALIDARG for an empty string or one with a zero byte: it could not be read back.
    HRESULT SetMultiStringValue(std::string_view name, std::span<const std::string> value);
    HRESULT SetDWORDValue(std::string_view name, DWORD value);
    HRESULT SetBinaryValue(std::string_view name, std::span<const std::uint8_t> value);
    HRESULT DeleteValue(std::string_view name);

    // Deletes the key at path below this one; E_ACCESSDENIED while it has subkeys.
    HRESULT DeleteSubKey(std::string_view path);
    // Deletes the key at path below this one with everything under it.
    HRESULT DeleteTree(std::string_view path);

    // When the key's values or its list of subkeys last changed.
    HRESULT GetLastWriteTime(std::chrono::system_clock::time_point& time) const;
    // Every change is durable once its call returns; kept for the callers that ask for it.
    HRESULT Flush();

    // Arms a one-shot watch: event is set once names or values of this key (with
    // watch_subtree, of any key below it) change after this call, by this process or another,
    // or when the key is deleted. The event must outlive the watch, which ends when it is set
    // or when the key is closed.
    HRESULT NotifyChange(Event& event, bool watch_subtree);

private:
    HRESULT OpenFrom(std::shared_ptr<HiveFile> file, std::int64_t from, std::string from_path,
                     std::string_view path, RegAccess access, bool create);
    HRESULT CheckWrite() const;
    // The value's bytes when it has the expected type; ERROR_INVALID_DATA otherwise.
    HRESULT QueryTypedValue(std::string_view name, DWORD expected_type,
                            std::vector<std::uint8_t>& data) const;

    std::shared_ptr<HiveFile> file_;
    std::int64_t id_ = 0;
    // The folded full path ("hklm\software\velk"), as the change log names keys.
    std::string path_;
    RegAccess access_ = RegAccess::Read;
    // Names this key's watches; watching_ once there may be some to cancel on Close.
    std::uint64_t watch_owner_ = 0;
    std::atomic<bool> watching_{false};
};

} // namespace velk
