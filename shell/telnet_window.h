// The telnet verb: the desktop's terminal emulator ($TERMINAL when set, else
// x-terminal-emulator) running "telnet <host> 4444" on the player, started directly with its
// arguments (never through a shell) and left to run on its own. What keeps it from starting
// (no usable address, no terminal, no telnet) is told in a message box. GUI thread.
#pragma once

#include "shell/player_identity.h"

class QWidget;

namespace velk {

// S_OK once the terminal runs; E_INVALIDARG, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) or
// E_FAIL after the message box.
HRESULT OpenTelnetWindow(const PlayerIdentity& player, QWidget* owner);

} // namespace velk
