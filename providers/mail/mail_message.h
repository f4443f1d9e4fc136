// A mail message as the view uses it: the headers it maps to property tags (property id in
// the high 16 bits, value type in the low: 0x001F text, 0x0102 binary, 0x0040 time), its
// content type, whether it declares MIME, and its body. Header fields are unfolded, their names
// compared without regard to case, and encoded words in them (RFC 2047) decoded to UTF-8.
// Pure; any thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velk {

constexpr std::uint32_t kTagSubject = 0x0037001F;
constexpr std::uint32_t kTagMessageId = 0x001B0102;
constexpr std::uint32_t kTagFrom = 0x005A001F;
constexpr std::uint32_t kTagDate = 0x00100040;
constexpr std::uint32_t kTagContentClass = 0x001A001F;

struct MailMessage {
    std::map<std::uint32_t, std::string> properties; // by tag
    std::string content_type; // the field as it stands; empty when there is none
    std::string transfer_encoding;
    bool mime = false;
    std::string body;

    std::string Property(std::uint32_t tag) const
    {
        auto found = properties.find(tag);
        return found == properties.end() ? std::string() : found->second;
    }
};

// The header fields of a header section (up to its first empty line, or all of text), in
// order, unfolded: a line that begins with a space or tab continues the field before it,
// joined with one space. Lines that are no "name: value" are passed by. At most max_fields.
std::vector<std::pair<std::string, std::string>> ParseHeaderFields(std::string_view text,
                                                                   std::size_t max_fields = 1000);
// Where the body starts: past the first empty line; text.size() when there is none.
std::size_t BodyOffset(std::string_view text);

// A header section, or a whole message.
MailMessage ParseMessage(std::string_view text);

// Encoded words ("=?charset?B?...?=", "=?charset?Q?...?=") decoded; text outside them as it
// is, made valid UTF-8.
std::string DecodeHeaderText(std::string_view text);

// Bytes in the named character set (empty: US-ASCII read as UTF-8) as UTF-8.
std::string CharsetToUtf8(std::string_view bytes, std::string_view charset);

} // namespace velk
