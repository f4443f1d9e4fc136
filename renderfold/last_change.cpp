#include "renderfold/last_change.h"

#include <charconv>
#include <memory>

#include "platform/encoding.h"
#include "platform/xml_document.h"

namespace velk {

namespace {

constexpr std::string_view kNotImplemented = "NOT_IMPLEMENTED";

// The document parsed with its one event namespace as prefix "a"; none when it is too large or
// no XML. Its depth is bounded by the XML layer (libxml2 refuses nesting beyond 256 levels).
std::unique_ptr<XmlDocument> ParseEvent(std::string_view document, std::string_view ns)
{
    std::unique_ptr<XmlDocument> parsed;
    if (document.size() > kMaxLastChangeBytes || FAILED(XmlDocument::Parse(document, parsed)))
        return nullptr;
    parsed->SetSelectionNamespaces({{"a", std::string(ns)}});
    return parsed;
}

std::string InstancePath(std::uint32_t instance)
{
    return "//a:Event/a:InstanceID[@val=\"" + std::to_string(instance) + "\"]";
}

// The val attribute of the instance's variable; none when the event does not name it.
std::optional<std::string> InstanceValue(const XmlDocument& event, std::uint32_t instance,
                                         std::string_view variable)
{
    const auto node = event.SelectSingleNode(
        InstancePath(instance) + "/a:" + std::string(variable));
    if (!node)
        return std::nullopt;
    return node->Attribute("val");
}

std::string FieldOf(const XmlDocument& didl, std::string_view xpath)
{
    const auto node = didl.SelectSingleNode(xpath);
    if (!node)
        return {};
    const std::string text = node->Text();
    return text == kNotImplemented ? std::string() : ShownText(text);
}

} // namespace

std::string ShownText(std::string_view text)
{
    std::string shown = ToValidUtf8(Utf8Prefix(text, kMaxShownTextBytes));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    // The replacement characters may have made it longer.
    return std::string(Utf8Prefix(shown, kMaxShownTextBytes));
}

std::optional<std::uint32_t> ParseVolume(std::string_view text)
{
    std::uint32_t volume = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), volume);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || volume > 100)
        return std::nullopt;
    return volume;
}

TrackInfo ParseTrackMetaData(std::string_view didl)
{
    std::unique_ptr<XmlDocument> parsed;
    if (didl.empty() || didl == kNotImplemented || didl.size() > kMaxTrackMetaDataBytes ||
        FAILED(XmlDocument::Parse(didl, parsed)))
        return {};
    parsed->SetSelectionNamespaces({
        {"a", "urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/"},
        {"dc", "http://purl.org/dc/elements/1.1/"},
        {"upnp", "urn:schemas-upnp-org:metadata-1-0/upnp/"},
    });
    return {
        .title = FieldOf(*parsed, "//a:DIDL-Lite/a:item/dc:title"),
        .artist = FieldOf(*parsed, "//a:DIDL-Lite/a:item/upnp:artist"),
        .album = FieldOf(*parsed, "//a:DIDL-Lite/a:item/upnp:album"),
        .composer = FieldOf(*parsed, "//a:DIDL-Lite/a:item/upnp:author[@role=\"Composer\"]"),
    };
}

HRESULT ParseLastChange(std::string_view document, std::uint32_t instance, RendererChanges& changes)
{
    changes = {};
    const auto event = ParseEvent(document, "urn:schemas-upnp-org:metadata-1-0/AVT/");
    if (!event)
        return E_INVALIDARG;
    if (const auto word = InstanceValue(*event, instance, "TransportState")) {
        changes.transport_state = TransportStateFromWord(*word);
        if (*changes.transport_state == AV_TRANSPORT_UNKNOWN)
            return S_OK;
    }
    if (const auto word = InstanceValue(*event, instance, "CurrentPlayMode"))
        changes.play_mode = PlayModeFromWord(*word);
    if (const auto duration = InstanceValue(*event, instance, "CurrentTrackDuration"))
        changes.track_duration = *duration == kNotImplemented ? std::string() : ShownText(*duration);
    if (const auto metadata = InstanceValue(*event, instance, "CurrentTrackMetaData"))
        changes.track = ParseTrackMetaData(*metadata);
    return S_OK;
}

HRESULT ParseVolumeChange(std::string_view document, std::uint32_t instance, RendererChanges& changes)
{
    changes = {};
    const auto event = ParseEvent(document, "urn:schemas-upnp-org:metadata-1-0/RCS/");
    if (!event)
        return E_INVALIDARG;
    const auto node = event->SelectSingleNode(InstancePath(instance) +
                                                "/a:Volume[@channel=\"Master\"]");
    if (node) {
        if (const auto value = node->Attribute("val"))
            changes.volume = ParseVolume(*value);
    }
    return S_OK;
}

} // namespace velk
