#include "tools/sim/text_util.h"

#include <algorithm>
#include <cctype>

namespace velk::sim {

std::optional<std::int64_t> ParseInteger(std::string_view text, std::int64_t min, std::int64_t max)
{
    if (text.empty())
        return std::nullopt;
    bool negative = false;
    std::size_t i = 0;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size() || text.size() - i > 18)
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (negative)
        value = -value;
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<int> ParseInt(std::string_view text, int min, int max)
{
    auto value = ParseInteger(text, min, max);
    if (!value)
        return std::nullopt;
    return static_cast<int>(*value);
}

namespace {
char LowerChar(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
} // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerChar(x) == LowerChar(y);
           });
}

bool ContainsIgnoreCase(std::string_view text, std::string_view part)
{
    if (part.empty())
        return true;
    auto it = std::search(text.begin(), text.end(), part.begin(), part.end(),
                          [](char x, char y) { return LowerChar(x) == LowerChar(y); });
    return it != text.end();
}

std::string ToLower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerChar);
    return lower;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> SplitWords(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start)
            words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::string OneLine(std::string_view text)
{
    std::string line(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return line;
}

} // namespace velk::sim
