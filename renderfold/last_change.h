// What a renderer's events and action answers say about it, read from the documents it sends:
// the AVTransport "LastChange" event (state, play mode, track duration and metadata for one
// instance), the RenderingControl "LastChange" (volume), and the DIDL-Lite track metadata.
// Everything here comes from the network: documents and texts are bounded, texts are cut to a
// length a window can show and cleaned of control characters. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/hresult.h"
#include "renderfold/transport_words.h"

namespace velk {

// Larger event documents are dropped whole (a LastChange holds a few KiB at most).
constexpr std::size_t kMaxLastChangeBytes = 64 * 1024;
// Larger track metadata is taken as none.
constexpr std::size_t kMaxTrackMetaDataBytes = 16 * 1024;
// Texts shown in the window (titles, names, durations) are cut to this many bytes.
constexpr std::size_t kMaxShownTextBytes = 256;

struct TrackInfo {
    std::string title;
    std::string artist;
    std::string album;
    std::string composer;

    bool operator==(const TrackInfo&) const = default;
};

// The variables an event changed; those it does not name stay empty.
struct RendererChanges {
    std::optional<tagAVTransportState> transport_state;
    std::optional<PlayMode> play_mode;
    std::optional<std::string> track_duration;
    std::optional<TrackInfo> track;
    std::optional<std::uint32_t> volume; // 0 to 100
};

// The AVTransport LastChange document for `instance`. E_INVALIDARG for a document that is too
// large or not XML. A state word the window does not know gives AV_TRANSPORT_UNKNOWN and
// nothing else of the event.
HRESULT ParseLastChange(std::string_view document, std::uint32_t instance, RendererChanges& changes);
// The RenderingControl LastChange document: the Master channel's volume for `instance`.
HRESULT ParseVolumeChange(std::string_view document, std::uint32_t instance, RendererChanges& changes);
// A DIDL-Lite document's first item; empty fields for "NOT_IMPLEMENTED", an empty, too large or
// malformed document.
TrackInfo ParseTrackMetaData(std::string_view didl);
// A volume as an action or event gives it ("40"); none unless 0 to 100.
std::optional<std::uint32_t> ParseVolume(std::string_view text);

// Text from a device as the window shows it: valid UTF-8, control characters as blanks, at
// most kMaxShownTextBytes.
std::string ShownText(std::string_view text);

} // namespace velk
