// What the weather renderer keeps of a feed, as its stream holds it: the location (its byte
// count with the terminating zero, then the ANSI text and the zero), the unit system and the
// data items, each a 32-bit little-endian integer. Also where the feed is fetched from. Any
// thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/stream.h"
#include "providers/weather/weather_terms.h"

namespace velk {

struct WeatherSettings {
    // A location longer than this is no place name or code.
    static constexpr std::size_t kMaxLocationBytes = 256;

    std::string location; // UTF-8
    WeatherUnits units = WeatherUnits::Metric;
    std::uint32_t items = kDefaultWeatherItems;
};

// Imperial where the machine's locale measures in inches, else metric.
WeatherUnits DefaultWeatherUnits();

HRESULT WriteWeatherSettings(IStream& stream, const WeatherSettings& settings);
// Reads what WriteWeatherSettings wrote. E_INVALIDARG, settings untouched, for a stream cut
// short, a negative or oversized count, or a unit system outside the four.
HRESULT ReadWeatherSettings(IStream& stream, WeatherSettings& settings);

// The feed's server: HKLM "SOFTWARE\Velk\Weather" "FeedHost", so that a service speaking the
// same feed format can stand in for the original one.
inline constexpr const char* kWeatherSettingsKey = "SOFTWARE\\Velk\\Weather";
inline constexpr const char* kFeedHostValue = "FeedHost";
inline constexpr const char* kDefaultFeedHost = "xml.weather.yahoo.com";
std::string WeatherFeedHost();

// Text for a query parameter: everything but the unreserved characters percent-encoded.
std::string PercentEncoded(std::string_view text);

// The address of the feed for the location in the unit system.
std::string WeatherFeedUrl(const std::string& host, const WeatherSettings& settings);

} // namespace velk
