#include "providers/time/time_device_state.h"

#include <cstdint>
#include <vector>

#include "platform/encoding.h"

namespace velk {

namespace {

// Bytes read per step of a field, so that a count larger than the stream never costs more
// memory than the stream holds.
constexpr ULONG kReadChunkBytes = 4096;

enum class FieldRead { Value, End };

HRESULT ReadField(IStream& stream, std::string& picture, FieldRead& outcome)
{
    std::uint8_t count_bytes[4];
    ULONG read = 0;
    HRESULT hr = stream.Read(count_bytes, sizeof count_bytes, read);
    if (FAILED(hr))
        return hr;
    if (read == 0) {
        outcome = FieldRead::End;
        return S_OK;
    }
    if (read != sizeof count_bytes)
        return E_INVALIDARG;
    const auto count = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(count_bytes[0]) | static_cast<std::uint32_t>(count_bytes[1]) << 8 |
        static_cast<std::uint32_t>(count_bytes[2]) << 16 |
        static_cast<std::uint32_t>(count_bytes[3]) << 24);
    if (count < 0)
        return E_INVALIDARG;

    std::string bytes;
    while (bytes.size() < static_cast<std::size_t>(count)) {
        char chunk[kReadChunkBytes];
        const auto wanted =
            static_cast<ULONG>(std::min<std::size_t>(sizeof chunk, count - bytes.size()));
        hr = stream.Read(chunk, wanted, read);
        if (FAILED(hr))
            return hr;
        if (read == 0)
            return E_INVALIDARG;
        bytes.append(chunk, read);
    }
    // A writer that counted a terminator leaves it in the field.
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    picture = FromAnsi(bytes);
    outcome = FieldRead::Value;
    return S_OK;
}

HRESULT WriteField(IStream& stream, const std::optional<std::string>& picture)
{
    const std::string bytes = picture ? ToAnsi(*picture) : std::string();
    const auto count = static_cast<std::uint32_t>(bytes.size());
    const std::uint8_t count_bytes[4] = {
        static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
        static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
    ULONG written = 0;
    HRESULT hr = stream.Write(count_bytes, sizeof count_bytes, written);
    if (SUCCEEDED(hr) && written != sizeof count_bytes)
        hr = STG_E_MEDIUMFULL;
    if (FAILED(hr) || bytes.empty())
        return hr;
    hr = stream.Write(bytes.data(), count, written);
    if (SUCCEEDED(hr) && written != count)
        hr = STG_E_MEDIUMFULL;
    return hr;
}

} // namespace

HRESULT ReadTimeFormats(IStream& stream, const TimeFormats& defaults, TimeFormats& formats)
{
    TimeFormats read_formats;
    FieldRead outcome = FieldRead::End;
    HRESULT hr = ReadField(stream, read_formats.date_format, outcome);
    if (FAILED(hr))
        return hr;
    if (outcome == FieldRead::End)
        read_formats.date_format = defaults.date_format;
    hr = ReadField(stream, read_formats.time_format, outcome);
    if (FAILED(hr))
        return hr;
    if (outcome == FieldRead::End)
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
