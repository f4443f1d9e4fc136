// What a player's UPnP media renderer reports: the AVTransport and RenderingControl state as
// plain values, taken from the Player on the loop thread and handed to the UPnP thread, and the
// XML documents built from it (LastChange events, DIDL-Lite track metadata).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/sim/player.h"

namespace velk::sim {

struct RendererState {
    std::string transport_state = "NO_MEDIA_PRESENT"; // PLAYING, PAUSED_PLAYBACK, STOPPED, ...
    std::string play_mode = "NORMAL";                 // NORMAL, SHUFFLE, REPEAT_ONE, REPEAT_ALL
    int number_of_tracks = 0;
    int current_track = 0; // 1-based; 0 with nothing queued
    std::string track_uri;
    std::string track_metadata; // DIDL-Lite, empty with nothing queued
    std::string track_duration = "0:00:00";
    std::string position = "0:00:00";
    int volume = 0;
    bool muted = false;

    static RendererState Of(const Player& player);

    bool operator==(const RendererState&) const = default;
};

// The play modes a renderer accepts, as (shuffle, repeat) for the player; nullopt for others.
struct PlayMode {
    bool shuffle;
    RepeatMode repeat;
};
std::optional<PlayMode> PlayModeFromWord(std::string_view word);

// "h:mm:ss".
std::string UpnpDuration(std::int64_t milliseconds);
// Text safe inside an XML element or attribute value.
std::string XmlEscape(std::string_view text);
// A DIDL-Lite document for one song; the item id is the song's database id.
std::string TrackMetadata(const Song& song);
// The AVTransport LastChange document: every variable when previous is nullptr, otherwise only
// the ones that differ. Empty when nothing differs.
std::string AvTransportLastChange(const RendererState& state, const RendererState* previous);
std::string RenderingControlLastChange(const RendererState& state, const RendererState* previous);

} // namespace velk::sim
