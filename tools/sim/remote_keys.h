// The names of the player's remote-control keys, in the order of their codes (CK_NORTH 0 ...
// CK_SELECT 61), as they appear in "IrDemod" events and "IrDispatchCommand" / "irman
// dispatch" arguments.
#pragma once

#include <optional>
#include <string_view>

namespace velk::sim {

constexpr int kRemoteKeyCount = 62;

// nullopt for a name that is not a key (exact, case-sensitive comparison).
std::optional<int> RemoteKeyCode(std::string_view name);
// Empty for a code outside 0..61.
std::string_view RemoteKeyName(int code);

} // namespace velk::sim
