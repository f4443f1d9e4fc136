#include "platform/stream_fields.h"

#include <algorithm>
#include <limits>

namespace velk {

namespace {

// Bytes read per step of a run.
constexpr ULONG kReadChunkBytes = 4096;

} // namespace

HRESULT ReadInt32(IStream& stream, std::int32_t& value)
{
    std::uint8_t bytes[4];
    ULONG read = 0;
    HRESULT hr = stream.Read(bytes, sizeof bytes, read);
    if (FAILED(hr))
        return hr;
    if (read == 0)
        return S_FALSE;
    if (read != sizeof bytes)
        return E_INVALIDARG;
    value = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24);
    return S_OK;
}

HRESULT ReadUInt16(IStream& stream, std::uint16_t& value)
{
    std::uint8_t bytes[2];
    ULONG read = 0;
    HRESULT hr = stream.Read(bytes, sizeof bytes, read);
    if (FAILED(hr))
        return hr;
    if (read == 0)
        return S_FALSE;
    if (read != sizeof bytes)
        return E_INVALIDARG;
    value = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
    return S_OK;
}

HRESULT WriteUInt16(IStream& stream, std::uint16_t value)
{
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
    return WriteBytes(stream, std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

HRESULT WriteInt32(IStream& stream, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
        static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
    return WriteBytes(stream, std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

HRESULT ReadBytes(IStream& stream, std::size_t count, std::string& bytes)
{
    std::string run;
    while (run.size() < count) {
        char chunk[kReadChunkBytes];
        const auto wanted = static_cast<ULONG>(std::min<std::size_t>(sizeof chunk, count - run.size()));
        ULONG read = 0;
        HRESULT hr = stream.Read(chunk, wanted, read);
        if (FAILED(hr))
            return hr;
        if (read == 0)
            return E_INVALIDARG;
        run.append(chunk, read);
    }
    bytes = std::move(run);
    return S_OK;
}

HRESULT WriteBytes(IStream& stream, std::string_view bytes)
{
    if (bytes.size() > std::numeric_limits<ULONG>::max())
        return STG_E_MEDIUMFULL;
    ULONG written = 0;
    HRESULT hr = stream.Write(bytes.data(), static_cast<ULONG>(bytes.size()), written);
    if (SUCCEEDED(hr) && written != bytes.size())
        hr = STG_E_MEDIUMFULL;
    return hr;
}

HRESULT ReadCountedBytes(IStream& stream, std::string& bytes)
{
    std::int32_t count = 0;
    HRESULT hr = ReadInt32(stream, count);
    if (hr != S_OK)
        return hr;
    if (count < 0)
        return E_INVALIDARG;
    return ReadBytes(stream, static_cast<std::size_t>(count), bytes);
}

HRESULT WriteCountedBytes(IStream& stream, std::string_view bytes)
{
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return E_INVALIDARG;
    HRESULT hr = WriteInt32(stream, static_cast<std::int32_t>(bytes.size()));
    if (FAILED(hr) || bytes.empty())
        return hr;
    return WriteBytes(stream, bytes);
}

} // namespace velk
