#include "platform/date.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace velk {

namespace {

constexpr long long kMsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (month <= 2));
}

const long long kEpochDays = DaysFromCivil(1899, 12, 30);

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

} // namespace

std::optional<Date> Date::FromCalendar(const CalendarTime& t)
{
    if (t.year < 100 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
        t.minute > 59 || t.second < 0 || t.second > 59 || t.millisecond < 0 || t.millisecond > 999)
        return std::nullopt;

    const long long days = DaysFromCivil(t.year, static_cast<unsigned>(t.month),
                                         static_cast<unsigned>(t.day)) - kEpochDays;
    const long long ms = ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond;
    const double fraction = static_cast<double>(ms) / kMsPerDay;
    return Date(days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction);
}

std::optional<CalendarTime> Date::ToCalendar() const
{
    if (!IsValid())
        return std::nullopt;

    long long days = static_cast<long long>(std::trunc(value_));
    long long ms = std::llround(std::fabs(value_ - static_cast<double>(days)) * kMsPerDay);
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        ++days;
    }
    CalendarTime t;
    CivilFromDays(days + kEpochDays, t.year, t.month, t.day);
    if (t.year > 9999)
        return std::nullopt;
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    // 1970-01-01 (day 0) was a Thursday.
    const long long unix_days = days + kEpochDays;
    t.day_of_week = static_cast<int>(((unix_days % 7) + 7 + 4) % 7);
    return t;
}

Date Date::Now()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    CalendarTime t{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min,        local.tm_sec > 59 ? 59 : local.tm_sec, static_cast<int>(ms)};
    return FromCalendar(t).value_or(Date());
}

std::optional<CalendarTime> ParseCalendarText(std::string_view text)
{
    static constexpr std::string_view kShape = "0000-00-00 00:00:00";
    constexpr std::size_t kDateOnly = 10;
    if (text.size() != kShape.size() && text.size() != kDateOnly)
        return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == '0' ? !digit : text[i] != kShape[i])
            return std::nullopt;
    }
    auto number = [&](std::size_t at, std::size_t digits) {
        int value = 0;
        for (std::size_t i = at; i < at + digits && i < text.size(); ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    CalendarTime time;
    time.year = number(0, 4);
    time.month = number(5, 2);
    time.day = number(8, 2);
    time.hour = number(11, 2);
    time.minute = number(14, 2);
    time.second = number(17, 2);
    return time;
}

} // namespace velk
