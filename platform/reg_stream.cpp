#include "platform/reg_stream.h"

#include <new>

#include "platform/event_log.h"

namespace velk {

HRESULT OpenRegStream(Hive hive, std::string_view key_path, std::string_view value, StreamMode mode,
                      std::shared_ptr<IStream>& out)
{
    out.reset();
    RegKey key;
    HRESULT hr = mode == StreamMode::Read ? key.Open(hive, key_path, RegAccess::Read)
                                          : key.Create(hive, key_path);
    if (FAILED(hr))
        return hr;
    std::vector<std::uint8_t> content;
    if (mode != StreamMode::Write) {
        hr = key.QueryBinaryValue(value, content);
        const bool start_empty =
            mode == StreamMode::ReadWrite && hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        if (FAILED(hr) && !start_empty)
            return hr;
    }
    try {
        std::string display_name(HiveName(hive));
        if (!key_path.empty())
            display_name.append("\\").append(key_path);
        display_name.append("\\").append(value);
        out = std::make_shared<RegStream>(std::move(key), std::move(display_name),
                                          std::string(value), mode, std::move(content));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

RegStream::RegStream(RegKey key, std::string display_name, std::string value, StreamMode mode,
                     std::vector<std::uint8_t> content)
    : key_(std::move(key)), display_name_(std::move(display_name)), value_(std::move(value)),
      mode_(mode), buffer_(std::move(content)), dirty_(mode == StreamMode::Write)
{
}

RegStream::~RegStream()
{
    if (!dirty_)
        return;
    const HRESULT hr = Commit();
    if (SUCCEEDED(hr))
        return;
    // A destructor has no caller to tell: the log is all there is.
    try {
        EventLog::ReportText(EventLogType::Error,
                             "The registry stream " + display_name_ +
                                 " could not be written: " + HResultMessage(hr));
    } catch (const std::bad_alloc&) {
    }
}

HRESULT RegStream::Read(void* buffer, ULONG size, ULONG& read)
{
    read = 0;
    if (mode_ == StreamMode::Write)
        return STG_E_ACCESSDENIED;
    return buffer_.Read(buffer, size, read);
}

HRESULT RegStream::Write(const void* buffer, ULONG size, ULONG& written)
{
    written = 0;
    if (mode_ == StreamMode::Read)
        return STG_E_ACCESSDENIED;
    const HRESULT hr = buffer_.Write(buffer, size, written);
    if (SUCCEEDED(hr))
        dirty_ = true;
    return hr;
}

HRESULT RegStream::Seek(std::int64_t move, StreamSeek origin, std::uint64_t& new_position)
{
    return buffer_.Seek(move, origin, new_position);
}

HRESULT RegStream::SetSize(std::uint64_t size)
{
    if (mode_ == StreamMode::Read)
        return STG_E_ACCESSDENIED;
    const HRESULT hr = buffer_.SetSize(size);
    if (SUCCEEDED(hr))
        dirty_ = true;
    return hr;
}

HRESULT RegStream::GetSize(std::uint64_t& size)
{
    return buffer_.GetSize(size);
}

HRESULT RegStream::Commit()
{
    if (mode_ == StreamMode::Read)
        return S_OK;
    const HRESULT hr = key_.SetBinaryValue(value_, buffer_.bytes());
    if (SUCCEEDED(hr))
        dirty_ = false;
    return hr;
}

} // namespace velk
