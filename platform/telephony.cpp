#include "platform/telephony.h"

#include <chrono>

#include "platform/modem_line.h"
#include "platform/scripted_line.h"

namespace velk {

std::unique_ptr<TelephonyLine> OpenTelephonyLine(const std::string& device, CallHandler on_call)
{
    if (device.starts_with(kScriptedLinePrefix))
        return std::make_unique<ScriptedLine>(device.substr(kScriptedLinePrefix.size()), std::move(on_call));
    return std::make_unique<ModemLine>(device, std::move(on_call));
}

std::uint64_t TelephonyNowMs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

} // namespace velk
