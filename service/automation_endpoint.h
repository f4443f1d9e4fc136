// Where the service offers its objects to other programs: the automation server's address, port,
// access token and the host names clients may call it by, from HKLM SOFTWARE\Velk\DataServer
// ("AutomationAddress", "AutomationPort", "AutomationToken", "AutomationHostNames": REG_MULTI_SZ
// or one REG_SZ). Missing values keep the defaults: 127.0.0.1, port 4445, no token, no names
// beside the numeric addresses and "localhost".
//
// Every local user may read the machine hive, so the token is kept there protected with the
// machine key (data_protection.h), which only root and the service's account may read:
// "AutomationToken" as REG_BINARY, written by `velk -SetToken`. A token kept as REG_SZ text (as
// earlier versions kept it) still counts, with a warning in the event log on every start.
#pragma once

#include <cstddef>
#include <iosfwd>

#include "automation/automation_server.h"

namespace velk {

// The longest token: it travels in every request's header.
constexpr std::size_t kMaxAutomationTokenChars = 1024;

// The endpoint's settings. A failure when a protected token cannot be opened (damaged, sealed
// on another machine, the machine key unreadable): the endpoint then stays closed rather than
// open without the token it was given.
HRESULT ReadAutomationOptions(AutomationServer::Options& options);

// `velk -SetToken`: stores the token that input holds (one line break at its end is not part
// of it) protected, in place of any earlier one; an empty input removes the token. The token is
// up to kMaxAutomationTokenChars visible ASCII characters (E_INVALIDARG otherwise); messages
// tells what went wrong.
HRESULT SetAutomationToken(std::istream& input, std::ostream& messages);

} // namespace velk
