// The players a data service knows, by name and UDN, as the connection page and the screen
// saver's dialog offer them. Any thread; blocks while the service answers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "automation/dispatch.h"

namespace velk {

struct PlayerEntry {
    std::string name;
    std::string udn;
};

// A service's answers are not trusted: at most this many players are listed, a longer name is
// cut and a player with a longer UDN left out.
constexpr int kMaxListedPlayers = 256;
constexpr std::size_t kMaxPlayerTextChars = 256;

// Called after each player with the number done and the number announced (both capped).
using PlayerListProgress = std::function<void(int done, int count)>;

// The players of the service whose root object is `root`, in the service's order. A player that
// cannot be read is left out; the service's failure to give its list comes back.
HRESULT ListPlayers(const DispatchablePtr& root, std::vector<PlayerEntry>& players,
                    const PlayerListProgress& progress = {});

} // namespace velk
