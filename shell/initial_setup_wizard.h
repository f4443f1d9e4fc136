// The initial-setup wizard of a player that has not been set up: its country, time zone and
// language (from the lists the player offered), then its maker's terms of service with "I
// agree". The lists were fetched before, so the wizard never waits for the player. GUI thread.
#pragma once

#include "shell/readiness_check.h"

class QWidget;

namespace velk {

// True when the user finished the wizard; setup then holds the choices.
bool RunInitialSetupWizard(QWidget* parent, InitialSetup& setup);

} // namespace velk
