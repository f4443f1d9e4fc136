// Songs: the song information lines, and the fetch that fills a listed song.
#include "rcp/rcp_song.h"

#include <gtest/gtest.h>

#include "rcp/rcp_lists.h"
#include "rcp/testdata/scripted_session.h"

namespace velk {
namespace {

using testing::LinesReply;
using testing::ListReply;
using testing::ScriptedSession;
using testing::ValueReply;

SongInfo Parse(const std::vector<std::string>& lines)
{
    SongInfo info;
    for (const auto& line : lines)
        ApplySongInfoLine(info, line);
    return info;
}

TEST(RcpSongInfo, FieldsFromTheirKeys)
{
    const SongInfo info = Parse({
        "title: Take Five: Live",
        "artist: Dave Brubeck",
        "trackLengthMS: 215999",
        "trackNumber: 3",
        "year: 1959",
        "year: nineteen", // a malformed number leaves the last good one
        "tunerFrequency: 89300",
        "compilation: no",
        "disabled: 0",
        "comment: ",
        "no colon here",
        "unknownKey: whatever",
    });
    EXPECT_EQ(info.title, "Take Five: Live");
    EXPECT_EQ(info.artist, "Dave Brubeck");
    EXPECT_EQ(info.duration_seconds, 215);
    EXPECT_EQ(info.track_number, 3);
    EXPECT_EQ(info.year, 1959);
    EXPECT_EQ(info.frequency, 89300);
    EXPECT_TRUE(info.compilation);
    EXPECT_FALSE(info.disabled);
    EXPECT_TRUE(Parse({"disabled: 1"}).disabled);
    EXPECT_EQ(Parse({"trackLengthMS: -5"}).duration_seconds, 0);
}

TEST(RcpSongInfo, ResourceIndexesFillOrAppendButNeverSkip)
{
    const SongInfo info = Parse({
        "resource[0] url: http://a/1.mp3", "resource[0] sampleRate: 44100",
        "resource[1] url: http://a/1.flac", "resource[1] sizeBytes: 30000000000",
        "resource[0] bitrate: 320",   // fills the first again
        "resource[3] url: http://x",  // beyond the next one: ignored
        "resource[-1] url: http://x", // ignored
        "resource[x] url: http://x",  // ignored
        "resource[1] bitsPerSample: 16",
        "resource[1]", // nothing after the bracket
    });
    ASSERT_EQ(info.resources.size(), 2u);
    EXPECT_EQ(info.resources[0].url, "http://a/1.mp3");
    EXPECT_EQ(info.resources[0].sample_rate, 44100);
    EXPECT_EQ(info.resources[0].bit_rate, 320);
    EXPECT_EQ(info.resources[1].url, "http://a/1.flac");
    EXPECT_EQ(info.resources[1].size, 30000000000);
}

TEST(RcpSong, FetchingAListedSongReadsItsInformation)
{
    ScriptedSession player({
        {"ListSongs", ListReply("ListSongs", {"Blue Rondo", "Take Five"})},
        {"GetSongInfo 1",
         LinesReply("GetSongInfo", {"title: Take Five", "album: Time Out", "trackLengthMS: 215999",
                                    "resource[0] url: http://h/5.mp3"})},
        {"GetSongInfo 0", ValueReply("GetSongInfo", "ParameterError")},
    });
    std::shared_ptr<IEnumRCPSong> songs;
    ASSERT_EQ(ListSongs(player.session(), "ListSongs", {}, songs), S_OK);
    EXPECT_EQ(player.Sent(), std::vector<std::string>{"ListSongs "});

    std::shared_ptr<IRCPSong> song;
    ASSERT_EQ(songs->Item(Variant(1), song), S_OK);
    std::string album;
    song->get_Album(album);
    EXPECT_EQ(album, "Time Out");
    Date duration;
    song->get_Duration(duration);
    EXPECT_EQ(duration, Date(215 / 86400.0));
    std::shared_ptr<IEnumRCPSongResource> resources;
    ASSERT_EQ(song->get_Resources(resources), S_OK);
    std::shared_ptr<IRCPSongResource> resource;
    ASSERT_EQ(resources->Item(Variant(0), resource), S_OK);
    std::string url;
    resource->get_URL(url);
    EXPECT_EQ(url, "http://h/5.mp3");

    // Each fetch asks again, through the enumerator too; a failed one fails the fetch.
    player.Forget();
    std::shared_ptr<IEnumVARIANT> items;
    ASSERT_EQ(songs->get__NewEnum(items), S_OK);
    std::vector<Variant> fetched;
    ASSERT_EQ(items->Skip(1), S_OK);
    EXPECT_EQ(items->Next(1, fetched), S_OK);
    ASSERT_EQ(items->Reset(), S_OK);
    EXPECT_EQ(items->Next(1, fetched), E_RCP_PARAMETER_ERROR);
    EXPECT_EQ(player.Sent(), (std::vector<std::string>{"GetSongInfo 1", "GetSongInfo 0"}));
}

} // namespace
} // namespace velk
