// The readiness check every player page runs as it opens, on its worker (each step may wait for
// the player): connect (a player named by host name at its IPv4 address) and enter control mode, ask whether the initial setup is done (and, when
// not, fetch what the setup wizard offers, so that the wizard shows on the GUI thread without
// waiting), then read the firmware, the offered upgrade and the connected music server. The
// setup choices made in the wizard are sent by ApplyInitialSetup. Worker thread.
#pragma once

#include <string>
#include <vector>

#include "rcp/control_session.h"

namespace velk {

// What the setup wizard offers, read from the player; and what the user chose there.
struct InitialSetup {
    // At most kMaxSetupChoices entries each.
    std::vector<std::string> regions;
    std::vector<std::string> time_zones;
    std::vector<std::string> languages;
    std::string region;
    std::string time_zone;
    std::string language;
    // The steps still to do ("Region", "TimeZone", "Language", "TermsOfService"); every one
    // when the player does not say.
    std::vector<std::string> required_steps;
    std::string terms_url;
    bool terms_accepted = false;

    bool Requires(std::string_view step) const;
};

// The first part: S_OK with setup_complete, or the failure (E_RCP_SHELL_DISABLED for a player
// whose remote control is off, E_RCP_SOCKET and the like for one that cannot be reached).
struct SetupCheck {
    HRESULT hr = E_FAIL;
    bool setup_complete = true;
    InitialSetup setup; // filled when the setup is not complete
};

// The outcome: S_OK, E_RCP_DISCONNECTED (reachable, no music server connected) or a failure.
struct Readiness {
    HRESULT hr = E_FAIL;
    FirmwareVersion firmware;
    FirmwareVersion offered_upgrade; // 0.0.0: none
    ConnectedServer server;
};

inline constexpr std::size_t kMaxSetupChoices = 1000;

SetupCheck ConnectAndCheckSetup(CControlSession& session, const std::string& host);
// E_FAIL when the player refused a step.
HRESULT ApplyInitialSetup(CControlSession& session, const InitialSetup& setup);
Readiness FinishReadinessCheck(CControlSession& session);

} // namespace velk
