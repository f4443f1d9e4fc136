#include "automation/request_framing.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "platform/ascii.h"

namespace velk {

namespace {

constexpr int kStatusBadRequest = 400;
constexpr int kStatusLengthRequired = 411;
constexpr int kStatusPayloadTooLarge = 413;
constexpr int kStatusHeaderTooLarge = 431;

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

RequestFrame Refused(int status)
{
    return {RequestFrame::Outcome::Refused, 0, status};
}

std::string_view Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The body's length from the header lines (after the request line): none without a length, a
// refusal for a length that is not one number, or a transfer coding we do not take.
RequestFrame BodyLength(std::string_view headers, std::optional<std::size_t>& length)
{
    while (!headers.empty()) {
        const std::size_t end = headers.find("\r\n");
        const std::string_view line = headers.substr(0, end);
        headers.remove_prefix(end == std::string_view::npos ? headers.size() : end + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = Trimmed(line.substr(colon + 1));
        if (EqualsIgnoringCase(name, "Transfer-Encoding"))
            return Refused(kStatusLengthRequired);
        if (!EqualsIgnoringCase(name, "Content-Length"))
            continue;
        std::size_t number = 0;
        const auto [stop, error] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || error != std::errc() || stop != value.data() + value.size() ||
            (length && *length != number))
            return Refused(kStatusBadRequest);
        length = number;
    }
    return {};
}

} // namespace

RequestFrame FrameRequest(std::string_view received, const RequestLimits& limits)
{
    const std::size_t header_end = received.find(kHeaderEnd);
    const std::string_view header =
        received.substr(0, header_end == std::string_view::npos ? received.size()
                                                                : header_end + kHeaderEnd.size());
    if (header.size() > limits.header_bytes ||
        static_cast<std::size_t>(std::count(header.begin(), header.end(), '\n')) >
            limits.header_lines + 1)
        return Refused(kStatusHeaderTooLarge);
    if (header_end == std::string_view::npos)
        return {};

    const std::size_t request_line_end = header.find("\r\n");
    std::optional<std::size_t> length;
    if (const RequestFrame refused =
            BodyLength(header.substr(request_line_end + 2, header_end - request_line_end), length);
        refused.outcome == RequestFrame::Outcome::Refused)
        return refused;
    const std::size_t body = length.value_or(0);
    if (body > limits.body_bytes)
        return Refused(kStatusPayloadTooLarge);
    if (received.size() - header.size() < body)
        return {};
    return {RequestFrame::Outcome::Complete, header.size() + body, 0};
}

} // namespace velk
