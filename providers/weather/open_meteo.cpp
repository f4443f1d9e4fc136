#include "providers/weather/open_meteo.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "platform/encoding.h"
#include "platform/reg_key.h"
#include "platform/url.h"
#include "providers/rss/feed_schedule.h"
#include "providers/weather/weather_renderer.h"

namespace velk {

namespace {

using nlohmann::json;

// Days between the automation date's epoch (30 December 1899) and 1970.
constexpr double kUnixEpochDays = 25569.0;
constexpr double kHectopascalsPerInch = 33.8639;
constexpr double kMetresPerMile = 1609.344;

struct Condition {
    int wmo;
    int code;       // the feed format's condition code (day)
    int night_code; // the same at night
    const char* text;
};

// The forecast service's weather codes (WMO 4677) as the feed format's condition codes, which
// pick the screens' pictures.
constexpr Condition kConditions[] = {
    {0, 32, 31, "Clear"},          {1, 34, 33, "Mainly Clear"},   {2, 30, 29, "Partly Cloudy"},
    {3, 26, 26, "Cloudy"},         {45, 20, 20, "Fog"},           {48, 20, 20, "Rime Fog"},
    {51, 9, 9, "Light Drizzle"},   {53, 9, 9, "Drizzle"},         {55, 9, 9, "Heavy Drizzle"},
    {56, 8, 8, "Freezing Drizzle"}, {57, 8, 8, "Freezing Drizzle"}, {61, 11, 11, "Light Rain"},
    {63, 12, 12, "Rain"},          {65, 12, 12, "Heavy Rain"},    {66, 10, 10, "Freezing Rain"},
    {67, 10, 10, "Freezing Rain"}, {71, 14, 14, "Light Snow"},    {73, 16, 16, "Snow"},
    {75, 41, 41, "Heavy Snow"},    {77, 13, 13, "Snow Grains"},   {80, 11, 11, "Showers"},
    {81, 11, 11, "Showers"},       {82, 40, 40, "Heavy Showers"}, {85, 14, 14, "Snow Showers"},
    {86, 46, 46, "Snow Showers"},  {95, 4, 4, "Thunderstorms"},   {96, 4, 4, "Thunderstorms"},
    {99, 4, 4, "Thunderstorms"},
};
constexpr int kNotAvailable = 3200;

const Condition* ConditionOf(int wmo)
{
    for (const auto& condition : kConditions) {
        if (condition.wmo == wmo)
            return &condition;
    }
    return nullptr;
}

// Deeper nesting than the service ever sends is refused before the parser's recursion sees it.
bool WithinDepth(std::string_view text)
{
    int depth = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

std::optional<json> Parse(std::string_view text)
{
    if (text.size() > kMaxJsonBytes || !WithinDepth(text))
        return std::nullopt;
    json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object())
        return std::nullopt;
    return document;
}

std::optional<double> Number(const json& object, const char* name)
{
    if (!object.is_object())
        return std::nullopt;
    auto found = object.find(name);
    if (found == object.end() || !found->is_number())
        return std::nullopt;
    return found->get<double>();
}

// The i-th element of an array member; none when it is not there or not of the type.
const json* Element(const json& object, const char* name, std::size_t i)
{
    if (!object.is_object())
        return nullptr;
    auto found = object.find(name);
    if (found == object.end() || !found->is_array() || i >= found->size())
        return nullptr;
    return &(*found)[i];
}

std::string XmlEscaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            // Control characters have no place in an attribute.
            out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return out;
}

std::string Rounded(double value)
{
    return std::to_string(static_cast<long>(std::lround(value)));
}

std::string OneDecimal(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// "2026-12-10T08:05" as "8:05 am"; empty for another shape.
std::string TwelveHour(const json* local_time)
{
    if (!local_time || !local_time->is_string())
        return {};
    const std::string text = local_time->get<std::string>();
    int hour = 0;
    int minute = 0;
    const std::size_t t = text.find('T');
    if (t == std::string::npos || std::sscanf(text.c_str() + t + 1, "%2d:%2d", &hour, &minute) != 2 ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return {};
    char out[16];
    std::snprintf(out, sizeof out, "%d:%02d %s", hour % 12 == 0 ? 12 : hour % 12, minute,
                  hour < 12 ? "am" : "pm");
    return out;
}

// "2026-12-10" as "Thu"; empty for another shape.
std::string DayName(const json* date)
{
    if (!date || !date->is_string())
        return {};
    tm day{};
    if (!strptime(date->get<std::string>().c_str(), "%Y-%m-%d", &day))
        return {};
    day.tm_hour = 12;
    if (timegm(&day) == -1)
        return {};
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return kDays[day.tm_wday % 7];
}

std::string Rfc822(std::chrono::system_clock::time_point time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

// Minutes until the answer expires, within the bounds.
long RefreshMinutes(std::string_view expires, std::chrono::system_clock::time_point now)
{
    auto refresh = kDefaultRefresh;
    if (const auto date = ParseFeedDate(expires)) {
        const double seconds = (date->value() - kUnixEpochDays) * 86400.0;
        const auto at = std::chrono::system_clock::time_point(
            std::chrono::seconds(static_cast<long long>(seconds)));
        refresh = std::chrono::duration_cast<std::chrono::minutes>(at - now);
    }
    return std::clamp(refresh, kMinRefresh, kMaxRefresh).count();
}

// A decimal number with blanks around it, and nothing else.
std::optional<double> Coordinate(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    const std::string number(text);
    char* end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    if (number.empty() || end != number.c_str() + number.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string SettingUrl(const char* value, const char* fallback)
{
    RegKey key;
    std::string text;
    if (SUCCEEDED(key.Open(Hive::LocalMachine, kWeatherSettingsKey)) &&
        SUCCEEDED(key.QueryStringValue(value, text))) {
        if (auto url = ParseUrl(text); url && (url->scheme == "http" || url->scheme == "https") &&
                                       url->canonical.find('?') == std::string::npos)
            return url->canonical;
    }
    return fallback;
}

} // namespace

std::string ForecastServiceUrl()
{
    return SettingUrl(kForecastUrlValue, kDefaultForecastUrl);
}

std::string GeocodingServiceUrl()
{
    return SettingUrl(kGeocodingUrlValue, kDefaultGeocodingUrl);
}

std::optional<WeatherPlace> ParseWeatherPlace(std::string_view location)
{
    std::string text(location);
    while (!text.empty() && (text.back() == ' ' || text.back() == ')'))
        text.pop_back();
    const std::size_t comma = text.rfind(',');
    if (comma == std::string::npos)
        return std::nullopt;
    std::size_t start = text.find_last_of("(", comma);
    start = start == std::string::npos ? 0 : start + 1;
    const auto latitude = Coordinate(std::string_view(text).substr(start, comma - start));
    const auto longitude = Coordinate(std::string_view(text).substr(comma + 1));
    if (!latitude || !longitude)
        return std::nullopt;
    WeatherPlace place;
    place.latitude = *latitude;
    place.longitude = *longitude;
    if (!(std::fabs(place.latitude) <= 90) || !(std::fabs(place.longitude) <= 180))
        return std::nullopt;
    if (start > 0) {
        place.name = text.substr(0, start - 1);
        while (!place.name.empty() && place.name.back() == ' ')
            place.name.pop_back();
    }
    return place;
}

std::string FormatWeatherPlace(const WeatherPlace& place)
{
    char coordinates[64];
    std::snprintf(coordinates, sizeof coordinates, "%.4f, %.4f", place.latitude, place.longitude);
    return place.name.empty() ? coordinates : place.name + " (" + coordinates + ")";
}

std::string OpenMeteoUrl(const std::string& service, const WeatherSettings& settings)
{
    const auto place = ParseWeatherPlace(settings.location);
    if (!place)
        return {};
    char coordinates[80];
    std::snprintf(coordinates, sizeof coordinates, "?latitude=%.4f&longitude=%.4f", place->latitude,
                  place->longitude);
    std::string url = service + coordinates +
                      "&current=temperature_2m,relative_humidity_2m,apparent_temperature,is_day,"
                      "weather_code,pressure_msl,wind_speed_10m,wind_direction_10m,visibility"
                      "&daily=weather_code,temperature_2m_max,temperature_2m_min,sunrise,sunset"
                      "&timezone=auto&forecast_days=2";
    if (settings.units == WeatherUnits::Imperial)
        url += "&temperature_unit=fahrenheit&wind_speed_unit=mph";
    return url;
}

HRESULT TranslateOpenMeteo(std::string_view text, const WeatherSettings& settings,
                           std::string_view expires, std::chrono::system_clock::time_point now,
                           std::string& rss, std::string& reason)
{
    const auto document = Parse(text);
    if (!document || !document->contains("current") || !(*document)["current"].is_object()) {
        reason = "an answer that is no weather forecast";
        return E_INVALIDARG;
    }
    const json& current = (*document)["current"];
    const json daily = document->contains("daily") ? (*document)["daily"] : json::object();
    const bool imperial = settings.units == WeatherUnits::Imperial;
    const auto place = ParseWeatherPlace(settings.location);
    const std::string city = place ? (place->name.empty() ? FormatWeatherPlace(*place) : place->name)
                                   : std::string();

    const auto wmo = Number(current, "weather_code");
    const Condition* condition = wmo ? ConditionOf(static_cast<int>(*wmo)) : nullptr;
    const bool day = Number(current, "is_day").value_or(1) != 0;
    const int code = condition ? (day ? condition->code : condition->night_code) : kNotAvailable;

    std::string out = std::string("<rss version=\"2.0\" xmlns:yweather=\"") + kYWeatherNamespace +
                      "\"><channel><title>" + XmlEscaped(city) + "</title>";
    out += "<lastBuildDate>" + Rfc822(now) + "</lastBuildDate>";
    out += "<ttl>" + std::to_string(RefreshMinutes(expires, now)) + "</ttl>";
    out += "<yweather:location city=\"" + XmlEscaped(city) + "\"/>";
    out += std::string("<yweather:units temperature=\"") + (imperial ? "F" : "C") + "\" distance=\"" +
           (imperial ? "mi" : "km") + "\" pressure=\"" + (imperial ? "in" : "mb") + "\" speed=\"" +
           (imperial ? "mph" : "km/h") + "\"/>";
    const auto temperature = Number(current, "temperature_2m");
    out += "<yweather:wind chill=\"" +
           Rounded(Number(current, "apparent_temperature").value_or(temperature.value_or(0))) +
           "\" direction=\"" + Rounded(Number(current, "wind_direction_10m").value_or(0)) +
           "\" speed=\"" + Rounded(Number(current, "wind_speed_10m").value_or(0)) + "\"/>";
    const double pressure = Number(current, "pressure_msl").value_or(0);
    const double visibility = Number(current, "visibility").value_or(0);
    out += "<yweather:atmosphere humidity=\"" + Rounded(Number(current, "relative_humidity_2m").value_or(0)) +
           // In hundredths of the distance unit, as the screens read it.
           "\" visibility=\"" + Rounded(visibility / (imperial ? kMetresPerMile : 1000.0) * 100) +
           "\" pressure=\"" + OneDecimal(imperial ? pressure / kHectopascalsPerInch : pressure) +
           "\" rising=\"0\"/>";
    out += "<yweather:astronomy sunrise=\"" + TwelveHour(Element(daily, "sunrise", 0)) +
           "\" sunset=\"" + TwelveHour(Element(daily, "sunset", 0)) + "\"/>";
    out += "<item><title>" + XmlEscaped(city) + "</title>";
    out += "<yweather:condition text=\"" + std::string(condition ? condition->text : "Not Available") +
           "\" code=\"" + std::to_string(code) + "\" temp=\"" + Rounded(temperature.value_or(0)) + "\"/>";
    for (std::size_t i = 0; i < 2; ++i) {
        const json* date = Element(daily, "time", i);
        const json* high = Element(daily, "temperature_2m_max", i);
        const json* low = Element(daily, "temperature_2m_min", i);
        const json* daily_code = Element(daily, "weather_code", i);
        if (!date || !high || !low || !daily_code || !high->is_number() || !low->is_number() ||
            !daily_code->is_number())
            break;
        const Condition* forecast = ConditionOf(daily_code->get<int>());
        out += "<yweather:forecast day=\"" + DayName(date) + "\" low=\"" + Rounded(low->get<double>()) +
               "\" high=\"" + Rounded(high->get<double>()) + "\" text=\"" +
               (forecast ? forecast->text : "Not Available") + "\" code=\"" +
               std::to_string(forecast ? forecast->code : kNotAvailable) + "\"/>";
    }
    out += "</item></channel></rss>";
    rss = std::move(out);
    return S_OK;
}

std::optional<WeatherPlace> ReadGeocodingAnswer(std::string_view text)
{
    const auto document = Parse(text);
    if (!document)
        return std::nullopt;
    const json* first = Element(*document, "results", 0);
    if (!first || !first->is_object())
        return std::nullopt;
    const auto latitude = Number(*first, "latitude");
    const auto longitude = Number(*first, "longitude");
    if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180)
        return std::nullopt;
    WeatherPlace place{"", *latitude, *longitude};
    if (auto name = first->find("name"); name != first->end() && name->is_string())
        place.name = std::string(Utf8Prefix(name->get<std::string>(), 64));
    if (auto country = first->find("country"); country != first->end() && country->is_string())
        place.name += ", " + std::string(Utf8Prefix(country->get<std::string>(), 64));
    // A name that holds the characters the location text is read by would not read back.
    for (char& c : place.name) {
        if (c == '(' || c == ')' || static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return place;
}

std::string GeocodingUrl(const std::string& service, std::string_view name)
{
    return service + "?name=" + PercentEncoded(name) + "&count=1&format=json";
}

} // namespace velk
