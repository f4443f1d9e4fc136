// The two weather screens as drawings on a player's display: the current conditions (the
// place, the chosen data items in columns, the temperature large, the condition's icon) and the
// two-day forecast. Pure functions of the report, the settings and the display's geometry;
// the renderer sends the drawings to the player. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"
#include "providers/weather/weather_report.h"
#include "providers/weather/weather_terms.h"

namespace velk {

struct WeatherGeometry {
    int width = 0;
    int height = 0;
    int icon_size = 16; // 32 on a "Large VFD"
};

WeatherGeometry GeometryOf(int width, int height, std::string_view device_type);

struct WeatherDrawing {
    enum class Kind { Text, Icon };
    Kind kind = Kind::Text;
    int x = 0;
    int y = 0;
    int font = 1;     // Text
    std::string text; // Text, UTF-8
    long code = 0;    // Icon: the condition code

    bool operator==(const WeatherDrawing&) const = default;
};

std::vector<WeatherDrawing> ConditionsScreen(const WeatherReport& report, WeatherUnits units,
                                             std::uint32_t items, const WeatherGeometry& geometry);
// E_INVALIDARG with fewer than two forecasts.
HRESULT ForecastScreen(const WeatherReport& report, const WeatherGeometry& geometry,
                       std::vector<WeatherDrawing>& drawings);

} // namespace velk
