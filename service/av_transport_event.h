// What a player's AVTransport "LastChange" event says, read from its XML: the current track's
// URL, album and database id (from its DIDL-Lite metadata), the transport state and the play
// mode. The service follows these to keep the player's playing flag, raise the session's events
// and count plays in the shared music libraries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk {

struct AVTransportChange {
    struct Track {
        std::string url;
        std::string album;
        std::optional<std::int32_t> database_id;
    };

    // Set when the event carries non-empty track metadata (a DIDL-Lite document that loads).
    std::optional<Track> track;
    std::optional<std::string> transport_state;
    std::optional<std::string> play_mode;
};

// Reads the variables of one instance; none when the event is not XML.
std::optional<AVTransportChange> ParseLastChange(std::string_view xml, std::uint32_t instance_id);

// The transport states in which the player plays nothing.
bool IsIdleTransportState(std::string_view state);

} // namespace velk
