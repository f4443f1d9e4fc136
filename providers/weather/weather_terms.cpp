#include "providers/weather/weather_terms.h"

#include <array>

#include "platform/ascii.h"

namespace velk {

bool IsUkMode(WeatherUnits units)
{
    return units == WeatherUnits::UkMetOffice || units == WeatherUnits::UkMetOfficeText;
}

std::string_view UnitsName(WeatherUnits units)
{
    static constexpr std::array<std::string_view, kWeatherUnitsCount> kNames = {
        "Metric", "Imperial", "UK Met Office", "UK Met Office (Text)"};
    const auto index = static_cast<std::size_t>(units);
    return index < kNames.size() ? kNames[index] : std::string_view();
}

int WeightedItemCount(std::uint32_t items)
{
    struct Weight {
        std::uint32_t item;
        int weight;
    };
    static constexpr Weight kWeights[] = {
        {kItemPressure, 2}, {kItemTemperature, 0}, {kItemHumidity, 1}, {kItemVisibility, 1},
        {kItemWindChill, 1}, {kItemWindSpeed, 2}, {kItemSunrise, 1},    {kItemSunset, 1},
    };
    int count = 0;
    for (const auto& [item, weight] : kWeights) {
        if (items & item)
            count += weight;
    }
    return count;
}

int MaxWeightedItems(std::string_view model)
{
    if (EqualsIgnoringCase(model, "KD-20") || EqualsIgnoringCase(model, "KD-21") ||
        EqualsIgnoringCase(model, "KD-30"))
        return 4;
    if (EqualsIgnoringCase(model, "KD-10"))
        return 0;
    return 8;
}

int BeaufortForce(long speed)
{
    // The upper bound (exclusive) of each force below 10; force 10 reaches 101 inclusive.
    static constexpr long kBelow[] = {1, 5, 11, 19, 28, 38, 49, 61, 74, 88};
    int force = 0;
    for (const long bound : kBelow) {
        if (speed < bound)
            return force;
        ++force;
    }
    return speed <= 101 ? 10 : 11;
}

std::string_view BeaufortName(int force)
{
    static constexpr std::string_view kNames[] = {
        "Calm",          "Light Air",     "Light Breeze", "Gentle Breeze",
        "Moderate Breeze", "Fresh Breeze", "Strong Breeze", "Moderate Gale",
        "Fresh Gale",    "Strong Gale",   "Whole Gale",   "Storm"};
    if (force < 0)
        force = 0;
    if (force > 11)
        force = 11;
    return kNames[force];
}

std::string_view CompassPoint(long degrees)
{
    struct Sector {
        long last; // inclusive
        std::string_view name;
    };
    static constexpr Sector kSectors[] = {
        {11, "N"},    {33, "NNE"},  {56, "NE"},   {78, "ENE"}, {101, "E"},  {123, "ESE"},
        {146, "SE"},  {168, "SSE"}, {191, "S"},   {213, "SSW"}, {236, "SW"}, {258, "WSW"},
        {281, "W"},   {303, "WNW"}, {326, "NW"},  {348, "NNW"}, {359, "N"},
    };
    long d = degrees % 360;
    if (d < 0)
        d += 360;
    for (const auto& [last, name] : kSectors) {
        if (d <= last)
            return name;
    }
    return "N";
}

std::string_view VisibilityWord(double hundredths)
{
    const double visibility = hundredths / 100.0;
    if (visibility <= 1.0)
        return "Fog";
    if (visibility <= 3.2)
        return "Poor";
    if (visibility <= 8.0)
        return "Moderate";
    return "Good";
}

} // namespace velk
