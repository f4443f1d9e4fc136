// Where the data service's settings live in the machine hive, as the service reads them and the
// configuration side writes them. The providers':
//   DataProviders\<player key>           "Classes": the providers the player is given to
//   DataProviders\<player key>\<CLSID>   "Parameters": the host header, then the provider's
//                                        state for that player
//   Globals\<CLSID>                      "Parameters": the provider's state for all players
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velk {

inline constexpr const char* kDataServerKey = "SOFTWARE\\Velk\\DataServer";
// Where the service's automation endpoint listens (the service's own settings, under
// kDataServerKey).
inline constexpr const char* kAutomationAddressValue = "AutomationAddress";
inline constexpr const char* kAutomationPortValue = "AutomationPort";

inline constexpr std::string_view kDataProvidersKey = "SOFTWARE\\Velk\\DataServer\\DataProviders";
inline constexpr std::string_view kGlobalsKey = "SOFTWARE\\Velk\\DataServer\\Globals";
inline constexpr std::string_view kClassesValue = "Classes";
inline constexpr std::string_view kParametersValue = "Parameters";

// A player's key under DataProviders: its UDN without "uuid:". None for a UDN that names no
// single key (too short, or holding a key separator).
std::optional<std::string> PlayerKey(std::string_view udn);
// The UDN of the player with that key.
std::string UdnOfPlayerKey(std::string_view player_key);
// DataProviders\<player key>.
std::string PlayerKeyPath(std::string_view player_key);

} // namespace velk
