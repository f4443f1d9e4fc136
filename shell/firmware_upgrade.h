// The firmware upgrade of a player, shared by the player pages: asks the user (Yes/No), then
// has the player download and burn the offered firmware on the page's worker while a modeless
// dialog shows each stage the player reports; Cancel there stops it at the player's next
// report. A completed upgrade restarts the player. GUI thread.
#pragma once

#include <functional>

#include "rcp/control_session.h"

class QWidget;

namespace velk {

class CPlayerWorker;

// Nothing is sent unless the user answers Yes. done(performed) runs on the GUI thread once the
// upgrade has ended (at once for No); the player's "no upgrade available" and failures are
// told in a message box before.
void RunFirmwareUpgrade(QWidget* parent, CPlayerWorker& worker, FirmwareVersion version,
                        std::function<void(bool performed)> done);

} // namespace velk
