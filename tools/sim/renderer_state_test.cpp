#include "tools/sim/renderer_state.h"

#include <gtest/gtest.h>

namespace velk::sim {
namespace {

TEST(RendererState, LastChangeCarriesEverythingFirstAndThenOnlyWhatChanged)
{
    RendererState before;
    before.transport_state = "STOPPED";
    before.track_metadata = "<DIDL-Lite/>";
    RendererState after = before;
    after.transport_state = "PLAYING";

    const std::string full = AvTransportLastChange(before, nullptr);
    EXPECT_TRUE(full.starts_with(
        "<Event xmlns=\"urn:schemas-upnp-org:metadata-1-0/AVT/\"><InstanceID val=\"0\">"));
    EXPECT_NE(full.find("<TransportState val=\"STOPPED\"/>"), std::string::npos);
    EXPECT_NE(full.find("<CurrentPlayMode val=\"NORMAL\"/>"), std::string::npos);
    // The metadata document sits escaped inside its attribute.
    EXPECT_NE(full.find("<CurrentTrackMetaData val=\"&lt;DIDL-Lite/&gt;\"/>"), std::string::npos);

    EXPECT_EQ(AvTransportLastChange(after, &before),
              "<Event xmlns=\"urn:schemas-upnp-org:metadata-1-0/AVT/\"><InstanceID val=\"0\">"
              "<TransportState val=\"PLAYING\"/></InstanceID></Event>");
    EXPECT_EQ(AvTransportLastChange(after, &after), "");

    after.volume = 12;
    EXPECT_EQ(RenderingControlLastChange(after, &before),
              "<Event xmlns=\"urn:schemas-upnp-org:metadata-1-0/RCS/\"><InstanceID val=\"0\">"
              "<Volume channel=\"Master\" val=\"12\"/></InstanceID></Event>");
}

TEST(RendererState, TrackMetadataIsDidlLiteWithTheSongsDatabaseId)
{
    Song song;
    song.id = 42;
    song.title = "Rock & Roll <Live>";
    song.artist = "The Owls";
    song.album = "Night";
    song.composer = "A. Writer";
    song.length_ms = 215999;
    song.resources.push_back(
        {"http://127.0.0.1:3689/items/42.mp3", "audio/mpeg", 44100, 256, 2, 16, 1000});
    const std::string didl = TrackMetadata(song);
    EXPECT_NE(didl.find("<item id=\"42\""), std::string::npos);
    EXPECT_NE(didl.find("<dc:title>Rock &amp; Roll &lt;Live&gt;</dc:title>"), std::string::npos);
    EXPECT_NE(didl.find("<upnp:author role=\"Composer\">A. Writer</upnp:author>"),
              std::string::npos);
    EXPECT_NE(didl.find("duration=\"0:03:35.000\">http://127.0.0.1:3689/items/42.mp3</res>"),
              std::string::npos);
}

TEST(RendererState, OnlyThePlayModesThePlayerHasAreAccepted)
{
    EXPECT_TRUE(PlayModeFromWord("NORMAL"));
    EXPECT_TRUE(PlayModeFromWord("SHUFFLE")->shuffle);
    EXPECT_EQ(PlayModeFromWord("REPEAT_ONE")->repeat, RepeatMode::One);
    EXPECT_EQ(PlayModeFromWord("REPEAT_ALL")->repeat, RepeatMode::All);
    for (const char* word : {"RANDOM", "INTRO", "DIRECT_1", "normal", ""})
        EXPECT_FALSE(PlayModeFromWord(word)) << word;
}

} // namespace
} // namespace velk::sim
