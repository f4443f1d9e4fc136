// velkconfig: a Melodeck player's property sheet with administrator rights. "Run as
// administrator" in the Media Players window starts it through pkexec with the player's UDN; by
// hand it takes the player's UDN or address. It hosts the property-sheet handlers registered for
// Melodeck players, so that the pages that write machine-wide settings appear. GUI thread.
#pragma once

#include <QStringList>

class QWidget;

namespace velk {

inline constexpr const char* kConfigToolCaption = "Velk Data Service";

// Runs the tool for its arguments (the program name not included); the exit status. Without a
// player it says where players are configured; a player that cannot be found, or for which no
// page can be loaded, shows no sheet (after saying so) and ends with status 1.
int RunConfigTool(const QStringList& arguments);

} // namespace velk
