// Every condition code of the table has a picture at both sizes; codes outside it have none.
#include "providers/weather/weather_icons.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velk {
namespace {

bool AnyLit(const Bitmap& picture)
{
    const auto pixels = picture.pixels();
    return std::any_of(pixels.begin(), pixels.end(),
                       [](std::uint32_t argb) { return argb == 0xFF000000; });
}

TEST(WeatherIcons, EveryCodeOfTheTableHasAPictureAtBothSizes)
{
    for (long code = 0; code < 48; ++code) {
        for (const int size : {32, 16}) {
            const Bitmap icon = WeatherIcon(code, size);
            EXPECT_EQ(icon.width(), size) << code;
            EXPECT_EQ(icon.height(), size) << code;
            EXPECT_TRUE(AnyLit(icon)) << code << " at " << size;
        }
    }
    // Codes of one group share their picture; different groups differ.
    EXPECT_EQ(WeatherIcon(3, 32), WeatherIcon(4, 32));
    EXPECT_NE(WeatherIcon(32, 32), WeatherIcon(31, 32));
}

TEST(WeatherIcons, CodesOutsideTheTableDrawNothing)
{
    for (const long code : {-1L, 48L, 3200L, 1L << 40})
        EXPECT_TRUE(WeatherIcon(code, 32).empty()) << code;
    EXPECT_TRUE(WeatherIcon(0, 24).empty());
}

} // namespace
} // namespace velk
