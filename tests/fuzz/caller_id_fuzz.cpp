// A modem's bytes, cut into reads anywhere and spread over time: the parser never gives a call
// with more than a line's worth of text, and the unformatted message's reader never reads past
// its hex.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/caller_id_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    velk::CallerIdParser parser;
    std::uint64_t now_ms = 0;
    const auto check = [](const velk::TelephonyCall& call) {
        if (call.number.size() > velk::CallerIdParser::kMaxLineBytes ||
            call.name.size() > velk::CallerIdParser::kMaxLineBytes)
            std::abort();
    };
    // Reads of varying length and time apart, taken from the bytes themselves.
    for (std::size_t at = 0; at < bytes.size();) {
        const auto seed = static_cast<unsigned char>(bytes[at]);
        const std::size_t step = 1 + seed % 17;
        now_ms += static_cast<std::uint64_t>(seed) * 50;
        for (const auto& call : parser.Feed(bytes.substr(at, step), now_ms))
            check(call);
        if (auto call = parser.Flush(now_ms))
            check(*call);
        at += step;
    }
    if (auto call = velk::DecodeCallerIdMessage(bytes))
        check(*call);
    return 0;
}
