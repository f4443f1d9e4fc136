// The remote-control keys by name: the words the player uses for them on the wire ("IrDemod",
// "IrDispatchCommand", "irman dispatch"), which are also the names of VelkRemoteKeys.
#pragma once

#include <optional>
#include <string_view>

#include "velk/velk_enums.h"

namespace velk {

// The key's wire name; empty for a code outside the enumeration.
std::string_view RemoteKeyName(VelkRemoteKeys key);

// The key with exactly that name, if any.
std::optional<VelkRemoteKeys> RemoteKeyFromName(std::string_view name);

} // namespace velk
