#include "providers/mail/mail_message.h"

#include "platform/ascii.h"
#include "platform/base64.h"
#include "platform/encoding.h"
#include "providers/mail/mail_encoding.h"

namespace velk {

namespace {

struct HeaderTag {
    std::string_view name;
    std::uint32_t tag;
};
constexpr HeaderTag kHeaderTags[] = {
    {"Subject", kTagSubject},   {"Message-ID", kTagMessageId},         {"From", kTagFrom},
    {"Date", kTagDate},         {"Content-class", kTagContentClass},
};

std::string_view TrimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One encoded word's text, or nullopt when it is none that can be read.
std::optional<std::string> DecodeWord(std::string_view charset, char encoding, std::string_view text)
{
    std::string bytes;
    if (encoding == 'B' || encoding == 'b') {
        auto decoded = Base64Decode(text);
        if (!decoded)
            return std::nullopt;
        bytes.assign(decoded->begin(), decoded->end());
    } else if (encoding == 'Q' || encoding == 'q') {
        std::string spaced(text);
        for (char& c : spaced) {
            if (c == '_')
                c = ' ';
        }
        bytes = DecodeQuotedPrintable(spaced);
    } else {
        return std::nullopt;
    }
    // A language after "*" (RFC 2231) is not part of the name.
    return CharsetToUtf8(bytes, charset.substr(0, charset.find('*')));
}

} // namespace

std::size_t BodyOffset(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line = text.substr(start, next - start);
        if (line == "\n" || line == "\r\n" || line == "\r")
            return next;
        start = next;
    }
    return text.size();
}

std::vector<std::pair<std::string, std::string>> ParseHeaderFields(std::string_view text,
                                                                   std::size_t max_fields)
{
    std::vector<std::pair<std::string, std::string>> fields;
    const std::string_view section = text.substr(0, BodyOffset(text));
    std::size_t start = 0;
    bool in_field = false; // whether continuation lines belong to a field taken
    while (start < section.size()) {
        std::size_t end = section.find('\n', start);
        if (end == std::string_view::npos)
            end = section.size();
        std::string_view line = section.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty())
            break;
        if (line.front() == ' ' || line.front() == '\t') {
            if (in_field) {
                fields.back().second += ' ';
                fields.back().second += TrimBlanks(line);
            }
            continue;
        }
        const std::size_t colon = line.find(':');
        in_field = colon != std::string_view::npos && colon > 0 && fields.size() < max_fields;
        if (in_field)
            fields.emplace_back(std::string(TrimBlanks(line.substr(0, colon))),
                                std::string(TrimBlanks(line.substr(colon + 1))));
    }
    return fields;
}

MailMessage ParseMessage(std::string_view text)
{
    MailMessage message;
    for (auto& [name, value] : ParseHeaderFields(text)) {
        if (EqualsIgnoringCase(name, "Content-Type")) {
            message.content_type = std::move(value);
        } else if (EqualsIgnoringCase(name, "Content-Transfer-Encoding")) {
            message.transfer_encoding = std::move(value);
        } else if (EqualsIgnoringCase(name, "Mime-Version")) {
            message.mime = true;
        } else {
            for (const auto& entry : kHeaderTags) {
                if (EqualsIgnoringCase(name, entry.name)) {
                    message.properties[entry.tag] = DecodeHeaderText(value);
                    break;
                }
            }
        }
    }
    message.body = std::string(text.substr(BodyOffset(text)));
    return message;
}

std::string DecodeHeaderText(std::string_view text)
{
    std::string decoded;
    bool after_word = false; // blanks between two encoded words are dropped
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find("=?", at);
        const std::string_view before =
            text.substr(at, start == std::string_view::npos ? std::string_view::npos : start - at);
        if (!(after_word && TrimBlanks(before).empty()))
            decoded += before;
        if (start == std::string_view::npos)
            break;
        // =?charset?e?text?=
        const std::size_t q1 = text.find('?', start + 2);
        const std::size_t q2 = q1 == std::string_view::npos ? q1 : text.find('?', q1 + 1);
        const std::size_t end = q2 == std::string_view::npos ? q2 : text.find("?=", q2 + 1);
        std::optional<std::string> word;
        if (end != std::string_view::npos && q2 == q1 + 2)
            word = DecodeWord(text.substr(start + 2, q1 - start - 2), text[q1 + 1],
                              text.substr(q2 + 1, end - q2 - 1));
        if (!word) {
            decoded += "=?";
            at = start + 2;
            after_word = false;
            continue;
        }
        decoded += *word;
        at = end + 2;
        after_word = true;
    }
    return ToValidUtf8(decoded);
}

std::string CharsetToUtf8(std::string_view bytes, std::string_view charset)
{
    if (charset.empty() || EqualsIgnoringCase(charset, "utf-8") ||
        EqualsIgnoringCase(charset, "us-ascii"))
        return ToValidUtf8(bytes);
    return FromAnsi(bytes, std::string(charset));
}

} // namespace velk
