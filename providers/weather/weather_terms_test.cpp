// The words and numbers of the weather screens, each against its table.
#include "providers/weather/weather_terms.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(WeatherTerms, CompassPointsTakeAnyDegreesModulo360)
{
    const std::pair<long, const char*> kCases[] = {
        {0, "N"},     {11, "N"},    {12, "NNE"},  {150, "SSE"}, {168, "SSE"}, {169, "S"},
        {200, "SSW"}, {230, "SW"},  {236, "SW"},  {237, "WSW"}, {348, "NNW"}, {349, "N"},
        {360, "N"},   {560, "SSW"}, {-10, "N"},   {-160, "SSW"}, {360000200, "SSW"},
    };
    for (const auto& [degrees, point] : kCases)
        EXPECT_EQ(CompassPoint(degrees), point) << degrees;
}

TEST(WeatherTerms, BeaufortForcesAndTheirNames)
{
    const std::pair<long, int> kCases[] = {
        {-5, 0}, {0, 0}, {1, 1}, {4, 1}, {5, 2}, {10, 2}, {11, 3}, {87, 9},
        {88, 10}, {101, 10}, {102, 11}, {100000, 11},
    };
    for (const auto& [speed, force] : kCases)
        EXPECT_EQ(BeaufortForce(speed), force) << speed;
    EXPECT_EQ(BeaufortName(0), "Calm");
    EXPECT_EQ(BeaufortName(2), "Light Breeze");
    EXPECT_EQ(BeaufortName(11), "Storm");
}

TEST(WeatherTerms, VisibilityWordsOfTheUkModes)
{
    const std::pair<double, const char*> kCases[] = {
        {0, "Fog"}, {100, "Fog"}, {101, "Poor"}, {320, "Poor"}, {321, "Moderate"},
        {800, "Moderate"}, {801, "Good"}, {1609, "Good"},
    };
    for (const auto& [hundredths, word] : kCases)
        EXPECT_EQ(VisibilityWord(hundredths), word) << hundredths;
}

TEST(WeatherTerms, ItemsAreWeighedAgainstTheModelsRoom)
{
    // Pressure and wind speed take two lines each; the temperature is drawn large, apart.
    EXPECT_EQ(WeightedItemCount(kItemPressure | kItemWindSpeed | kItemHumidity), 5);
    EXPECT_EQ(WeightedItemCount(kItemPressure | kItemWindSpeed | kItemTemperature), 4);
    EXPECT_EQ(WeightedItemCount(0xFF), 9);
    const std::pair<const char*, int> kRoom[] = {
        {"KD-20", 4}, {"kd-21", 4}, {"KD-30", 4}, {"KD-40", 8}, {"KD-10", 0}, {"", 8}, {"X", 8},
    };
    for (const auto& [model, room] : kRoom)
        EXPECT_EQ(MaxWeightedItems(model), room) << model;
}

} // namespace
} // namespace velk
