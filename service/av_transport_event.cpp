#include "service/av_transport_event.h"

#include <charconv>
#include <memory>

#include "platform/xml_document.h"

namespace velk {

namespace {

constexpr const char* kAVTransportNamespace = "urn:schemas-upnp-org:metadata-1-0/AVT/";

// The value of one state variable of the instance, if the event has it.
std::optional<std::string> Variable(const XmlDocument& event, std::uint32_t instance_id,
                                    std::string_view name)
{
    const std::string xpath = "//a:Event/a:InstanceID[@val=\"" + std::to_string(instance_id) +
                              "\"]/a:" + std::string(name);
    const auto node = event.SelectSingleNode(xpath);
    return node ? node->Attribute("val") : std::nullopt;
}

std::optional<AVTransportChange::Track> ParseTrack(std::string_view didl)
{
    std::unique_ptr<XmlDocument> document;
    if (FAILED(XmlDocument::Parse(didl, document)))
        return std::nullopt;
    document->SetSelectionNamespaces({
        {"dc", "http://purl.org/dc/elements/1.1/"},
        {"upnp", "urn:schemas-upnp-org:metadata-1-0/upnp/"},
        {"a", "urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/"},
    });
    AVTransportChange::Track track;
    const auto item = document->SelectSingleNode("//a:DIDL-Lite/a:item");
    if (!item)
        return track;
    if (const auto id = item->Attribute("id")) {
        std::int32_t number = 0;
        const auto [end, error] = std::from_chars(id->data(), id->data() + id->size(), number);
        if (error == std::errc() && end == id->data() + id->size())
            track.database_id = number;
    }
    if (const auto res = item->SelectSingleNode("a:res"))
        track.url = res->Text();
    if (const auto album = item->SelectSingleNode("upnp:album"))
        track.album = album->Text();
    return track;
}

} // namespace

std::optional<AVTransportChange> ParseLastChange(std::string_view xml, std::uint32_t instance_id)
{
    std::unique_ptr<XmlDocument> event;
    if (FAILED(XmlDocument::Parse(xml, event)))
        return std::nullopt;
    event->SetSelectionNamespaces({{"a", kAVTransportNamespace}});
    AVTransportChange change;
    if (const auto metadata = Variable(*event, instance_id, "CurrentTrackMetaData");
        metadata && !metadata->empty())
        change.track = ParseTrack(*metadata);
    change.transport_state = Variable(*event, instance_id, "TransportState");
    change.play_mode = Variable(*event, instance_id, "CurrentPlayMode");
    return change;
}

bool IsIdleTransportState(std::string_view state)
{
    return state == "NO_MEDIA_PRESENT" || state == "PAUSED_PLAYBACK" || state == "STOPPED";
}

} // namespace velk
