// Cuts what a voice/data modem in caller-ID mode reports into calls: RING, DATE, TIME, NMBR
// (or DDN_NMBR), NAME in the formatted form ("NMBR = 5551234", with or without the blanks),
// and MESG, the unformatted form (the single- or multiple-data message in hex), and the
// result codes OK and ERROR of the modem's commands. Lines are
// bounded; a longer line, and every line the parser does not know, is dropped. Pure: the caller
// gives the bytes and the time, so any thread may own a parser (one at a time).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

// One incoming call as the line reports it; either part may be empty.
struct TelephonyCall {
    std::string number;
    std::string name;
    bool operator==(const TelephonyCall&) const = default;
};

// The final result of the last command sent to the modem.
enum class ModemResult { None, Ok, Error };

class CallerIdParser {
public:
    // A longer line is dropped whole.
    static constexpr std::size_t kMaxLineBytes = 256;
    // Rings closer together than this belong to one call.
    static constexpr std::uint64_t kRingGapMs = 10000;
    // Caller-ID lines without a name and without a following ring become a call after this
    // much quiet.
    static constexpr std::uint64_t kFieldsQuietMs = 2000;

    // The calls that the bytes complete.
    std::vector<TelephonyCall> Feed(std::string_view bytes, std::uint64_t now_ms);
    // The call whose caller-ID lines have been quiet long enough, if any.
    std::optional<TelephonyCall> Flush(std::uint64_t now_ms);
    // Milliseconds until Flush has something to give; none while nothing waits.
    std::optional<std::uint64_t> FlushDueInMs(std::uint64_t now_ms) const;

    // The result code seen since the last call, if any.
    ModemResult TakeResult();

    // What one whole line (no line break) tells: for the parts of a record and the unformatted
    // message. Public for the tests and the fuzz target.
    std::optional<TelephonyCall> Line(std::string_view line, std::uint64_t now_ms);

private:
    TelephonyCall Take();

    ModemResult result_ = ModemResult::None;
    std::string line_;
    bool dropping_ = false; // inside a line longer than the limit
    TelephonyCall pending_;
    bool has_fields_ = false;
    bool has_number_ = false;
    bool has_name_ = false;
    std::uint64_t fields_at_ms_ = 0;
    std::optional<std::uint64_t> last_ring_ms_;
    bool ring_reported_ = false; // a call was reported for the current run of rings
};

// The number and name in an unformatted caller-ID message (hex digits, as MESG reports it):
// none when it is not a well-formed single- or multiple-data message with a valid checksum.
std::optional<TelephonyCall> DecodeCallerIdMessage(std::string_view hex);

} // namespace velk
