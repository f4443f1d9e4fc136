// The exact drawings of both weather screens on the two display sizes players have.
#include "providers/weather/weather_screens.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

WeatherDrawing Text(int x, int y, int font, std::string text)
{
    return {WeatherDrawing::Kind::Text, x, y, font, std::move(text), 0};
}

WeatherDrawing Icon(int x, long code)
{
    return {WeatherDrawing::Kind::Icon, x, 0, 0, {}, code};
}

WeatherReport Sunnyvale()
{
    WeatherReport r;
    r.city = "Sunnyvale";
    r.temperature = 18;
    r.code = 30;
    r.temperature_unit = "C";
    r.distance_unit = "km";
    r.pressure_unit = "mb";
    r.speed_unit = "km/h";
    r.chill = 18;
    r.direction = 200;
    r.speed = 5;
    r.humidity = 58;
    r.visibility = 1609;
    r.pressure = 1015.92;
    r.rising = 2;
    r.sunrise = "07:15:00";
    r.sunset = "16:52:00";
    r.forecasts = {{"Thu", 9, 17, 30, "Partly Cloudy"}, {"Fri", 7, 15, 11, "Showers"}};
    return r;
}

TEST(WeatherScreens, ConditionsOnALargeDisplayFillColumnsOfFourLines)
{
    const auto drawings = ConditionsScreen(Sunnyvale(), WeatherUnits::Metric, kDefaultWeatherItems,
                                           GeometryOf(512, 32, "Large VFD"));
    const std::vector<WeatherDrawing> expected = {
        Text(0, 0, 1, "Sunnyvale"),
        Text(0, 8, 1, "Pressure:  1016 mb"),
        Text(0, 16, 1, "           Falling"),
        Text(0, 24, 1, "Visibility: 16.09 km"),
        Text(128, 0, 1, "Humidity:        58%"),
        Text(128, 8, 1, "Wind Chill:    18 °C"),
        Text(128, 16, 1, "Wind Speed:    5 km/h"),
        Text(128, 24, 1, "Wind Direction: 200°"),
        Text(306, 0, 3, "18 °C"),
        Icon(480, 30),
    };
    EXPECT_EQ(drawings, expected);
}

TEST(WeatherScreens, ConditionsOnASmallDisplayInTheUkModes)
{
    const std::uint32_t kd20_items = kItemPressure | kItemTemperature | kItemWindSpeed;
    const auto geometry = GeometryOf(280, 16, "Small VFD");
    const auto text_mode = ConditionsScreen(Sunnyvale(), WeatherUnits::UkMetOfficeText,
                                            kd20_items | kItemVisibility, geometry);
    const std::vector<WeatherDrawing> expected = {
        Text(0, 0, 1, "Sunnyvale"),
        Text(0, 8, 1, "Pressure: 1015.92 mb"),
        Text(70, 0, 1, "           Falling"),
        Text(70, 8, 1, "Visibility:     Good"),
        Text(140, 0, 1, "Wind Speed:  Light Breeze"),
        Text(140, 8, 1, "Wind Direction:  SSW"),
        Text(190, 0, 2, "18 °C"),
        Icon(264, 30),
    };
    EXPECT_EQ(text_mode, expected);

    auto report = Sunnyvale();
    report.pressure = 0; // no pressure: neither of its lines
    report.visibility = 320;
    const auto force_mode = ConditionsScreen(report, WeatherUnits::UkMetOffice,
                                             kItemVisibility | kItemWindSpeed | kItemSunrise |
                                                 kItemSunset,
                                             geometry);
    const std::vector<WeatherDrawing> expected_force = {
        Text(0, 0, 1, "Sunnyvale"),
        Text(0, 8, 1, "Visibility:     Poor"),
        Text(70, 0, 1, "Wind Speed:      F 2"),
        Text(70, 8, 1, "Wind Direction:  SSW"),
        Text(140, 0, 1, "Sunrise:       07:15:00"),
        Text(140, 8, 1, "Sunset:        16:52:00"),
        Icon(264, 30),
    };
    EXPECT_EQ(force_mode, expected_force);
}

TEST(WeatherScreens, AnEightPixelDisplayStartsItsItemsBesideThePlace)
{
    const auto drawings = ConditionsScreen(Sunnyvale(), WeatherUnits::Imperial, kItemHumidity,
                                           GeometryOf(120, 8, "Tiny"));
    ASSERT_EQ(drawings.size(), 3u);
    EXPECT_EQ(drawings[1], Text(30, 0, 1, "Humidity:        58%"));
    EXPECT_EQ(drawings[2], Icon(104, 30));
}

TEST(WeatherScreens, TheForecastShowsTwoDaysAndNeedsBoth)
{
    std::vector<WeatherDrawing> drawings;
    ASSERT_EQ(ForecastScreen(Sunnyvale(), GeometryOf(512, 32, "Large VFD"), drawings), S_OK);
    const std::vector<WeatherDrawing> large = {
        Text(0, 0, 3, "Thu"),    Text(85, 0, 2, "Low:   9°C"),  Text(85, 16, 2, "High: 17°C"),
        Icon(224, 30),           Text(256, 0, 3, "Fri"),        Text(341, 0, 2, "Low:   7°C"),
        Text(341, 16, 2, "High: 15°C"), Icon(480, 11),
    };
    EXPECT_EQ(drawings, large);

    ASSERT_EQ(ForecastScreen(Sunnyvale(), GeometryOf(280, 16, "Small VFD"), drawings), S_OK);
    const std::vector<WeatherDrawing> small = {
        Text(0, 0, 2, "Thu"),   Text(46, 0, 1, "Low:   9°C"), Text(46, 8, 1, "High: 17°C"),
        Icon(124, 30),          Text(140, 0, 2, "Fri"),       Text(186, 0, 1, "Low:   7°C"),
        Text(186, 8, 1, "High: 15°C"), Icon(264, 11),
    };
    EXPECT_EQ(drawings, small);

    auto one_day = Sunnyvale();
    one_day.forecasts.resize(1);
    EXPECT_EQ(ForecastScreen(one_day, GeometryOf(280, 16, "Small VFD"), drawings), E_INVALIDARG);
}

} // namespace
} // namespace velk
