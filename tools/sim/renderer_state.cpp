#include "tools/sim/renderer_state.h"

#include <cstdio>

namespace velk::sim {
namespace {

constexpr std::string_view kAvtNamespace = "urn:schemas-upnp-org:metadata-1-0/AVT/";
constexpr std::string_view kRcsNamespace = "urn:schemas-upnp-org:metadata-1-0/RCS/";

std::string PlayModeWord(const Player& player)
{
    if (player.shuffle())
        return "SHUFFLE";
    switch (player.repeat()) {
    case RepeatMode::One:
        return "REPEAT_ONE";
    case RepeatMode::All:
        return "REPEAT_ALL";
    case RepeatMode::None:
        break;
    }
    return "NORMAL";
}

// Appends <name val="value"/> when the value differs from the previous one (or always).
template <typename T>
void Variable(std::string& xml, const char* name, const T& value, const T* previous,
              const std::string& text, const char* extra = "")
{
    if (previous && *previous == value)
        return;
    xml += "<" + std::string(name) + extra + " val=\"" + XmlEscape(text) + "\"/>";
}

std::string Wrap(std::string_view ns, const std::string& variables)
{
    if (variables.empty())
        return {};
    return "<Event xmlns=\"" + std::string(ns) + "\"><InstanceID val=\"0\">" + variables +
           "</InstanceID></Event>";
}

} // namespace

std::string UpnpDuration(std::int64_t milliseconds)
{
    const long long seconds = milliseconds / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

std::string XmlEscape(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&apos;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string TrackMetadata(const Song& song)
{
    std::string xml = "<DIDL-Lite xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\" "
                      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                      "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\">";
    xml += "<item id=\"" + std::to_string(song.id) + "\" parentID=\"0\" restricted=\"1\">";
    xml += "<dc:title>" + XmlEscape(song.title) + "</dc:title>";
    if (!song.artist.empty())
        xml += "<upnp:artist>" + XmlEscape(song.artist) + "</upnp:artist>";
    if (!song.album.empty())
        xml += "<upnp:album>" + XmlEscape(song.album) + "</upnp:album>";
    if (!song.composer.empty())
        xml += "<upnp:author role=\"Composer\">" + XmlEscape(song.composer) + "</upnp:author>";
    if (!song.genre.empty())
        xml += "<upnp:genre>" + XmlEscape(song.genre) + "</upnp:genre>";
    xml += song.length_ms > 0 ? "<upnp:class>object.item.audioItem.musicTrack</upnp:class>"
                              : "<upnp:class>object.item.audioItem.audioBroadcast</upnp:class>";
    if (!song.resources.empty()) {
        const SongResource& resource = song.resources[0];
        xml += "<res protocolInfo=\"http-get:*:" + XmlEscape(resource.format) + ":*\"";
        if (song.length_ms > 0)
            xml += " duration=\"" + UpnpDuration(song.length_ms) + ".000\"";
        xml += ">" + XmlEscape(resource.url) + "</res>";
    }
    xml += "</item></DIDL-Lite>";
    return xml;
}

RendererState RendererState::Of(const Player& player)
{
    RendererState state;
    const Song* song = player.CurrentSong();
    state.number_of_tracks = static_cast<int>(player.queue().size());
    if (song) {
        switch (player.transport()) {
        case Transport::Play:
            state.transport_state = "PLAYING";
            break;
        case Transport::Pause:
            state.transport_state = "PAUSED_PLAYBACK";
            break;
        case Transport::Stop:
            state.transport_state = "STOPPED";
            break;
        }
        state.current_track = player.current_index() + 1;
        state.track_uri = song->resources.empty() ? std::string() : song->resources[0].url;
        state.track_metadata = TrackMetadata(*song);
        state.track_duration = UpnpDuration(song->length_ms);
        state.position = UpnpDuration(player.Elapsed().count());
    }
    state.play_mode = PlayModeWord(player);
    state.volume = player.volume();
    state.muted = player.muted();
    return state;
}

std::optional<PlayMode> PlayModeFromWord(std::string_view word)
{
    if (word == "NORMAL")
        return PlayMode{false, RepeatMode::None};
    if (word == "SHUFFLE")
        return PlayMode{true, RepeatMode::None};
    if (word == "REPEAT_ONE")
        return PlayMode{false, RepeatMode::One};
    if (word == "REPEAT_ALL")
        return PlayMode{false, RepeatMode::All};
    return std::nullopt;
}

std::string AvTransportLastChange(const RendererState& state, const RendererState* previous)
{
    std::string xml;
    const auto* p = previous;
    Variable(xml, "TransportState", state.transport_state, p ? &p->transport_state : nullptr,
             state.transport_state);
    Variable(xml, "CurrentPlayMode", state.play_mode, p ? &p->play_mode : nullptr, state.play_mode);
    Variable(xml, "NumberOfTracks", state.number_of_tracks, p ? &p->number_of_tracks : nullptr,
             std::to_string(state.number_of_tracks));
    Variable(xml, "CurrentTrack", state.current_track, p ? &p->current_track : nullptr,
             std::to_string(state.current_track));
    Variable(xml, "CurrentTrackURI", state.track_uri, p ? &p->track_uri : nullptr, state.track_uri);
    Variable(xml, "CurrentTrackMetaData", state.track_metadata, p ? &p->track_metadata : nullptr,
             state.track_metadata);
    Variable(xml, "CurrentTrackDuration", state.track_duration, p ? &p->track_duration : nullptr,
             state.track_duration);
    return Wrap(kAvtNamespace, xml);
}

std::string RenderingControlLastChange(const RendererState& state, const RendererState* previous)
{
    std::string xml;
    const auto* p = previous;
    Variable(xml, "Volume", state.volume, p ? &p->volume : nullptr, std::to_string(state.volume),
             " channel=\"Master\"");
    Variable(xml, "Mute", state.muted, p ? &p->muted : nullptr,
             std::string(state.muted ? "1" : "0"), " channel=\"Master\"");
    return Wrap(kRcsNamespace, xml);
}

} // namespace velk::sim
