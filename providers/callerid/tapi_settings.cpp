#include "providers/callerid/tapi_settings.h"

#include <limits>

#include "platform/encoding.h"
#include "platform/stream_fields.h"

namespace velk {

HRESULT ReadTapiSettings(IStream& stream, TapiSettings& settings)
{
    std::int32_t flags = 0;
    HRESULT hr = ReadInt32(stream, flags);
    if (FAILED(hr))
        return hr;
    TapiSettings read;
    read.flags = static_cast<std::uint32_t>(flags);
    if (read.flags & kLogToFile) {
        std::uint16_t length = 0;
        hr = ReadUInt16(stream, length);
        if (hr != S_OK)
            return E_INVALIDARG;
        std::string bytes;
        hr = ReadBytes(stream, length, bytes);
        if (FAILED(hr))
            return hr;
        read.log_path = FromAnsi(bytes);
    }
    settings = std::move(read);
    return S_OK;
}

HRESULT WriteTapiSettings(IStream& stream, const TapiSettings& settings)
{
    HRESULT hr = WriteInt32(stream, static_cast<std::int32_t>(settings.flags));
    if (FAILED(hr) || !(settings.flags & kLogToFile))
        return hr;
    const std::string bytes = ToAnsi(settings.log_path);
    if (bytes.size() > std::numeric_limits<std::uint16_t>::max())
        return E_INVALIDARG;
    hr = WriteUInt16(stream, static_cast<std::uint16_t>(bytes.size()));
    return FAILED(hr) ? hr : WriteBytes(stream, bytes);
}

} // namespace velk
