// Where the service offers its objects to other programs: the automation server's address, port
// and access token, from HKLM SOFTWARE\Velk\DataServer ("AutomationAddress", "AutomationPort",
// "AutomationToken"). Missing values keep the defaults: 127.0.0.1, port 4445, no token.
#pragma once

#include "automation/automation_server.h"

namespace velk {

AutomationServer::Options ReadAutomationOptions();

} // namespace velk
