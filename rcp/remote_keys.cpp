#include "rcp/remote_keys.h"

#include <array>
#include <cstdint>

namespace velk {

namespace {

// In the order of their codes.
constexpr std::array<std::string_view, 62> kKeyNames = {
    "CK_NORTH", "CK_SOUTH", "CK_WEST", "CK_EAST", "CK_PLAY", "CK_PAUSE", "CK_PLAYPAUSE", "CK_STOP",
    "CK_NEXT", "CK_PREVIOUS", "CK_MENU", "CK_INFO", "CK_EXIT", "CK_POWER", "CK_POWER_ON",
    "CK_POWER_OFF", "CK_SEARCH", "CK_ADD", "CK_SHUFFLE", "CK_REPEAT", "CK_VOLUME_UP",
    "CK_VOLUME_DOWN", "CK_BRIGHTNESS", "CK_ROTARY_CLOCKWISE", "CK_ROTARY_COUNTERCLOCKWISE",
    "CK_ROTARY_SWITCH", "CK_SNOOZE", "CK_SOURCE", "CK_SCAN_UP", "CK_SCAN_DOWN", "CK_GROUP",
    "CK_ALARM", "CK_PLAYLISTS", "CK_BROWSE_ARTISTS", "CK_BROWSE_ALBUMS", "CK_BROWSE_SONGS",
    "CK_BROWSE_GENRES", "CK_BROWSE_COMPOSERS", "CK_PRESET_A1", "CK_PRESET_A2", "CK_PRESET_A3",
    "CK_PRESET_A4", "CK_PRESET_A5", "CK_PRESET_A6", "CK_PRESET_B1", "CK_PRESET_B2", "CK_PRESET_B3",
    "CK_PRESET_B4", "CK_PRESET_B5", "CK_PRESET_B6", "CK_PRESET_C1", "CK_PRESET_C2", "CK_PRESET_C3",
    "CK_PRESET_C4", "CK_PRESET_C5", "CK_PRESET_C6", "CK_INTERNET_RADIO", "CK_FM_RADIO",
    "CK_AM_RADIO", "CK_LAST_MUSIC_SERVER", "CK_VOLUME_50", "CK_SELECT",
};

} // namespace

std::string_view RemoteKeyName(VelkRemoteKeys key)
{
    const auto code = static_cast<std::int32_t>(key);
    if (code < 0 || code >= static_cast<std::int32_t>(kKeyNames.size()))
        return {};
    return kKeyNames[static_cast<std::size_t>(code)];
}

std::optional<VelkRemoteKeys> RemoteKeyFromName(std::string_view name)
{
    for (std::size_t code = 0; code < kKeyNames.size(); ++code) {
        if (kKeyNames[code] == name)
            return static_cast<VelkRemoteKeys>(code);
    }
    return std::nullopt;
}

} // namespace velk
