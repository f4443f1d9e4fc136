#include "providers/time/time_device_state.h"

#include <algorithm>

#include "platform/encoding.h"
#include "platform/stream_fields.h"

namespace velk {

namespace {

// A picture field; at_end tells that the stream ends where the field would start.
HRESULT ReadField(IStream& stream, std::string& picture, bool& at_end)
{
    std::string bytes;
    HRESULT hr = ReadCountedBytes(stream, bytes);
    at_end = hr == S_FALSE;
    if (hr != S_OK)
        return SUCCEEDED(hr) ? S_OK : hr;
    // A writer that counted a terminator leaves it in the field.
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    picture = FromAnsi(bytes);
    return S_OK;
}

HRESULT WriteField(IStream& stream, const std::optional<std::string>& picture)
{
    return WriteCountedBytes(stream, picture ? ToAnsi(*picture) : std::string());
}

} // namespace

HRESULT ReadTimeFormats(IStream& stream, const TimeFormats& defaults, TimeFormats& formats)
{
    TimeFormats read_formats;
    bool at_end = false;
    HRESULT hr = ReadField(stream, read_formats.date_format, at_end);
    if (FAILED(hr))
        return hr;
    if (at_end)
        read_formats.date_format = defaults.date_format;
    hr = ReadField(stream, read_formats.time_format, at_end);
    if (FAILED(hr))
        return hr;
    if (at_end)
        read_formats.time_format = defaults.time_format;
    formats = std::move(read_formats);
    return S_OK;
}

HRESULT WriteTimeFormats(IStream& stream, const std::optional<std::string>& date_format,
                         const std::optional<std::string>& time_format)
{
    HRESULT hr = WriteField(stream, date_format);
    if (FAILED(hr))
        return hr;
    return WriteField(stream, time_format);
}

} // namespace velk
