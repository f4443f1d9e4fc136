// Whether the data service runs on this machine, for the pages whose actions differ by it: its
// systemd unit is active, or its automation endpoint (HKLM SOFTWARE\Velk\DataServer
// "AutomationAddress", "AutomationPort"; 127.0.0.1:4445 by default) takes a connection. Blocks
// for at most a few seconds; any thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/hresult.h"

class QWidget;

namespace velk {

// Where a program on this machine reaches the service's automation endpoint: its address
// (loopback for an endpoint open on every address) and port.
struct ServiceEndpoint {
    std::string address;
    std::uint16_t port;
};
ServiceEndpoint LocalServiceEndpoint();

bool IsDataServiceRunning();

// Starts the service through systemd and waits, showing progress, until its endpoint answers:
// E_ABORT when the user gave up, a service error otherwise. GUI thread.
HRESULT StartDataService(QWidget* parent);

// Asks the running service to reread its providers' settings, through its automation endpoint
// (with the token in $VELK_TOKEN when the endpoint wants one).
HRESULT AskDataServiceToReload();

} // namespace velk
