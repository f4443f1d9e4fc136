// The live weather source: Open-Meteo's forecast service (free, without keys; data under CC BY
// 4.0, "Weather data by Open-Meteo.com"). Its JSON answer for a place becomes a weather feed
// document of the format the weather renderer draws, so that the same two screens show it. The
// service is asked again when its answer expires (Expires), within sane bounds. Any thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "providers/weather/weather_settings.h"

namespace velk {

// Where the live source is asked: HKLM "SOFTWARE\Velk\Weather" "ForecastURL" and "GeocodingURL"
// (http or https), so that a recorded answer served locally or a mirror can stand in.
inline constexpr const char* kForecastUrlValue = "ForecastURL";
inline constexpr const char* kDefaultForecastUrl = "https://api.open-meteo.com/v1/forecast";
inline constexpr const char* kGeocodingUrlValue = "GeocodingURL";
inline constexpr const char* kDefaultGeocodingUrl = "https://geocoding-api.open-meteo.com/v1/search";
std::string ForecastServiceUrl();
std::string GeocodingServiceUrl();

// Answers larger than this, or nested deeper than kMaxJsonDepth, are refused unread.
constexpr std::size_t kMaxJsonBytes = 1 << 20;
constexpr int kMaxJsonDepth = 16;
// The next question comes after the answer's Expires, but not before the first nor after the
// second of these.
constexpr std::chrono::minutes kMinRefresh{15};
constexpr std::chrono::minutes kMaxRefresh{180};
constexpr std::chrono::minutes kDefaultRefresh{30};

// A place for the live source, as its settings keep it in the location text:
// "Name (latitude, longitude)" or just "latitude, longitude".
struct WeatherPlace {
    std::string name; // empty when only the coordinates were given
    double latitude = 0;
    double longitude = 0;
};
std::optional<WeatherPlace> ParseWeatherPlace(std::string_view location);
std::string FormatWeatherPlace(const WeatherPlace& place);

// The forecast address for the place in the unit system; empty when the location names none.
std::string OpenMeteoUrl(const std::string& service, const WeatherSettings& settings);

// The weather feed document for an answer of the forecast service. E_INVALIDARG (with reason)
// for an answer that is no forecast, too large or too deep.
HRESULT TranslateOpenMeteo(std::string_view json, const WeatherSettings& settings,
                           std::string_view expires, std::chrono::system_clock::time_point now,
                           std::string& rss, std::string& reason);

// The first place the geocoding service finds for a name, from its answer; none otherwise.
std::optional<WeatherPlace> ReadGeocodingAnswer(std::string_view json);
// The geocoding address for a name.
std::string GeocodingUrl(const std::string& service, std::string_view name);

} // namespace velk
