#include "platform/date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velk {
namespace {

struct Case {
    double value;
    CalendarTime time;
};

// Values as automation dates have them, including the days before the epoch whose fraction
// still counts forward from midnight.
const Case kKnownDates[] = {
    {0.0, {1899, 12, 30, 0, 0, 0, 0, 6}},
    {1.5, {1899, 12, 31, 12, 0, 0, 0, 0}},
    {-1.25, {1899, 12, 29, 6, 0, 0, 0, 5}},
    {2.0, {1900, 1, 1, 0, 0, 0, 0, 1}},
    {36526.0, {2000, 1, 1, 0, 0, 0, 0, 6}},
    {45658.75, {2025, 1, 1, 18, 0, 0, 0, 3}},
    {Date::kMin, {100, 1, 1, 0, 0, 0, 0, 5}},
    {2958465.0, {9999, 12, 31, 0, 0, 0, 0, 5}},
};

TEST(Date, ConvertsKnownDatesBothWays)
{
    for (const auto& c : kKnownDates) {
        SCOPED_TRACE(c.value);
        auto time = Date(c.value).ToCalendar();
        ASSERT_TRUE(time);
        EXPECT_EQ(*time, c.time);
        auto date = Date::FromCalendar(c.time);
        ASSERT_TRUE(date);
        EXPECT_DOUBLE_EQ(date->value(), c.value);
    }
}

TEST(Date, NegativeZeroDayReadsAsTheEpochDay)
{
    EXPECT_EQ(Date(-0.5).ToCalendar(), (CalendarTime{1899, 12, 30, 12, 0, 0, 0, 6}));
}

TEST(Date, RoundsToMillisecondsAndCarriesIntoNextDay)
{
    auto time = Date(0.99999999999).ToCalendar();
    ASSERT_TRUE(time);
    EXPECT_EQ(time->day, 31);
    EXPECT_EQ(time->hour, 0);

    CalendarTime t{2024, 2, 29, 23, 59, 59, 999};
    auto date = Date::FromCalendar(t);
    ASSERT_TRUE(date);
    EXPECT_EQ(date->ToCalendar(), (CalendarTime{2024, 2, 29, 23, 59, 59, 999, 4}));
}

TEST(Date, RejectsFieldsAndValuesOutOfRange)
{
    const CalendarTime bad[] = {{99, 12, 31}, {10000, 1, 1}, {2023, 2, 29}, {2024, 13, 1},
                                {2024, 4, 31}, {2024, 1, 1, 24}, {2024, 1, 1, 0, 60},
                                {2024, 1, 1, 0, 0, 60}, {2024, 1, 1, 0, 0, 0, 1000}, {2024, 0, 1}};
    for (const auto& t : bad) {
        SCOPED_TRACE(t.year * 10000 + t.month * 100 + t.day);
        EXPECT_FALSE(Date::FromCalendar(t));
    }
    const double values[] = {Date::kMin - 1, Date::kMax, 1e300, -1e300,
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()};
    for (double value : values) {
        SCOPED_TRACE(value);
        EXPECT_FALSE(Date(value).ToCalendar());
    }
}

} // namespace
} // namespace velk
