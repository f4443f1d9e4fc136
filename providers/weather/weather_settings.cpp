#include "providers/weather/weather_settings.h"

#include <langinfo.h>

#include "platform/encoding.h"
#include "platform/hex.h"
#include "platform/reg_key.h"
#include "platform/stream_fields.h"

namespace velk {

namespace {

// A host name, nothing that could reach into the path or the query.
bool IsHostName(std::string_view host)
{
    if (host.empty() || host.size() > 253)
        return false;
    for (const char c : host) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':';
        if (!allowed)
            return false;
    }
    return true;
}

} // namespace

std::string PercentEncoded(std::string_view text)
{
    std::string encoded;
    for (const char c : text) {
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            encoded += c;
        } else {
            encoded += '%';
            AppendHexByte(encoded, static_cast<std::uint8_t>(c), HexCase::Upper);
        }
    }
    return encoded;
}

WeatherUnits DefaultWeatherUnits()
{
    // 1: metric, 2: US customary.
    const char* measurement = nl_langinfo(_NL_MEASUREMENT_MEASUREMENT);
    return measurement && measurement[0] == 2 ? WeatherUnits::Imperial : WeatherUnits::Metric;
}

HRESULT WriteWeatherSettings(IStream& stream, const WeatherSettings& settings)
{
    const std::string location = ToAnsi(settings.location);
    HRESULT hr = WriteCountedBytes(stream, std::string(location.c_str(), location.size() + 1));
    if (SUCCEEDED(hr))
        hr = WriteInt32(stream, static_cast<std::int32_t>(settings.units));
    if (SUCCEEDED(hr))
        hr = WriteInt32(stream, static_cast<std::int32_t>(settings.items));
    if (SUCCEEDED(hr))
        hr = stream.Commit();
    return hr;
}

HRESULT ReadWeatherSettings(IStream& stream, WeatherSettings& settings)
{
    std::string location;
    std::int32_t units = 0;
    std::int32_t items = 0;
    if (ReadCountedBytes(stream, location) != S_OK ||
        location.size() > WeatherSettings::kMaxLocationBytes + 1 ||
        ReadInt32(stream, units) != S_OK || ReadInt32(stream, items) != S_OK ||
        units < 0 || units >= kWeatherUnitsCount)
        return E_INVALIDARG;
    location.resize(std::min(location.size(), location.find('\0')));
    settings.location = FromAnsi(location);
    settings.units = static_cast<WeatherUnits>(units);
    settings.items = static_cast<std::uint32_t>(items);
    return S_OK;
}

std::string WeatherFeedHost()
{
    RegKey key;
    std::string host;
    if (SUCCEEDED(key.Open(Hive::LocalMachine, kWeatherSettingsKey)) &&
        SUCCEEDED(key.QueryStringValue(kFeedHostValue, host)) && IsHostName(host))
        return host;
    return kDefaultFeedHost;
}

std::string WeatherFeedUrl(const std::string& host, const WeatherSettings& settings)
{
    return "http://" + host + "/forecastrss?p=" + PercentEncoded(settings.location) +
           "&u=" + (settings.units == WeatherUnits::Imperial ? "f" : "c");
}

} // namespace velk
