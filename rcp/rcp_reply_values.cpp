#include "rcp/rcp_reply_values.h"

#include <charconv>
#include <utility>

namespace velk {

namespace {

// The number at the start of text; end gets the length it takes.
std::optional<std::int64_t> ParseLeadingDecimal(std::string_view text, std::size_t& end)
{
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return std::nullopt;
    // from_chars takes a minus sign but no plus sign.
    if (text[start] == '+' && start + 1 < text.size() && text[start + 1] != '-')
        ++start;
    std::int64_t value = 0;
    const char* first = text.data() + start;
    const auto [last, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error != std::errc() || last == first)
        return std::nullopt;
    end = static_cast<std::size_t>(last - text.data());
    return value;
}

} // namespace

std::optional<std::int64_t> ParseDecimal(std::string_view text)
{
    std::size_t end = 0;
    return ParseLeadingDecimal(text, end);
}

std::optional<std::int32_t> ParseDecimal32(std::string_view text)
{
    const auto value = ParseDecimal(text);
    if (!value || !std::in_range<std::int32_t>(*value))
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::optional<std::array<std::int32_t, 3>> ParseDecimalTriple(std::string_view text, char separator,
                                                              std::string_view* rest)
{
    std::array<std::int32_t, 3> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) {
            if (text.empty() || text.front() != separator)
                return std::nullopt;
            text.remove_prefix(1);
        }
        std::size_t end = 0;
        const auto value = ParseLeadingDecimal(text, end);
        if (!value || !std::in_range<std::int32_t>(*value))
            return std::nullopt;
        numbers[i] = static_cast<std::int32_t>(*value);
        text.remove_prefix(end);
    }
    if (rest)
        *rest = text;
    return numbers;
}

} // namespace velk
