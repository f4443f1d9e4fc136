#include "providers/callerid/call_text.h"

#include "platform/ascii.h"
#include "providers/callerid/tapi_strings.h"

namespace velk {

CallerText ShownCaller(const TelephonyCall& call, const std::optional<std::string>& book_name)
{
    CallerText caller{BlankControls(book_name.value_or(call.name)), BlankControls(call.number)};
    if (caller.name.empty() && caller.number.empty())
        caller.name = tapi::kUnknownCaller;
    return caller;
}

std::optional<std::uint16_t> SecondLineY(std::int16_t screen_height, std::int16_t font_size)
{
    if (screen_height == 32 && (font_size == 3 || font_size == 7))
        return 16;
    if (screen_height == 16 && font_size == 1)
        return 8;
    return std::nullopt;
}

std::string MarqueeText(const CallerText& caller)
{
    if (caller.name.empty())
        return caller.number;
    if (caller.number.empty())
        return caller.name;
    return caller.name + " (" + caller.number + ")";
}

std::string CallLogLine(std::string_view date, std::string_view time, const CallerText& caller)
{
    return std::string(date) + " " + std::string(time) + "\t" + caller.name + "\t" + caller.number + "\n";
}

std::string CallEventText(const CallerText& caller)
{
    return caller.name + " " + caller.number;
}

} // namespace velk
