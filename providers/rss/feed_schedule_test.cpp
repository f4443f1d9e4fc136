// A feed's own word on its age and on when to fetch it again: its dates as feeds write them,
// in UTC, and the interval from its ttl.
#include "providers/rss/feed_schedule.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace velk {
namespace {

// "YYYY-MM-DD HH:MM:SS" of a date, "none" for no date.
std::string UtcText(const std::optional<Date>& date)
{
    if (!date)
        return "none";
    const auto time = date->ToCalendar();
    if (!time)
        return "out of range";
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time->year, time->month,
                  time->day, time->hour, time->minute, time->second);
    return text;
}

// A date whose weekday is padded so that the whole text is `length` characters long.
std::string DateOfLength(std::size_t length, std::string_view rest)
{
    return std::string(length - rest.size(), 'W') + std::string(rest);
}

TEST(FeedDate, ReadsTheFormsFeedsWriteInUtc)
{
    struct Case {
        std::string text;
        const char* utc;
    };
    const Case kCases[] = {
        {"Wed, 10 Dec 2026 08:30:00 GMT", "2026-12-10 08:30:00"},
        {"10 Dec 2026 08:30:00 GMT", "2026-12-10 08:30:00"},
        {"Wednesday, 10 December 2026 08:30:00 GMT", "2026-12-10 08:30:00"},
        {"Wed, 10 DEC 2026 08:30:00 GMT", "2026-12-10 08:30:00"},
        {"\n    Wed, 10 Dec 2026 08:30:00 GMT\n  ", "2026-12-10 08:30:00"},
        {"Wed, 1 Jan 2025 8:05 GMT", "2025-01-01 08:05:00"}, // no seconds
        {"10 Dec 26 08:30 -0130", "2026-12-10 10:00:00"},
        {"1 Jan 49 00:00 GMT", "2049-01-01 00:00:00"},
        {"1 Jan 50 00:00 GMT", "1950-01-01 00:00:00"},
        {"10 Dec 2026 08:30:00 +0200", "2026-12-10 06:30:00"},
        {"31 Dec 2026 23:30:00 -0130", "2027-01-01 01:00:00"},
        {"1 Jan 2027 01:00:00 +0200", "2026-12-31 23:00:00"},
        {"1 Jan 1850 00:00:00 EST", "1850-01-01 05:00:00"}, // before the automation epoch
        {"29 Feb 2024 12:00:00 GMT", "2024-02-29 12:00:00"},
        // Only the first 127 characters count.
        {DateOfLength(127, ", 10 Dec 2026 08:30:00 EST"), "2026-12-10 13:30:00"},
        {DateOfLength(128, ", 10 Dec 2026 08:30:00 EST"), "2026-12-10 08:30:00"},
        {DateOfLength(200, ", 10 Dec 2026 08:30:00 EST"), "none"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(UtcText(ParseFeedDate(c.text)), c.utc);
    }
}

TEST(FeedDate, NamedZonesCountTheirHoursToUtc)
{
    struct Case {
        const char* zone;
        const char* utc;
    };
    const Case kCases[] = {
        {"GMT", "08:30"}, {"UT", "08:30"},  {"Z", "08:30"},   {"EST", "13:30"}, {"EDT", "12:30"},
        {"CST", "14:30"}, {"CDT", "13:30"}, {"MST", "15:30"}, {"MDT", "14:30"}, {"PST", "16:30"},
        {"PDT", "15:30"}, {"pst", "16:30"}, {"CET", "08:30"}, {"XYZ", "08:30"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.zone);
        EXPECT_EQ(UtcText(ParseFeedDate(std::string("10 Dec 2026 08:30:00 ") + c.zone)),
                  std::string("2026-12-10 ") + c.utc + ":00");
    }
}

TEST(FeedDate, UnreadableOrImpossibleTextGivesNoDate)
{
    const char* const kTexts[] = {
        "",
        "   ",
        "yesterday",
        "Wed, 10 Dec 2026",
        "Wed, 10 Dec 2026 08:30:00", // no zone
        "Wed 10 Dec 2026 08:30:00 GMT",
        "10 Foo 2026 08:30:00 GMT",
        "1 Sept 2026 08:30:00 GMT", // neither three letters nor the full name
        "10 Dec 202 08:30:00 GMT",
        "10 Dec 20266 08:30:00 GMT",
        "x10 Dec 2026 08:30:00 GMT",
        "10 Dec 2026 0830 GMT",
        "10 Dec 2026 08:3 GMT",
        "10 Dec 2026 08:30:00:00 GMT",
        "10 Dec 2026 08:30:00 +2",
        "10 Dec 2026 08:30:00 +02:00",
        "10 Dec 2026 08:30:00 -01300",
        "10 Dec 2026 08:30:00 +0260",
        "32 Dec 2026 08:30:00 GMT",
        "29 Feb 2023 12:00:00 GMT",
        "10 Dec 2026 25:00:00 GMT",
        "10 Dec 2026 08:60:00 GMT",
        "10 Dec 2026 08:30:60 GMT",
        "31 Dec 9999 23:00:00 EST", // past the last representable date once in UTC
    };
    for (const char* text : kTexts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(UtcText(ParseFeedDate(text)), "none");
    }
}

TEST(FeedSchedule, TakesIntervalAndDateFromTheFeed)
{
    struct Case {
        const char* what;
        const char* xml;
        std::uint32_t interval_ms;
        const char* utc;
    };
    const Case kCases[] = {
        {"lastBuildDate and ttl",
         "<rss><channel><lastBuildDate>Wed, 10 Dec 2026 08:30:00 GMT</lastBuildDate>"
         "<ttl>30</ttl></channel></rss>",
         1800000, "2026-12-10 08:30:00"},
        {"lastBuildDate without ttl",
         "<rss><channel><lastBuildDate>Wed, 10 Dec 2026 08:30:00 GMT</lastBuildDate>"
         "</channel></rss>",
         60000, "2026-12-10 08:30:00"},
        {"lastBuildDate before pubDate",
         "<rss><channel><pubDate>Tue, 09 Dec 2026 07:00:00 GMT</pubDate>"
         "<lastBuildDate>Wed, 10 Dec 2026 08:30:00 GMT</lastBuildDate></channel></rss>",
         60000, "2026-12-10 08:30:00"},
        {"pubDate only",
         "<rss><channel><pubDate>Tue, 09 Dec 2026 07:00:00 -0100</pubDate></channel></rss>", 60000,
         "2026-12-09 08:00:00"},
        {"ttl without lastBuildDate",
         "<rss><channel><pubDate>Tue, 09 Dec 2026 07:00:00 GMT</pubDate>"
         "<ttl>30</ttl></channel></rss>",
         60000, "2026-12-09 07:00:00"},
        {"ttl alone", "<rss><channel><ttl>30</ttl></channel></rss>", 60000, "none"},
        // A lastBuildDate that cannot be read still stands in for the pubDate.
        {"unreadable lastBuildDate",
         "<rss><channel><lastBuildDate>soon</lastBuildDate><ttl>5</ttl>"
         "<pubDate>Tue, 09 Dec 2026 07:00:00 GMT</pubDate></channel></rss>",
         300000, "none"},
        {"Atom",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\"><updated>2026-12-10T08:30:00Z</updated>"
         "<ttl>30</ttl></feed>",
         60000, "none"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<XmlDocument> document;
        ASSERT_EQ(XmlDocument::Parse(c.xml, document), S_OK);
        const FeedSchedule schedule = ScheduleOf(*document);
        EXPECT_EQ(schedule.interval_ms, c.interval_ms);
        EXPECT_EQ(UtcText(schedule.date), c.utc);
    }
}

TEST(FeedSchedule, TtlIsWholeMinutesFromOneMinuteUp)
{
    struct Case {
        const char* ttl;
        std::uint32_t interval_ms;
    };
    const Case kCases[] = {
        {"30", 1800000},
        {"\n  15\n", 900000},
        {"1", 60000},
        {"0", 60000},
        {"-5", 60000},
        {"abc", kDefaultFeedIntervalMs},
        {"12abc", kDefaultFeedIntervalMs},
        {"1.5", kDefaultFeedIntervalMs},
        {"", kDefaultFeedIntervalMs},
        {"71582", 4294920000u}, // the most minutes whose milliseconds fit
        {"99999999999999999999", 4294920000u},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.ttl);
        const std::string xml = "<rss><channel><lastBuildDate>Wed, 10 Dec 2026 08:30:00 GMT"
                                "</lastBuildDate><ttl>" +
                                std::string(c.ttl) + "</ttl></channel></rss>";
        std::unique_ptr<XmlDocument> document;
        ASSERT_EQ(XmlDocument::Parse(xml, document), S_OK);
        EXPECT_EQ(ScheduleOf(*document).interval_ms, c.interval_ms);
    }
}

} // namespace
} // namespace velk
