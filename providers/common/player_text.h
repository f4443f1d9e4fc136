// How the providers put text on a player: in the font its settings give (the player's
// FontSize), then written at the origin or scrolled across the display. Errors of the player
// are not the provider's to report: a player that cannot draw now simply shows nothing new.
// The provider's apartment.
#pragma once

#include <string>

#include "velk/ivelk_device.h"

namespace velk {

void SelectPlayerFont(IVelkDevice& player);
void WriteText(IVelkDevice& player, const std::string& text);
void ScrollText(IVelkDevice& player, const std::string& text);

} // namespace velk
