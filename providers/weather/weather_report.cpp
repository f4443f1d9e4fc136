#include "providers/weather/weather_report.h"

#include <time.h>

#include <charconv>
#include <optional>

#include "platform/ascii.h"
#include "platform/encoding.h"
#include "providers/rss/feed_text.h"

namespace velk {

namespace {

std::string Trimmed(std::string_view text)
{
    return std::string(Utf8Prefix(DisplayLine(text), WeatherReport::kMaxTextChars));
}

std::string Text(IXMLDOMNode& from, const std::string& path)
{
    std::shared_ptr<IXMLDOMNode> node;
    std::string text;
    if (from.selectSingleNode(path, node) == S_OK && node && SUCCEEDED(node->get_text(text)))
        return Trimmed(text);
    return {};
}

long Integer(IXMLDOMNode& from, const std::string& path)
{
    const std::string text = Text(from, path);
    long value = 0;
    const char* begin = text.data();
    if (!text.empty() && text[0] == '+')
        ++begin;
    std::from_chars(begin, text.data() + text.size(), value);
    return value;
}

double Decimal(IXMLDOMNode& from, const std::string& path)
{
    const std::string text = Text(from, path);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

std::string LocalTimeOfDay(std::string_view twelve_hour)
{
    int hour = 0;
    int minute = 0;
    const char* p = twelve_hour.data();
    const char* end = p + twelve_hour.size();
    auto [after_hour, hour_error] = std::from_chars(p, end, hour);
    if (hour_error != std::errc() || after_hour == end || *after_hour != ':')
        return {};
    auto [after_minute, minute_error] = std::from_chars(after_hour + 1, end, minute);
    if (minute_error != std::errc() || after_minute - after_hour != 3)
        return {};
    const std::string suffix = Trimmed(std::string_view(after_minute, end - after_minute));
    const bool pm = EqualsIgnoringCase(suffix, "pm");
    if ((!pm && !EqualsIgnoringCase(suffix, "am")) || hour < 1 || hour > 12 || minute > 59)
        return {};
    tm time{};
    time.tm_hour = hour % 12 + (pm ? 12 : 0);
    time.tm_min = minute;
    char text[64];
    const std::size_t length = strftime(text, sizeof text, "%X", &time);
    return std::string(text, length);
}

WeatherReport ReadWeatherReport(IXMLDOMNode& item)
{
    WeatherReport report;
    report.city = Text(item, "../yweather:location/@city");
    report.temperature = Integer(item, "yweather:condition/@temp");
    report.code = Integer(item, "yweather:condition/@code");
    report.condition = Text(item, "yweather:condition/@text");
    report.temperature_unit = Text(item, "../yweather:units/@temperature");
    report.distance_unit = Text(item, "../yweather:units/@distance");
    report.pressure_unit = Text(item, "../yweather:units/@pressure");
    report.speed_unit = Text(item, "../yweather:units/@speed");
    report.chill = Integer(item, "../yweather:wind/@chill");
    report.direction = Integer(item, "../yweather:wind/@direction");
    report.speed = Integer(item, "../yweather:wind/@speed");
    report.humidity = Integer(item, "../yweather:atmosphere/@humidity");
    report.visibility = Decimal(item, "../yweather:atmosphere/@visibility");
    report.pressure = Decimal(item, "../yweather:atmosphere/@pressure");
    report.rising = Integer(item, "../yweather:atmosphere/@rising");
    report.sunrise = LocalTimeOfDay(Text(item, "../yweather:astronomy/@sunrise"));
    report.sunset = LocalTimeOfDay(Text(item, "../yweather:astronomy/@sunset"));
    for (std::size_t i = 1; i <= WeatherReport::kMaxForecasts; ++i) {
        const std::string forecast = "yweather:forecast[" + std::to_string(i) + "]";
        std::shared_ptr<IXMLDOMNode> node;
        if (item.selectSingleNode(forecast, node) != S_OK || !node)
            break;
        report.forecasts.push_back({Text(*node, "@day"), Integer(*node, "@low"),
                                    Integer(*node, "@high"), Integer(*node, "@code"),
                                    Text(*node, "@text")});
    }
    return report;
}

} // namespace velk
