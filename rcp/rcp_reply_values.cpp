#include "rcp/rcp_reply_values.h"

#include <charconv>
#include <utility>

namespace velk {

std::optional<std::int64_t> ParseDecimal(std::string_view text)
{
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return std::nullopt;
    // from_chars takes a minus sign but no plus sign.
    if (text[start] == '+' && start + 1 < text.size() && text[start + 1] != '-')
        ++start;
    std::int64_t value = 0;
    const char* first = text.data() + start;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error != std::errc() || end == first)
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> ParseDecimal32(std::string_view text)
{
    const auto value = ParseDecimal(text);
    if (!value || !std::in_range<std::int32_t>(*value))
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

} // namespace velk
