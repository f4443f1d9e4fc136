#include "platform/caller_id_parser.h"

#include "platform/hex.h"

#include <utility>

namespace velk {

namespace {

// Message types and parameter types of the unformatted caller-ID message.
constexpr std::uint8_t kSingleDataMessage = 0x04;
constexpr std::uint8_t kMultipleDataMessage = 0x80;
constexpr std::uint8_t kParameterNumber = 0x02;
constexpr std::uint8_t kParameterName = 0x07;
// The date and time that open a single-data message: MMDDHHMM.
constexpr std::size_t kSingleDataDateBytes = 8;

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// "O" (out of area) and "P" (private) stand for a part the network does not give.
std::string PartValue(std::string_view value)
{
    if (value == "O" || value == "P")
        return {};
    return std::string(value);
}

} // namespace

std::optional<TelephonyCall> DecodeCallerIdMessage(std::string_view hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    // Type, length, the body and the checksum, which makes the sum of all bytes zero.
    if (bytes.size() < 3 || bytes[1] != bytes.size() - 3)
        return std::nullopt;
    std::uint8_t sum = 0;
    for (const auto byte : bytes)
        sum = static_cast<std::uint8_t>(sum + byte);
    if (sum != 0)
        return std::nullopt;
    const auto body = std::string_view(reinterpret_cast<const char*>(bytes.data()) + 2, bytes[1]);

    TelephonyCall call;
    if (bytes[0] == kSingleDataMessage) {
        if (body.size() < kSingleDataDateBytes)
            return std::nullopt;
        call.number = PartValue(body.substr(kSingleDataDateBytes));
        return call;
    }
    if (bytes[0] != kMultipleDataMessage)
        return std::nullopt;
    for (std::size_t at = 0; at < body.size();) {
        if (body.size() - at < 2)
            return std::nullopt;
        const auto type = static_cast<std::uint8_t>(body[at]);
        const auto length = static_cast<std::uint8_t>(body[at + 1]);
        if (body.size() - at - 2 < length)
            return std::nullopt;
        const std::string_view value = body.substr(at + 2, length);
        if (type == kParameterNumber)
            call.number = PartValue(value);
        else if (type == kParameterName)
            call.name = PartValue(value);
        at += 2 + length;
    }
    return call;
}

std::vector<TelephonyCall> CallerIdParser::Feed(std::string_view bytes, std::uint64_t now_ms)
{
    std::vector<TelephonyCall> calls;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!dropping_ && !line_.empty()) {
                if (auto call = Line(line_, now_ms))
                    calls.push_back(std::move(*call));
            }
            line_.clear();
            dropping_ = false;
            continue;
        }
        if (dropping_)
            continue;
        if (line_.size() == kMaxLineBytes) {
            line_.clear();
            dropping_ = true;
            continue;
        }
        line_.push_back(c);
    }
    return calls;
}

std::optional<TelephonyCall> CallerIdParser::Line(std::string_view line, std::uint64_t now_ms)
{
    line = Trim(line);
    if (line == "OK" || line == "ERROR") {
        result_ = line == "OK" ? ModemResult::Ok : ModemResult::Error;
        return std::nullopt;
    }
    if (line == "RING") {
        if (has_fields_) {
            last_ring_ms_ = now_ms;
            return Take();
        }
        const bool same_run = last_ring_ms_ && now_ms - *last_ring_ms_ <= kRingGapMs;
        last_ring_ms_ = now_ms;
        if (!same_run) {
            ring_reported_ = false;
            return std::nullopt;
        }
        // A second ring without caller-ID lines: a call from nobody the line can name.
        if (ring_reported_)
            return std::nullopt;
        ring_reported_ = true;
        return TelephonyCall{};
    }

    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (key == "MESG") {
        auto call = DecodeCallerIdMessage(value);
        if (!call)
            return std::nullopt;
        pending_ = std::move(*call);
        last_ring_ms_ = now_ms;
        return Take();
    }
    // A part without a value is no report: a line cut short, or noise.
    if (value.empty())
        return std::nullopt;
    if (key == "NMBR" || key == "DDN_NMBR") {
        pending_.number = PartValue(value);
        has_number_ = true;
    } else if (key == "NAME") {
        pending_.name = PartValue(value);
        has_name_ = true;
    } else if (key != "DATE" && key != "TIME") {
        return std::nullopt;
    }
    fields_at_ms_ = now_ms;
    has_fields_ = true;
    if (!has_number_ || !has_name_)
        return std::nullopt;
    last_ring_ms_ = now_ms;
    return Take();
}

std::optional<TelephonyCall> CallerIdParser::Flush(std::uint64_t now_ms)
{
    const auto due = FlushDueInMs(now_ms);
    if (!due || *due > 0)
        return std::nullopt;
    last_ring_ms_ = now_ms;
    return Take();
}

std::optional<std::uint64_t> CallerIdParser::FlushDueInMs(std::uint64_t now_ms) const
{
    if (!has_fields_)
        return std::nullopt;
    const std::uint64_t due = fields_at_ms_ + kFieldsQuietMs;
    return due > now_ms ? due - now_ms : 0;
}

ModemResult CallerIdParser::TakeResult()
{
    return std::exchange(result_, ModemResult::None);
}

TelephonyCall CallerIdParser::Take()
{
    TelephonyCall call = std::move(pending_);
    pending_ = {};
    has_fields_ = has_number_ = has_name_ = false;
    ring_reported_ = true;
    return call;
}

} // namespace velk
