// The words and numbers the weather screens are made of: the unit systems, the data items of
// the conditions screen with their weights against a player's room, Beaufort forces, compass
// points and the visibility words of the UK modes. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace velk {

enum class WeatherUnits : std::int32_t {
    Metric = 0,
    Imperial = 1,
    UkMetOffice = 2,
    UkMetOfficeText = 3,
};
inline constexpr int kWeatherUnitsCount = 4;

bool IsUkMode(WeatherUnits units);
// The name of a unit system as the settings page lists it.
std::string_view UnitsName(WeatherUnits units);

// The data items of the conditions screen, as bits.
enum WeatherItem : std::uint32_t {
    kItemPressure = 0x01,
    kItemTemperature = 0x02,
    kItemHumidity = 0x04,
    kItemVisibility = 0x08,
    kItemWindChill = 0x10,
    kItemWindSpeed = 0x20,
    kItemSunrise = 0x40,
    kItemSunset = 0x80,
};
inline constexpr std::uint32_t kDefaultWeatherItems = 63;

// The weighted count of the items (pressure and wind speed take two lines, temperature none).
int WeightedItemCount(std::uint32_t items);
// How many weighted items a model's display has room for (0: the model shows no weather).
int MaxWeightedItems(std::string_view model);

// Beaufort force 0-11 from a wind speed in km/h (the UK modes fetch metric data), and its name.
int BeaufortForce(long speed);
std::string_view BeaufortName(int force);

// One of the sixteen compass points; any whole number of degrees, taken modulo 360.
std::string_view CompassPoint(long degrees);

// The UK word for a visibility given in hundredths of the distance unit.
std::string_view VisibilityWord(double hundredths);

} // namespace velk
