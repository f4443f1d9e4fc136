#include "providers/rss/feed_schedule.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/ascii.h"

namespace velk {

namespace {

// Only this much of a date's text is read; the rest is ignored, a zone there included.
constexpr std::size_t kMaxDateChars = 127;
constexpr std::string_view kBlanks = " \t\r\n";
// Two-digit years below this are of the 2000s, the others of the 1900s.
constexpr int kTwoDigitYearPivot = 50;
constexpr int kMinutesPerHour = 60;
constexpr double kMinutesPerDay = 24.0 * 60.0;
constexpr std::uint32_t kMsPerMinute = 60000;
constexpr std::uint32_t kMaxTtlMinutes = std::numeric_limits<std::uint32_t>::max() / kMsPerMinute;

constexpr std::string_view kRssLastBuildDate = "//rss/channel/lastBuildDate";
constexpr std::string_view kRssTtl = "//rss/channel/ttl";
constexpr std::string_view kRssPubDate = "//rss/channel/pubDate";

struct MonthName {
    std::string_view short_name;
    std::string_view full_name;
};
constexpr MonthName kMonths[] = {
    {"jan", "january"},   {"feb", "february"}, {"mar", "march"},    {"apr", "april"},
    {"may", "may"},       {"jun", "june"},     {"jul", "july"},     {"aug", "august"},
    {"sep", "september"}, {"oct", "october"},  {"nov", "november"}, {"dec", "december"},
};

// GMT, UT, Z and every zone not named here count as UTC.
struct NamedZone {
    std::string_view name;
    int hours_to_utc;
};
constexpr NamedZone kNamedZones[] = {
    {"EST", 5}, {"EDT", 4}, {"CST", 6}, {"CDT", 5}, {"MST", 7}, {"MDT", 6}, {"PST", 8}, {"PDT", 7},
};

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The next blank-separated word of text, taken off its front; empty at the end.
std::string_view NextWord(std::string_view& text)
{
    text = Trimmed(text);
    const std::size_t end = std::min(text.find_first_of(kBlanks), text.size());
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

// The value of text that is min_digits to max_digits decimal digits; none for other text.
std::optional<int> DigitsValue(std::string_view text, std::size_t min_digits,
                               std::size_t max_digits)
{
    if (text.size() < min_digits || text.size() > max_digits)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<int> MonthNumber(std::string_view name)
{
    for (int i = 0; i < 12; ++i) {
        if (EqualsIgnoringCase(name, kMonths[i].short_name) ||
            EqualsIgnoringCase(name, kMonths[i].full_name))
            return i + 1;
    }
    return std::nullopt;
}

std::optional<int> YearNumber(std::string_view text)
{
    if (text.size() == 4)
        return DigitsValue(text, 4, 4);
    const auto year = DigitsValue(text, 2, 2);
    if (!year)
        return std::nullopt;
    return *year < kTwoDigitYearPivot ? 2000 + *year : 1900 + *year;
}

// "hh:mm" or "hh:mm:ss" into time; false for text of another shape.
bool ReadTimeOfDay(std::string_view text, CalendarTime& time)
{
    const std::size_t first_colon = text.find(':');
    if (first_colon == std::string_view::npos)
        return false;
    const auto hour = DigitsValue(text.substr(0, first_colon), 1, 2);
    text.remove_prefix(first_colon + 1);
    const std::size_t second_colon = text.find(':');
    const auto minute = DigitsValue(text.substr(0, second_colon), 2, 2);
    const auto second = second_colon == std::string_view::npos
                            ? std::optional<int>(0)
                            : DigitsValue(text.substr(second_colon + 1), 2, 2);
    if (!hour || !minute || !second)
        return false;
    time.hour = *hour;
    time.minute = *minute;
    time.second = *second;
    return true;
}

// The minutes that take a time in the zone to UTC; none for a numeric zone that is no
// "+hhmm" or "-hhmm".
std::optional<int> MinutesToUtc(std::string_view zone)
{
    if (!zone.empty() && (zone.front() == '+' || zone.front() == '-')) {
        const auto hours = DigitsValue(zone.substr(1, 2), 2, 2);
        const auto minutes = DigitsValue(zone.substr(std::min<std::size_t>(zone.size(), 3)), 2, 2);
        if (!hours || !minutes || *hours > 23 || *minutes >= kMinutesPerHour)
            return std::nullopt;
        const int offset = *hours * kMinutesPerHour + *minutes;
        return zone.front() == '+' ? -offset : offset;
    }
    for (const auto& named : kNamedZones) {
        if (EqualsIgnoringCase(zone, named.name))
            return named.hours_to_utc * kMinutesPerHour;
    }
    return 0;
}

// Dates before 30 December 1899 count their days back but the time of day forward from
// midnight, so the shift goes through a continuous count of days and back.
std::optional<Date> ShiftedByMinutes(Date date, int minutes)
{
    const double days = std::trunc(date.value());
    const double continuous = days + std::fabs(date.value() - days) + minutes / kMinutesPerDay;
    const double whole_days = std::floor(continuous);
    const double fraction = continuous - whole_days;
    const Date shifted(whole_days >= 0 ? whole_days + fraction : whole_days - fraction);
    if (!shifted.IsValid())
        return std::nullopt;
    return shifted;
}

// The interval a ttl of minutes asks for; the default for text that is no whole number.
std::uint32_t IntervalOfTtl(std::string_view text)
{
    text = Trimmed(text);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    if (text.empty())
        return kDefaultFeedIntervalMs;
    std::uint32_t minutes = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return kDefaultFeedIntervalMs;
        minutes = std::min<std::uint32_t>(minutes * 10 + static_cast<std::uint32_t>(c - '0'),
                                          kMaxTtlMinutes);
    }
    if (negative || minutes < 1)
        minutes = 1;
    return minutes * kMsPerMinute;
}

} // namespace

FeedSchedule ScheduleOf(const XmlDocument& document)
{
    FeedSchedule schedule;
    if (const auto built = document.SelectSingleNode(kRssLastBuildDate)) {
        schedule.date = ParseFeedDate(built->Text());
        if (const auto ttl = document.SelectSingleNode(kRssTtl))
            schedule.interval_ms = IntervalOfTtl(ttl->Text());
    } else if (const auto published = document.SelectSingleNode(kRssPubDate)) {
        schedule.date = ParseFeedDate(published->Text());
    }
    return schedule;
}

std::optional<Date> ParseFeedDate(std::string_view text)
{
    text = text.substr(0, kMaxDateChars);
    // The weekday, when there is one, is not read.
    if (const std::size_t comma = text.find(','); comma != std::string_view::npos)
        text.remove_prefix(comma + 1);
    text = Trimmed(text);
    const std::size_t last_blank = text.find_last_of(kBlanks);
    if (last_blank == std::string_view::npos)
        return std::nullopt;
    const auto minutes_to_utc = MinutesToUtc(text.substr(last_blank + 1));
    std::string_view fields = text.substr(0, last_blank);
    const auto day = DigitsValue(NextWord(fields), 1, 2);
    const auto month = MonthNumber(NextWord(fields));
    const auto year = YearNumber(NextWord(fields));
    CalendarTime time;
    if (!minutes_to_utc || !day || !month || !year || !ReadTimeOfDay(NextWord(fields), time) ||
        !NextWord(fields).empty())
        return std::nullopt;
    time.year = *year;
    time.month = *month;
    time.day = *day;
    const auto local = Date::FromCalendar(time);
    if (!local)
        return std::nullopt;
    return ShiftedByMinutes(*local, *minutes_to_utc);
}

} // namespace velk
