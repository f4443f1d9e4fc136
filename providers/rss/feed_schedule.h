// When a feed is fetched again and how new a copy of it is, both read from the feed itself.
// Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/date.h"
#include "platform/xml_document.h"

namespace velk {

constexpr std::uint32_t kDefaultFeedIntervalMs = 60000;

struct FeedSchedule {
    std::uint32_t interval_ms = kDefaultFeedIntervalMs;
    std::optional<Date> date; // UTC; none when the feed does not say
};

// RSS: "//rss/channel/lastBuildDate" gives the date, and then "//rss/channel/ttl" (minutes) the
// interval; without a lastBuildDate, "//rss/channel/pubDate" gives the date and the interval
// stays at its default. Documents without either (Atom among them) have the default and no
// date. A ttl that is no number keeps the default; one below a minute counts as a minute.
FeedSchedule ScheduleOf(const XmlDocument& document);

// A date as feeds write it ("Wed, 10 Dec 2026 08:30:00 GMT", "10 Dec 26 08:30 -0130"), in
// UTC; none when it cannot be read.
std::optional<Date> ParseFeedDate(std::string_view text);

} // namespace velk
