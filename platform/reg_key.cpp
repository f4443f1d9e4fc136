#include "platform/reg_key.h"

#include <algorithm>
#include <atomic>

#include "platform/hive_file.h"
#include "platform/registry_watcher.h"

namespace velk {

namespace {

// Levels below its root of the key at a folded full path ("hklm\software" is one).
std::size_t DepthOf(std::string_view full_path)
{
    return static_cast<std::size_t>(std::count(full_path.begin(), full_path.end(), '\\'));
}

std::uint64_t NewWatchOwner()
{
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

} // namespace

RegKey::~RegKey()
{
    Close();
}

RegKey::RegKey(RegKey&& other) noexcept
{
    *this = std::move(other);
}

RegKey& RegKey::operator=(RegKey&& other) noexcept
{
    if (this != &other) {
        Close();
        file_ = std::move(other.file_);
        id_ = other.id_;
        path_ = std::move(other.path_);
        access_ = other.access_;
        watch_owner_ = other.watch_owner_;
        watching_ = other.watching_.exchange(false);
        other.Close();
    }
    return *this;
}

void RegKey::Close()
{
    if (watching_.exchange(false))
        Registry::Watcher().Cancel(watch_owner_);
    file_.reset();
    id_ = 0;
    path_.clear();
}

HRESULT RegKey::Open(Hive hive, std::string_view path, RegAccess access)
{
    std::shared_ptr<HiveFile> file;
    const HRESULT hr = Registry::OpenHive(hive, false, file);
    if (FAILED(hr)) {
        Close();
        return hr;
    }
    const auto root = HiveFile::RootId(hive);
    return OpenFrom(std::move(file), root, FoldCase(HiveName(hive)), path, access, false);
}

HRESULT RegKey::Open(const RegKey& parent, std::string_view path, RegAccess access)
{
    if (!parent.IsOpen())
        return E_HANDLE;
    return OpenFrom(parent.file_, parent.id_, parent.path_, path, access, false);
}

HRESULT RegKey::Create(Hive hive, std::string_view path)
{
    std::shared_ptr<HiveFile> file;
    const HRESULT hr = Registry::OpenHive(hive, true, file);
    if (FAILED(hr)) {
        Close();
        return hr;
    }
    const auto root = HiveFile::RootId(hive);
    return OpenFrom(std::move(file), root, FoldCase(HiveName(hive)), path, RegAccess::All, true);
}

HRESULT RegKey::Create(const RegKey& parent, std::string_view path)
{
    if (!parent.IsOpen())
        return E_HANDLE;
    return OpenFrom(parent.file_, parent.id_, parent.path_, path, RegAccess::All, true);
}

// Takes its inputs by value: the parent may be this key itself.
HRESULT RegKey::OpenFrom(std::shared_ptr<HiveFile> file, std::int64_t from, std::string from_path,
                         std::string_view path, RegAccess access, bool create)
{
    Close();
    std::vector<std::string_view> names;
    if (!SplitKeyPath(path, DepthOf(from_path), names).empty())
        return E_INVALIDARG;
    if (access == RegAccess::All && file->read_only())
        return E_ACCESSDENIED;
    std::int64_t id = 0;
    const HRESULT hr =
        create ? file->CreateKey(from, from_path, names, id) : file->FindKey(from, names, id);
    if (FAILED(hr))
        return hr;
    for (const auto name : names) {
        from_path += '\\';
        from_path += FoldCase(name);
    }
    file_ = std::move(file);
    id_ = id;
    path_ = std::move(from_path);
    access_ = access;
    watch_owner_ = NewWatchOwner();
    return S_OK;
}

HRESULT RegKey::CheckWrite() const
{
    if (!IsOpen())
        return E_HANDLE;
    return access_ == RegAccess::All ? S_OK : E_ACCESSDENIED;
}

HRESULT RegKey::EnumKeys(std::vector<std::string>& names) const
{
    if (!IsOpen())
        return E_HANDLE;
    return file_->EnumKeys(id_, names);
}

HRESULT RegKey::EnumValues(std::vector<RegValueInfo>& values) const
{
    if (!IsOpen())
        return E_HANDLE;
    return file_->EnumValues(id_, values);
}

HRESULT RegKey::QueryValue(std::string_view name, DWORD& type,
                           std::vector<std::uint8_t>& data) const
{
    if (!IsOpen())
        return E_HANDLE;
    return file_->QueryValue(id_, name, type, data);
}

HRESULT RegKey::QueryTypedValue(std::string_view name, DWORD expected_type,
                                std::vector<std::uint8_t>& data) const
{
    DWORD type = REG_NONE;
    const HRESULT hr = QueryValue(name, type, data);
    if (FAILED(hr))
        return hr;
    return type == expected_type ? S_OK : HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
}

HRESULT RegKey::QueryStringValue(std::string_view name, std::string& value) const
{
    std::vector<std::uint8_t> data;
    const HRESULT hr = QueryTypedValue(name, REG_SZ, data);
    if (FAILED(hr))
        return hr;
    value.assign(data.begin(), data.end());
    return S_OK;
}

HRESULT RegKey::QueryMultiStringValue(std::string_view name, std::vector<std::string>& value) const
{
    std::vector<std::uint8_t> data;
    const HRESULT hr = QueryTypedValue(name, REG_MULTI_SZ, data);
    if (FAILED(hr))
        return hr;
    auto strings = DecodeMultiString(data);
    if (!strings)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    value = std::move(*strings);
    return S_OK;
}

HRESULT RegKey::QueryDWORDValue(std::string_view name, DWORD& value) const
{
    std::vector<std::uint8_t> data;
    const HRESULT hr = QueryTypedValue(name, REG_DWORD, data);
    if (FAILED(hr))
        return hr;
    const auto number = DecodeDword(data);
    if (!number)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    value = *number;
    return S_OK;
}

HRESULT RegKey::QueryBinaryValue(std::string_view name, std::vector<std::uint8_t>& value) const
{
    std::vector<std::uint8_t> data;
    const HRESULT hr = QueryTypedValue(name, REG_BINARY, data);
    if (FAILED(hr))
        return hr;
    value = std::move(data);
    return S_OK;
}

HRESULT RegKey::SetValue(std::string_view name, DWORD type, std::span<const std::uint8_t> data)
{
    const HRESULT hr = CheckWrite();
    if (FAILED(hr))
        return hr;
    if (!ValueNameFault(name).empty() || !ValueDataFault(type, data).empty())
        return E_INVALIDARG;
    return file_->SetValue(id_, path_, name, type, data);
}

HRESULT RegKey::SetStringValue(std::string_view name, std::string_view value)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(value.data());
    return SetValue(name, REG_SZ, std::span(bytes, value.size()));
}

HRESULT RegKey::SetMultiStringValue(std::string_view name, std::span<const std::string> value)
{
    const auto data = EncodeMultiString(value);
    if (!data)
        return E_INVALIDARG;
    return SetValue(name, REG_MULTI_SZ, *data);
}

HRESULT RegKey::SetDWORDValue(std::string_view name, DWORD value)
{
    return SetValue(name, REG_DWORD, EncodeDword(value));
}

HRESULT RegKey::SetBinaryValue(std::string_view name, std::span<const std::uint8_t> value)
{
    return SetValue(name, REG_BINARY, value);
}

HRESULT RegKey::DeleteValue(std::string_view name)
{
    const HRESULT hr = CheckWrite();
    if (FAILED(hr))
        return hr;
    return file_->DeleteValue(id_, path_, name);
}

HRESULT RegKey::DeleteSubKey(std::string_view path)
{
    const HRESULT hr = CheckWrite();
    if (FAILED(hr))
        return hr;
    std::vector<std::string_view> names;
    if (!SplitKeyPath(path, DepthOf(path_), names).empty() || names.empty())
        return E_INVALIDARG;
    return file_->DeleteKey(id_, path_, names, false);
}

HRESULT RegKey::DeleteTree(std::string_view path)
{
    const HRESULT hr = CheckWrite();
    if (FAILED(hr))
        return hr;
    std::vector<std::string_view> names;
    if (!SplitKeyPath(path, DepthOf(path_), names).empty() || names.empty())
        return E_INVALIDARG;
    return file_->DeleteKey(id_, path_, names, true);
}

HRESULT RegKey::GetLastWriteTime(std::chrono::system_clock::time_point& time) const
{
    if (!IsOpen())
        return E_HANDLE;
    return file_->LastWriteTime(id_, time);
}

HRESULT RegKey::Flush()
{
    return IsOpen() ? S_OK : E_HANDLE;
}

HRESULT RegKey::NotifyChange(Event& event, bool watch_subtree)
{
    if (!IsOpen())
        return E_HANDLE;
    std::int64_t sequence = 0;
    HRESULT hr = file_->ChangeSequence(sequence);
    if (FAILED(hr))
        return hr;
    // Checked after taking the sequence: a deletion from now on is in the log after it.
    std::chrono::system_clock::time_point ignored;
    hr = file_->LastWriteTime(id_, ignored);
    if (FAILED(hr))
        return hr;
    watching_ = true;
    try {
        return Registry::Watcher().Add(file_, path_, watch_subtree, sequence, event, watch_owner_);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace velk
