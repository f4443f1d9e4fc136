#include "display/player_list.h"

#include <algorithm>

#include "display/service_calls.h"

namespace velk {

HRESULT ListPlayers(const DispatchablePtr& root, std::vector<PlayerEntry>& players,
                    const PlayerListProgress& progress)
{
    players.clear();
    if (!root)
        return E_POINTER;
    DispatchablePtr devices;
    HRESULT hr = GetObject(root, "VelkDevices", devices);
    if (FAILED(hr))
        return hr;
    Variant count_value;
    hr = CallMember(devices, "Count", MemberKind::PropertyGet, {}, count_value);
    std::int32_t count = 0;
    if (SUCCEEDED(hr))
        hr = count_value.ToInt32(count);
    if (FAILED(hr))
        return hr;
    count = std::clamp(count, 0, kMaxListedPlayers);
    for (std::int32_t i = 0; i < count; ++i) {
        DispatchablePtr player;
        PlayerEntry entry;
        if (SUCCEEDED(GetObject(devices, "Item", player, {Variant(i)}, MemberKind::Method)) &&
            SUCCEEDED(GetString(player, "Name", entry.name)) &&
            SUCCEEDED(GetString(player, "UDN", entry.udn)) && !entry.udn.empty() &&
            entry.udn.size() <= kMaxPlayerTextChars) {
            entry.name.resize(std::min(entry.name.size(), kMaxPlayerTextChars));
            players.push_back(std::move(entry));
        }
        if (progress)
            progress(i + 1, count);
    }
    return S_OK;
}

} // namespace velk
