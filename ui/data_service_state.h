// Whether the data service runs on this machine, for the pages whose actions differ by it: its
// systemd unit is active, or its automation endpoint (HKLM SOFTWARE\Velk\DataServer
// "AutomationAddress", "AutomationPort"; 127.0.0.1:4445 by default) takes a connection. Blocks
// for at most a few seconds; any thread.
#pragma once

namespace velk {

bool IsDataServiceRunning();

} // namespace velk
