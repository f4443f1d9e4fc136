#include "platform/stream_fields.h"

#include <algorithm>
#include <limits>

namespace velk {

namespace {

// Bytes read per step of a run.
constexpr ULONG kReadChunkBytes = 4096;

// S_FALSE when the stream ends where the value would start, E_INVALIDARG inside it.
template <typename T> HRESULT ReadLittleEndian(IStream& stream, T& value)
{
    std::uint8_t bytes[sizeof(T)];
    ULONG read = 0;
    HRESULT hr = stream.Read(bytes, sizeof bytes, read);
    if (FAILED(hr))
        return hr;
    if (read == 0)
        return S_FALSE;
    if (read != sizeof bytes)
        return E_INVALIDARG;
    T bits = 0;
    for (std::size_t i = sizeof bytes; i-- > 0;)
        bits = static_cast<T>(bits << 8 | bytes[i]);
    value = bits;
    return S_OK;
}

template <typename T> HRESULT WriteLittleEndian(IStream& stream, T value)
{
    std::uint8_t bytes[sizeof(T)];
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(value);
        value = static_cast<T>(value >> 8);
    }
    return WriteBytes(stream, std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

} // namespace

HRESULT ReadInt32(IStream& stream, std::int32_t& value)
{
    std::uint32_t bits = 0;
    HRESULT hr = ReadLittleEndian(stream, bits);
    if (hr == S_OK)
        value = static_cast<std::int32_t>(bits);
    return hr;
}

HRESULT ReadUInt16(IStream& stream, std::uint16_t& value)
{
    return ReadLittleEndian(stream, value);
}

HRESULT WriteUInt16(IStream& stream, std::uint16_t value)
{
    return WriteLittleEndian(stream, value);
}

HRESULT WriteInt32(IStream& stream, std::int32_t value)
{
    return WriteLittleEndian(stream, static_cast<std::uint32_t>(value));
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
