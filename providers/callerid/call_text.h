// What a call puts on a player, in the log file and in the event log: the caller's name and
// number with every control character a blank (a caller's text never breaks a sketch line or
// forges a log line), the layout by the player's display, and the lines themselves. Pure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/caller_id_parser.h"

namespace velk {

// The caller as shown: the number and the name (the book's, where it has one); a call without
// either shows the name "Unknown Caller".
struct CallerText {
    std::string name;
    std::string number;
};
CallerText ShownCaller(const TelephonyCall& call, const std::optional<std::string>& book_name);

// Where the number stands when name and number get a line each: y 16 on a 32-pixel display in
// font 3 or 7, y 8 on a 16-pixel display in font 1; none where they share one marquee.
std::optional<std::uint16_t> SecondLineY(std::int16_t screen_height, std::int16_t font_size);
// The one marquee: "name (number)", or either alone when the other is empty.
std::string MarqueeText(const CallerText& caller);

// The log file's line: date, blank, time, tab, name, tab, number, line end.
std::string CallLogLine(std::string_view date, std::string_view time, const CallerText& caller);
// The event log's text: name, blank, number.
std::string CallEventText(const CallerText& caller);

} // namespace velk
