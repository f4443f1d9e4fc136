// The automation date: days since 30 December 1899 as a double, the time of day in the
// fraction (for days before the epoch the fraction still counts forward from midnight).
#pragma once

#include <compare>
#include <optional>
#include <string_view>

namespace velk {

struct CalendarTime {
    int year = 1899;
    int month = 12; // 1..12
    int day = 30;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int day_of_week = 6; // 0 = Sunday; filled by Date::ToCalendar, ignored by FromCalendar

    bool operator==(const CalendarTime&) const = default;
};

class Date {
public:
    // The representable range: 1 January 100 to 31 December 9999.
    static constexpr double kMin = -657434.0;
    static constexpr double kMax = 2958466.0;

    constexpr Date() = default;
    constexpr explicit Date(double value) : value_(value) {}

    // Empty for fields out of their ranges or a date outside the representable range.
    static std::optional<Date> FromCalendar(const CalendarTime& time);
    // The local time now.
    static Date Now();

    // Empty for values outside the representable range (NaN included); rounds to milliseconds.
    std::optional<CalendarTime> ToCalendar() const;
    bool IsValid() const { return value_ >= kMin && value_ < kMax; }

    constexpr double value() const { return value_; }
    auto operator<=>(const Date&) const = default;

private:
    double value_ = 0.0;
};

// The fields of "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD", each field its exact number of digits;
// none for text of another shape. Whether the fields make a date is Date::FromCalendar's call.
std::optional<CalendarTime> ParseCalendarText(std::string_view text);

} // namespace velk
