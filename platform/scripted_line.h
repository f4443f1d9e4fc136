// A telephony line that plays a modem's reports from a file: each line of the file is a line
// the modem would send ("RING", "NMBR = 5551234", ...), except "WAIT <ms>", which waits that
// long first. The file is read once, at most kMaxScriptBytes of it. Its thread is its own.
#pragma once

#include <thread>

#include "platform/event.h"
#include "platform/telephony.h"

namespace velk {

class ScriptedLine : public TelephonyLine {
public:
    static constexpr std::size_t kMaxScriptBytes = 64 * 1024;

    ScriptedLine(std::string path, CallHandler on_call);
    ~ScriptedLine() override;

private:
    void Play();
    // Waits on the stop event; false when the line stops.
    bool Wait(std::uint32_t timeout_ms);

    const std::string path_;
    const CallHandler on_call_;
    Event stop_;
    std::thread thread_;
};

} // namespace velk
