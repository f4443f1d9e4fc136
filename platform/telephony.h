// The machine's telephony lines with caller ID, in place of TAPI: a voice/data modem on a
// serial device, or a scripted line that plays a modem's reports from a file (for tests and
// the demo). Each line watches on a thread of its own, started when the line is opened and
// stopped and joined when it is destroyed; every call it reports goes to the handler on that
// thread, so the owner hands it on to its own apartment.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/caller_id_parser.h"

namespace velk {

using CallHandler = std::function<void(const TelephonyCall& call)>;

class TelephonyLine {
public:
    virtual ~TelephonyLine() = default;
};

// A device names the line: "script:PATH" a scripted line, anything else a serial device path.
inline constexpr std::string_view kScriptedLinePrefix = "script:";
std::unique_ptr<TelephonyLine> OpenTelephonyLine(const std::string& device, CallHandler on_call);

// Milliseconds of a steady clock, for the parsers of the lines.
std::uint64_t TelephonyNowMs();

} // namespace velk
