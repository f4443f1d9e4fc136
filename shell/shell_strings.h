// The texts of the player pages, the telnet verb and the setup wizard, in one place.
#pragma once

namespace velk::shell_text {

inline constexpr const char* kCaption = "Velk Melodeck";
inline constexpr const char* kTelnetMenuText = "&Telnet";
inline constexpr const char* kTelnetVerb = "telnet";
inline constexpr const char* kTelnetHelp = "Open up a telnet connection to your Melodeck";

inline constexpr const char* kNoTerminal =
    "No terminal emulator was found to open the telnet window in. Install one (the desktop's "
    "x-terminal-emulator), or name it in the TERMINAL environment variable.";
inline constexpr const char* kNoTelnet =
    "The telnet program is not installed. Install it (the package \"telnet\") to open a telnet "
    "window on the Melodeck.";
inline constexpr const char* kNoPlayerAddress =
    "The Melodeck gives no address that a telnet window could connect to (its presentation URL "
    "names no host name or IP address).";
inline constexpr const char* kTerminalFailed = "The terminal emulator %1 could not be started.";

inline constexpr const char* kConnecting = "Connecting to %1 (%2)...";
inline constexpr const char* kSetupLink =
    "Please <a href=\"config\">complete the configuration</a> of the device.";
inline constexpr const char* kDisabled = "Remote control has been disabled for this Melodeck.";

inline constexpr const char* kUpgradeQuestion =
    "A new version of Velk firmware %1.%2.%3 is available. Do you want to install it now?";
inline constexpr const char* kNoUpgrade =
    "No Upgrade is available. This may because the firmware is still in beta or the Velk "
    "website is not currently reachable.";
inline constexpr const char* kUpgraded =
    "Your firmware has now been upgraded and the Melodeck rebooted. Please close the property "
    "page and reselect the Melodeck.";
inline constexpr const char* kUpgradeFailed = "The firmware upgrade did not complete: %1";

} // namespace velk::shell_text
