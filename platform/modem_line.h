// A voice/data modem on a serial device (a user of the dialout group may open it): opened raw,
// switched into caller-ID reporting (AT+VCID=1, or AT#CID=1 on modems that know only that),
// and read for its reports until the line is destroyed. A modem that cannot be opened, or that
// vanishes (unplugged), is opened again when it comes back. Its thread is its own.
#pragma once

#include <thread>

#include "platform/event.h"
#include "platform/telephony.h"

namespace velk {

class ModemLine : public TelephonyLine {
public:
    // How often a missing modem is looked for; how long a command may wait for its result.
    static constexpr std::uint32_t kReopenIntervalMs = 2000;
    static constexpr std::uint32_t kCommandTimeoutMs = 3000;

    ModemLine(std::string device, CallHandler on_call);
    ~ModemLine() override;

private:
    void Watch();
    // Reads the open modem until it goes away or the line stops.
    void Serve(int fd);
    // Sends a command and waits for its result; calls that arrive meanwhile are reported.
    ModemResult Command(int fd, std::string_view command);
    // Reads what is there; false when the modem went away.
    bool ReadSome(int fd);

    const std::string device_;
    const CallHandler on_call_;
    CallerIdParser parser_;
    Event stop_;
    std::thread thread_;
};

} // namespace velk
