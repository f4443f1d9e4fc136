// What one item of a weather feed says: the place, the current conditions, the units they are
// given in, wind, atmosphere, sunrise and sunset, and the forecasts in document order. Read
// from the item's node through its feed's "yweather" namespace; what is missing stays 0 or
// empty, and every text is one display line of bounded length. The feed's thread.
#pragma once

#include <string>
#include <vector>

#include "platform/xml_dom_node.h"

namespace velk {

struct WeatherForecast {
    std::string day;
    long low = 0;
    long high = 0;
    long code = 0;
    std::string text;
};

struct WeatherReport {
    // Feeds carry two forecasts; more are not read.
    static constexpr std::size_t kMaxForecasts = 10;
    // Longer texts from the feed are cut: no display line has room for them.
    static constexpr std::size_t kMaxTextChars = 64;

    std::string city;
    long temperature = 0;
    long code = 0;
    std::string condition;
    std::string temperature_unit;
    std::string distance_unit;
    std::string pressure_unit;
    std::string speed_unit;
    long chill = 0;
    long direction = 0;
    long speed = 0;
    long humidity = 0;
    double visibility = 0; // hundredths of the distance unit
    double pressure = 0;
    long rising = 0; // 0 steady, 1 rising, 2 falling
    std::string sunrise; // as the locale writes a time; empty when the feed gives none
    std::string sunset;
    std::vector<WeatherForecast> forecasts;
};

WeatherReport ReadWeatherReport(IXMLDOMNode& item);

// "7:15 am" as the locale writes a time of day; empty for anything else.
std::string LocalTimeOfDay(std::string_view twelve_hour);

} // namespace velk
