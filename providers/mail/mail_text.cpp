#include "providers/mail/mail_text.h"

#include <algorithm>

#include "platform/ascii.h"
#include "providers/mail/mail_encoding.h"

namespace velk {

namespace {

// Multipart messages inside multipart messages are read this deep.
constexpr int kMaxPartDepth = 4;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The first position at or after from where name starts without regard to case.
std::size_t FindFolded(const std::string& folded, std::string_view name, std::size_t from)
{
    return folded.find(name, from);
}

bool EndsTagName(const std::string& text, std::size_t at)
{
    return at >= text.size() || text[at] == '>' || text[at] == '/' || IsBlank(text[at]);
}

// The first part of a multipart body that has a Content-Type, as (field, encoding, body).
struct Part {
    std::string content_type;
    std::string transfer_encoding;
    std::string_view body;
};

std::optional<Part> FirstTypedPart(std::string_view body, const std::string& boundary)
{
    const std::string delimiter = "--" + boundary;
    // Delimiters stand at the start of a line.
    auto find_delimiter = [&](std::size_t from) {
        for (std::size_t at = body.find(delimiter, from); at != std::string_view::npos;
             at = body.find(delimiter, at + 1)) {
            if (at == 0 || body[at - 1] == '\n')
                return at;
        }
        return std::string_view::npos;
    };
    std::size_t at = find_delimiter(0);
    while (at != std::string_view::npos) {
        const std::size_t after = at + delimiter.size();
        if (body.substr(after).starts_with("--"))
            return std::nullopt; // the closing delimiter
        const std::size_t line_end = body.find('\n', after);
        if (line_end == std::string_view::npos)
            return std::nullopt;
        const std::size_t next = find_delimiter(line_end + 1);
        std::string_view part = body.substr(line_end + 1, next == std::string_view::npos
                                                              ? std::string_view::npos
                                                              : next - line_end - 1);
        // The line end before the next delimiter belongs to the delimiter.
        if (part.ends_with('\n'))
            part.remove_suffix(1);
        if (part.ends_with('\r'))
            part.remove_suffix(1);
        Part found;
        bool typed = false;
        for (auto& [name, value] : ParseHeaderFields(part)) {
            if (EqualsIgnoringCase(name, "Content-Type")) {
                found.content_type = std::move(value);
                typed = true;
            } else if (EqualsIgnoringCase(name, "Content-Transfer-Encoding")) {
                found.transfer_encoding = std::move(value);
            }
        }
        if (typed) {
            found.body = part.substr(std::min(part.size(), BodyOffset(part)));
            return found;
        }
        at = next;
    }
    return std::nullopt;
}

std::optional<std::string> BodyTextAt(std::string_view content_type,
                                      std::string_view transfer_encoding, std::string_view body,
                                      int depth)
{
    const std::string type = MediaType(content_type);
    if (type == "text/plain" || type == "text/html") {
        const std::string text = CharsetToUtf8(DecodeTransfer(body, transfer_encoding),
                                               ContentTypeParameter(content_type, "charset"));
        return type == "text/html" ? StripHtml(text) : text;
    }
    if ((type == "multipart/alternative" || type == "multipart/related") && depth < kMaxPartDepth) {
        const std::string boundary = ContentTypeParameter(content_type, "boundary");
        if (boundary.empty())
            return std::nullopt;
        const auto part = FirstTypedPart(body, boundary);
        if (!part)
            return std::nullopt;
        return BodyTextAt(part->content_type, part->transfer_encoding, part->body, depth + 1);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> BodyText(std::string_view content_type,
                                    std::string_view transfer_encoding, std::string_view body)
{
    return BodyTextAt(content_type, transfer_encoding, body, 0);
}

std::string StripHtml(std::string_view html)
{
    std::string text(html);
    for (const std::string_view element : {"head", "script", "style"}) {
        const std::string open = "<" + std::string(element);
        const std::string close = "</" + std::string(element);
        std::string folded = FoldCase(text);
        std::size_t at = 0;
        while ((at = FindFolded(folded, open, at)) != std::string::npos) {
            if (!EndsTagName(folded, at + open.size())) {
                at += open.size();
                continue;
            }
            std::size_t end = FindFolded(folded, close, at + open.size());
            while (end != std::string::npos && !EndsTagName(folded, end + close.size()))
                end = FindFolded(folded, close, end + close.size());
            end = end == std::string::npos ? std::string::npos : folded.find('>', end);
            const std::size_t count = end == std::string::npos ? std::string::npos : end + 1 - at;
            text.erase(at, count);
            folded.erase(at, count);
        }
    }
    std::string cleaned;
    cleaned.reserve(text.size());
    for (const char c : text) {
        if (c == '\r' || c == '\n')
            cleaned += ' ';
        else if (c != '\t')
            cleaned += c;
    }
    return cleaned;
}

std::vector<std::string> WrapText(std::string_view text, std::size_t width, std::size_t max_lines)
{
    width = std::max<std::size_t>(width, 1);
    // Where each character (code point) starts, and the end.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    }
    const std::size_t count = starts.size();
    starts.push_back(text.size());
    auto blank = [&](std::size_t k) { return k < count && IsBlank(text[starts[k]]); };

    std::vector<std::string> lines;
    std::size_t k = 0;
    while (lines.size() < max_lines) {
        while (blank(k))
            ++k;
        if (k >= count)
            break;
        std::size_t end = count;
        if (count - k > width) {
            // The last blank within reach (the one just past a full line counts: the word
            // before it fits); none: the word is cut.
            std::size_t j = k + width;
            while (j > k && !blank(j))
                --j;
            end = j > k ? j : k + width;
        }
        std::string line(text.substr(starts[k], starts[end] - starts[k]));
        std::replace_if(line.begin(), line.end(), IsBlank, ' ');
        line.erase(line.find_last_not_of(' ') + 1);
        lines.push_back(std::move(line));
        k = end;
    }
    return lines;
}

std::vector<std::string> MessageLines(const MailMessage& message, std::size_t width,
                                      std::size_t max_lines)
{
    const auto text = BodyText(message.content_type, message.transfer_encoding, message.body);
    std::vector<std::string> lines;
    if (text)
        lines = WrapText(*text, width, max_lines);
    if (lines.empty())
        lines.emplace_back(kUnsupportedMailFormat);
    return lines;
}

} // namespace velk
