#include "providers/weather/weather_screens.h"

#include <cstdarg>
#include <cstdio>

namespace velk {

namespace {

constexpr int kLineHeight = 8;

// The screens' formats are fixed here; the feed's texts only ever fill their %s fields.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

int LargeFont(const WeatherGeometry& geometry)
{
    return geometry.height == 32 ? 3 : 2;
}

// Item lines fill a column from the second line down, then the next quarter of the display.
class ItemColumns {
public:
    explicit ItemColumns(const WeatherGeometry& geometry, std::vector<WeatherDrawing>& drawings)
        : geometry_(geometry), drawings_(drawings)
    {
        if (geometry.height <= kLineHeight) {
            x_ = geometry.width / 4;
            y_ = 0;
        }
    }

    void Add(std::string text)
    {
        drawings_.push_back({WeatherDrawing::Kind::Text, x_, y_, 1, std::move(text), 0});
        y_ += kLineHeight;
        if (y_ >= geometry_.height) {
            x_ += geometry_.width / 4;
            y_ = 0;
        }
    }

private:
    const WeatherGeometry& geometry_;
    std::vector<WeatherDrawing>& drawings_;
    int x_ = 0;
    int y_ = kLineHeight;
};

std::string_view TrendWord(long rising)
{
    switch (rising) {
    case 1:
        return "Rising";
    case 2:
        return "Falling";
    default:
        return "Steady";
    }
}

void AddPressure(const WeatherReport& r, WeatherUnits units, ItemColumns& lines)
{
    if (r.pressure == 0)
        return;
    if (units == WeatherUnits::Metric)
        lines.Add(Format("%-9s %5.0f %s", "Pressure:", r.pressure, r.pressure_unit.c_str()));
    else
        lines.Add(Format("%s %3.2f %s", "Pressure:", r.pressure, r.pressure_unit.c_str()));
    lines.Add(Format("%18s", std::string(TrendWord(r.rising)).c_str()));
}

void AddVisibility(const WeatherReport& r, WeatherUnits units, ItemColumns& lines)
{
    if (IsUkMode(units))
        lines.Add(Format("%-11s %8s", "Visibility:",
                         std::string(VisibilityWord(r.visibility)).c_str()));
    else
        lines.Add(Format("%-11s %3.2f %2s", "Visibility:", r.visibility / 100.0,
                         r.distance_unit.c_str()));
}

void AddWind(const WeatherReport& r, WeatherUnits units, ItemColumns& lines)
{
    if (units == WeatherUnits::UkMetOffice)
        lines.Add(Format("%-11s      F%2d", "Wind Speed:", BeaufortForce(r.speed)));
    else if (units == WeatherUnits::UkMetOfficeText)
        lines.Add(Format("%-11s  %s", "Wind Speed:",
                         std::string(BeaufortName(BeaufortForce(r.speed))).c_str()));
    else
        lines.Add(Format("%-11s  %3ld %s", "Wind Speed:", r.speed, r.speed_unit.c_str()));
    if (IsUkMode(units))
        lines.Add(Format("%-15s  %3s", "Wind Direction:",
                         std::string(CompassPoint(r.direction)).c_str()));
    else
        lines.Add(Format("%-15s %03ld°", "Wind Direction:", r.direction));
}

void AddIcon(std::vector<WeatherDrawing>& drawings, int x, long code)
{
    drawings.push_back({WeatherDrawing::Kind::Icon, x, 0, 0, {}, code});
}

} // namespace

WeatherGeometry GeometryOf(int width, int height, std::string_view device_type)
{
    return {width, height, device_type == "Large VFD" ? 32 : 16};
}

std::vector<WeatherDrawing> ConditionsScreen(const WeatherReport& r, WeatherUnits units,
                                             std::uint32_t items, const WeatherGeometry& geometry)
{
    std::vector<WeatherDrawing> drawings;
    drawings.push_back({WeatherDrawing::Kind::Text, 0, 0, 1, r.city, 0});
    ItemColumns lines(geometry, drawings);
    if (items & kItemPressure)
        AddPressure(r, units, lines);
    if (items & kItemVisibility)
        AddVisibility(r, units, lines);
    if (items & kItemHumidity)
        lines.Add(Format("%-9s       %3ld%%", "Humidity:", r.humidity));
    if (items & kItemWindChill)
        lines.Add(Format("%-10s    %2ld °%s", "Wind Chill:", r.chill, r.temperature_unit.c_str()));
    if (items & kItemWindSpeed)
        AddWind(r, units, lines);
    if (items & kItemSunrise)
        lines.Add(Format("%-8s       %s", "Sunrise:", r.sunrise.c_str()));
    if (items & kItemSunset)
        lines.Add(Format("%-7s        %s", "Sunset:", r.sunset.c_str()));
    if (items & kItemTemperature)
        drawings.push_back({WeatherDrawing::Kind::Text, geometry.width / 2 + 50, 0,
                            LargeFont(geometry),
                            Format("%2ld °%s", r.temperature, r.temperature_unit.c_str()), 0});
    AddIcon(drawings, geometry.width - geometry.icon_size, r.code);
    return drawings;
}

HRESULT ForecastScreen(const WeatherReport& r, const WeatherGeometry& geometry,
                       std::vector<WeatherDrawing>& drawings)
{
    if (r.forecasts.size() < 2)
        return E_INVALIDARG;
    const int w = geometry.width;
    const int h = geometry.height;
    const int small_font = h == 32 ? 2 : 1;
    const char* unit = r.temperature_unit.c_str();
    drawings.clear();
    struct Day {
        const WeatherForecast& forecast;
        int x;            // the day's name
        int temperatures; // low and high
        int icon;
    };
    const Day days[] = {{r.forecasts[0], 0, w / 6, w / 2 - geometry.icon_size},
                        {r.forecasts[1], w / 2, 2 * w / 3, w - geometry.icon_size}};
    for (const auto& day : days) {
        using Kind = WeatherDrawing::Kind;
        drawings.push_back({Kind::Text, day.x, 0, LargeFont(geometry), day.forecast.day, 0});
        drawings.push_back({Kind::Text, day.temperatures, 0, small_font,
                            Format("Low:  %2ld°%s", day.forecast.low, unit), 0});
        drawings.push_back({Kind::Text, day.temperatures, h / 2, small_font,
                            Format("High: %2ld°%s", day.forecast.high, unit), 0});
        AddIcon(drawings, day.icon, day.forecast.code);
    }
    return S_OK;
}

} // namespace velk
