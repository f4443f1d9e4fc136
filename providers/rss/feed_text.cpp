#include "providers/rss/feed_text.h"

#include <cstdint>
#include <optional>

namespace velk {

namespace {

constexpr std::string_view kReferenceStart = "&#";
constexpr std::uint32_t kReplacementCharacter = 0xFFFD;
constexpr std::uint32_t kLastCodePoint = 0x10FFFF;

int DigitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// The code point a reference's body ("233", "xE9") names; none when the body is no number.
// Values beyond the last code point are clamped to a value just past it.
std::optional<std::uint32_t> ReferenceValue(std::string_view body)
{
    int base = 10;
    if (!body.empty() && (body.front() == 'x' || body.front() == 'X')) {
        base = 16;
        body.remove_prefix(1);
    }
    if (body.empty())
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : body) {
        const int digit = DigitValue(c, base);
        if (digit < 0)
            return std::nullopt;
        value = std::min<std::uint32_t>(value * base + digit, kLastCodePoint + 1);
    }
    return value;
}

void AppendUtf8(std::string& text, std::uint32_t code)
{
    if (code == 0 || code > kLastCodePoint || (code >= 0xD800 && code <= 0xDFFF))
        code = kReplacementCharacter;
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | code >> 6);
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | code >> 12);
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | code >> 18);
        text += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsBlank(unsigned char c)
{
    return c <= 0x20 || c == 0x7F;
}

} // namespace

std::string DecodeNumericReferences(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    std::size_t at = 0;
    for (;;) {
        const std::size_t start = text.find(kReferenceStart, at);
        const std::size_t end =
            start == std::string_view::npos ? start : text.find(';', start + kReferenceStart.size());
        if (end == std::string_view::npos) {
            decoded.append(text.substr(at));
            return decoded;
        }
        decoded.append(text.substr(at, start - at));
        const std::size_t body_at = start + kReferenceStart.size();
        const auto value = ReferenceValue(text.substr(body_at, end - body_at));
        if (!value) {
            decoded.append(kReferenceStart);
            at = body_at;
            continue;
        }
        AppendUtf8(decoded, *value);
        at = end + 1;
    }
}

std::string DisplayLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    bool blank_pending = false;
    for (const char c : text) {
        if (IsBlank(static_cast<unsigned char>(c))) {
            blank_pending = !line.empty();
            continue;
        }
        if (blank_pending)
            line += ' ';
        blank_pending = false;
        line += c;
    }
    return line;
}

} // namespace velk
