#include "providers/mail/mail_encoding.h"

#include "platform/ascii.h"
#include "platform/base64.h"
#include "platform/hex.h"

namespace velk {

namespace {

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

std::string MediaType(std::string_view content_type)
{
    const std::string_view type = Trim(content_type.substr(0, content_type.find(';')));
    return type.empty() ? std::string("text/plain") : FoldCase(type);
}

std::string ContentTypeParameter(std::string_view content_type, std::string_view name)
{
    std::size_t at = content_type.find(';');
    while (at != std::string_view::npos && at < content_type.size()) {
        const std::size_t equals = content_type.find('=', at + 1);
        if (equals == std::string_view::npos)
            return {};
        const std::string_view key = Trim(content_type.substr(at + 1, equals - at - 1));
        std::size_t value_at = content_type.find_first_not_of(" \t\r\n", equals + 1);
        if (value_at == std::string_view::npos)
            return {};
        std::string_view value;
        const char quote = content_type[value_at];
        if (quote == '"' || quote == '\'') {
            const std::size_t close = content_type.find(quote, value_at + 1);
            const std::size_t value_end = close == std::string_view::npos ? content_type.size() : close;
            value = content_type.substr(value_at + 1, value_end - value_at - 1);
            at = content_type.find(';', value_end);
        } else {
            const std::size_t value_end = std::min(content_type.size(), content_type.find_first_of("; \t\r\n", value_at));
            value = content_type.substr(value_at, value_end - value_at);
            at = content_type.find(';', value_end);
        }
        if (EqualsIgnoringCase(key, name))
            return std::string(value);
    }
    return {};
}

std::string DecodeQuotedPrintable(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            decoded += text[i];
            continue;
        }
        if (i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
            continue;
        }
        // A soft line break: "=" and the line end (blanks before it allowed).
        std::size_t j = i + 1;
        while (j < text.size() && (text[j] == ' ' || text[j] == '\t'))
            ++j;
        if (j < text.size() && text[j] == '\r')
            ++j;
        if (j < text.size() && text[j] == '\n') {
            i = j;
            continue;
        }
        if (j == text.size()) {
            i = j;
            continue;
        }
        decoded += '=';
    }
    return decoded;
}

std::string DecodeBase64Text(std::string_view text)
{
    std::string digits;
    digits.reserve(text.size());
    for (const char c : text) {
        if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
            digits += c;
    }
    // Whole groups only: a cut tail is dropped rather than the whole text.
    digits.resize(digits.size() - digits.size() % 4);
    std::string decoded;
    for (std::size_t at = 0; at < digits.size(); at += 4) {
        auto bytes = Base64Decode(std::string_view(digits).substr(at, 4));
        if (!bytes)
            break;
        decoded.append(bytes->begin(), bytes->end());
        if (digits[at + 3] == '=')
            break;
    }
    return decoded;
}

std::string DecodeTransfer(std::string_view body, std::string_view transfer_encoding)
{
    const std::string_view encoding = Trim(transfer_encoding);
    if (EqualsIgnoringCase(encoding, "quoted-printable"))
        return DecodeQuotedPrintable(body);
    if (EqualsIgnoringCase(encoding, "base64"))
        return DecodeBase64Text(body);
    return std::string(body);
}

} // namespace velk
