#include "service/av_transport_event.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

// A LastChange event as players send it: the DIDL-Lite metadata escaped inside its attribute.
std::string Event(std::string_view variables)
{
    return "<Event xmlns=\"urn:schemas-upnp-org:metadata-1-0/AVT/\"><InstanceID val=\"0\">" +
           std::string(variables) + "</InstanceID></Event>";
}

constexpr const char* kMetadata =
    "&lt;DIDL-Lite xmlns=&quot;urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/&quot; "
    "xmlns:dc=&quot;http://purl.org/dc/elements/1.1/&quot; "
    "xmlns:upnp=&quot;urn:schemas-upnp-org:metadata-1-0/upnp/&quot;&gt;"
    "&lt;item id=&quot;1234&quot;&gt;&lt;dc:title&gt;Song&lt;/dc:title&gt;"
    "&lt;upnp:album&gt;Blue &amp;amp; Green&lt;/upnp:album&gt;"
    "&lt;res protocolInfo=&quot;http-get:*:audio/mpeg:*&quot;&gt;http://10.0.0.5/1234.mp3&lt;/res&gt;"
    "&lt;/item&gt;&lt;/DIDL-Lite&gt;";

TEST(AVTransportEvent, ReadsTrackStateAndPlayMode)
{
    const auto change = ParseLastChange(
        Event("<TransportState val=\"PLAYING\"/><CurrentPlayMode val=\"SHUFFLE\"/>"
              "<CurrentTrackMetaData val=\"" + std::string(kMetadata) + "\"/>"),
        0);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->transport_state, "PLAYING");
    EXPECT_EQ(change->play_mode, "SHUFFLE");
    ASSERT_TRUE(change->track);
    EXPECT_EQ(change->track->url, "http://10.0.0.5/1234.mp3");
    EXPECT_EQ(change->track->album, "Blue & Green");
    EXPECT_EQ(change->track->database_id, 1234);
}

TEST(AVTransportEvent, AbsentOrDamagedPartsAreSkipped)
{
    // Another instance, empty metadata, metadata that is not XML, an id that is no number.
    auto other = ParseLastChange(Event("<TransportState val=\"PLAYING\"/>"), 1);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->transport_state);

    auto empty = ParseLastChange(Event("<CurrentTrackMetaData val=\"\"/>"), 0);
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->track);

    auto broken = ParseLastChange(Event("<CurrentTrackMetaData val=\"&lt;DIDL\"/>"), 0);
    ASSERT_TRUE(broken);
    EXPECT_FALSE(broken->track);

    auto no_id = ParseLastChange(
        Event("<CurrentTrackMetaData val=\"&lt;DIDL-Lite "
              "xmlns=&quot;urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/&quot;&gt;&lt;item "
              "id=&quot;x12&quot;/&gt;&lt;/DIDL-Lite&gt;\"/>"),
        0);
    ASSERT_TRUE(no_id && no_id->track);
    EXPECT_FALSE(no_id->track->database_id);

    EXPECT_FALSE(ParseLastChange("<Event", 0));
}

TEST(AVTransportEvent, IdleStates)
{
    for (const char* idle : {"NO_MEDIA_PRESENT", "PAUSED_PLAYBACK", "STOPPED"})
        EXPECT_TRUE(IsIdleTransportState(idle)) << idle;
    for (const char* busy : {"PLAYING", "TRANSITIONING", "stopped", ""})
        EXPECT_FALSE(IsIdleTransportState(busy)) << busy;
}

} // namespace
} // namespace velk
