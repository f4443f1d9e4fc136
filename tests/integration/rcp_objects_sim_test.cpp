// The session's result objects against the simulated player: lists, songs, presets,
// playlists, visualizers, time zones, servers, the play queue and the browse containers, end
// to end through a real session.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/apartment.h"
#include "rcp/rcp_session.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;

constexpr std::int32_t kSongs = 300;

class ObjectsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim_.ready());
        ASSERT_EQ(session_->Initialize(nullptr, 0, sim_.address()), S_OK);
    }

    void TearDown() override { session_->OnShutdown(); }

    // The lines the player received, oldest first, without their connection numbers.
    std::vector<std::string> Received()
    {
        std::vector<std::string> lines;
        for (const auto& line : sim_.Control("received " + sim_.address() + " 50")) {
            const auto blank = line.find(' ');
            lines.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
        }
        return lines;
    }

    template <class Collection> std::int32_t CountOf(Collection& collection)
    {
        std::int32_t count = -1;
        EXPECT_EQ(collection.get_Count(count), S_OK);
        return count;
    }

    template <class Collection>
    std::shared_ptr<typename Collection::Item_t> At(Collection& collection, std::int32_t index)
    {
        std::shared_ptr<typename Collection::Item_t> item;
        EXPECT_EQ(collection.Item(Variant(index), item), S_OK);
        return item;
    }

    template <class Item> std::string NameOf(Item& item)
    {
        std::string name;
        EXPECT_EQ(item.get_Name(name), S_OK);
        return name;
    }

    std::shared_ptr<Apartment> apartment_ = Apartment::Create();
    SimProcess sim_{{"--songs", std::to_string(kSongs)}};
    std::shared_ptr<CRCPSession> session_ = std::make_shared<CRCPSession>();
};

TEST_F(ObjectsTest, SongsAreListedAndReadOnAccess)
{
    std::shared_ptr<IEnumRCPList> genres;
    ASSERT_EQ(session_->get_Genres(genres), S_OK);
    EXPECT_GT(CountOf(*genres), 0);

    std::shared_ptr<IEnumRCPSong> songs;
    ASSERT_EQ(session_->get_Songs(songs), S_OK);
    ASSERT_EQ(CountOf(*songs), kSongs);
    const auto song = At(*songs, 7);
    std::int32_t id = 0;
    song->get_ID(id);
    EXPECT_EQ(id, 7);
    std::string artist;
    EXPECT_EQ(song->get_Artist(artist), S_OK);
    EXPECT_FALSE(artist.empty());
    Date duration;
    song->get_Duration(duration);
    EXPECT_GT(duration.value(), 0.0);
    std::shared_ptr<IEnumRCPSongResource> resources;
    ASSERT_EQ(song->get_Resources(resources), S_OK);
    ASSERT_GT(CountOf(*resources), 0);
    std::string url;
    At(*resources, 0)->get_URL(url);
    EXPECT_FALSE(url.empty());
    EXPECT_EQ(Received().back(), "GetSongInfo 7");

    // The enumerator reads every song it hands out.
    std::shared_ptr<IEnumVARIANT> items;
    ASSERT_EQ(songs->get__NewEnum(items), S_OK);
    std::vector<Variant> first;
    ASSERT_EQ(items->Next(3, first), S_OK);
    EXPECT_EQ(Received().back(), "GetSongInfo 2");
}

TEST_F(ObjectsTest, PresetsAreReadOnAccessAndPlayedByID)
{
    std::shared_ptr<IEnumRCPPresets> presets;
    ASSERT_EQ(session_->get_Presets(presets), S_OK);
    ASSERT_EQ(CountOf(*presets), 9);
    int tuners = 0;
    for (std::int32_t i = 0; i < 9; ++i) {
        const auto preset = At(*presets, i);
        RCPPresetType type{};
        preset->get_Type(type);
        if (type != RCPPresetType::PresetTypeFMTuner)
            continue;
        ++tuners;
        std::int32_t frequency = 0;
        RCPServerType server{};
        preset->get_Frequency(frequency);
        preset->get_ServerType(server);
        EXPECT_GT(frequency, 0);
        EXPECT_EQ(server, RCPServerType::ServerTypeFM);
    }
    EXPECT_EQ(tuners, 2);

    EXPECT_EQ(At(*presets, 2)->Play(), S_OK);
    const auto lines = Received();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{"ListPresets ", "PlayPreset 2"}));
}

TEST_F(ObjectsTest, PlaylistPlaysFromItsSongs)
{
    std::shared_ptr<IEnumRCPPlaylist> playlists;
    ASSERT_EQ(session_->get_Playlists(playlists), S_OK);
    ASSERT_GT(CountOf(*playlists), 0);
    const auto playlist = At(*playlists, 0);
    std::shared_ptr<IEnumRCPSong> songs;
    ASSERT_EQ(playlist->get_Songs(songs), S_OK);
    ASSERT_GT(CountOf(*songs), 1);
    const std::string second = NameOf(*At(*songs, 1));

    ASSERT_EQ(playlist->Play(1), S_OK);
    std::shared_ptr<IRCPNowPlayingList> queue;
    ASSERT_EQ(session_->get_NowPlaying(queue), S_OK);
    EXPECT_EQ(CountOf(*queue), CountOf(*songs));
    std::int32_t index = -1;
    EXPECT_EQ(queue->get_CurrentIndex(index), S_OK);
    EXPECT_EQ(index, 1);
    std::shared_ptr<IRCPSong> current;
    ASSERT_EQ(queue->get_CurrentSong(current), S_OK);
    EXPECT_EQ(NameOf(*current), second);
}

TEST_F(ObjectsTest, QueueTakesSongsAndDropsEntries)
{
    std::shared_ptr<IRCPNowPlayingList> queue;
    ASSERT_EQ(session_->get_NowPlaying(queue), S_OK);
    ASSERT_EQ(CountOf(*queue), 10);

    std::shared_ptr<IEnumRCPSong> songs;
    ASSERT_EQ(session_->SearchSongs("a", songs), S_OK);
    ASSERT_GT(CountOf(*songs), 0);
    const auto song = At(*songs, 0);
    ASSERT_EQ(queue->Add(Variant(UnknownPtr(song)), Variant(3)), S_OK);
    ASSERT_EQ(queue->Refresh(), S_OK);
    ASSERT_EQ(CountOf(*queue), 11);
    EXPECT_EQ(NameOf(*At(*queue, 3)), NameOf(*song));

    EXPECT_EQ(At(*queue, 3)->Remove(), S_OK);
    ASSERT_EQ(queue->Refresh(), S_OK);
    EXPECT_EQ(CountOf(*queue), 10);
    EXPECT_EQ(queue->Clear(), S_OK);
    ASSERT_EQ(queue->Refresh(), S_OK);
    EXPECT_EQ(CountOf(*queue), 0);
}

TEST_F(ObjectsTest, VisualizersSelectAndGiveData)
{
    std::shared_ptr<IEnumRCPVisualizers> visualizers;
    ASSERT_EQ(session_->get_Visualizers(visualizers), S_OK);
    ASSERT_EQ(CountOf(*visualizers), 6);
    std::shared_ptr<IRCPVisualizer> scope;
    std::shared_ptr<IRCPVisualizer> clock;
    for (std::int32_t i = 0; i < 6; ++i) {
        auto visualizer = At(*visualizers, i);
        const std::string name = NameOf(*visualizer);
        if (name == "Oscilloscope")
            scope = visualizer;
        else if (name == "Clock")
            clock = visualizer;
    }
    ASSERT_TRUE(scope && clock);
    ASSERT_EQ(scope->Select(), S_OK);
    std::shared_ptr<IRCPVisualizer> current;
    ASSERT_EQ(visualizers->get_CurrentVisualizer(current), S_OK);
    EXPECT_EQ(current, scope);

    Variant data;
    ASSERT_EQ(scope->get_Data(data), S_OK);
    ASSERT_TRUE(data.Get<VariantArray>());
    EXPECT_EQ(data.Get<VariantArray>()->elements.size(), 64u);
    ASSERT_EQ(clock->get_Data(data), S_OK);
    EXPECT_EQ(data, Variant(std::vector<Variant>()));
    ASSERT_EQ(visualizers->get_VisualizerDataVU(data), S_OK);
    EXPECT_EQ(data.Get<VariantArray>()->elements.size(), 2u);
}

TEST_F(ObjectsTest, TimeZonesRegionsAndNetworksAreSelected)
{
    std::shared_ptr<IEnumRCPTimeZones> zones;
    ASSERT_EQ(session_->get_TimeZones(zones), S_OK);
    ASSERT_EQ(CountOf(*zones), 12);
    const auto zone = At(*zones, 4);
    ASSERT_EQ(zone->Select(), S_OK);
    std::string selected;
    ASSERT_EQ(session_->get_TimeZone(selected), S_OK);
    EXPECT_EQ(selected, NameOf(*zone));

    std::shared_ptr<IRCPNetwork> network;
    ASSERT_EQ(session_->get_Network(network), S_OK);
    std::shared_ptr<IEnumRCPRegions> regions;
    ASSERT_EQ(network->get_Regions(regions), S_OK);
    EXPECT_EQ(CountOf(*regions), 10);
    EXPECT_EQ(At(*regions, 2)->Select(), S_OK);
    std::shared_ptr<IEnumRCPWiFiNetworks> networks;
    ASSERT_EQ(network->get_WiFiNetworks(networks), S_OK);
    ASSERT_EQ(CountOf(*networks), 4);
    ASSERT_EQ(At(*networks, 3)->Select(), S_OK);
    ASSERT_EQ(network->get_WiFiNetwork(selected), S_OK);
    EXPECT_EQ(selected, NameOf(*At(*networks, 3)));

    std::int32_t noise = 0;
    EXPECT_EQ(network->SignalQuality(RCPSignalQuality::SignalQualityNoise, noise), S_OK);
    EXPECT_LT(noise, 0);
}

TEST_F(ObjectsTest, ServersConnectWithTheirPassword)
{
    std::shared_ptr<IEnumRCPServers> servers;
    ASSERT_EQ(session_->get_Servers(servers), S_OK);
    std::shared_ptr<IRCPServer> family;
    ASSERT_EQ(servers->Item(Variant("Family Music"), family), S_OK);
    EXPECT_EQ(family->Connect(Variant::Missing()), E_RCP_CONNECTION_FAILED_PASSWORD);
    ASSERT_EQ(family->Connect(Variant("velk")), S_OK);
    EXPECT_EQ(session_->connected_server().name, "Family Music");
    RCPServerType type{};
    family->get_ServerType(type);
    EXPECT_EQ(type, RCPServerType::ServerTypeDAAP);

    std::shared_ptr<IRCPServer> connected;
    ASSERT_EQ(session_->get_ConnectedServer(connected), S_OK);
    EXPECT_EQ(connected, family);
}

TEST_F(ObjectsTest, ContainersAreBrowsedFromTheRoot)
{
    std::shared_ptr<IRCPContainer> root;
    ASSERT_EQ(session_->get_RootContainer(root), S_OK);
    ASSERT_EQ(CountOf(*root), 4);
    const auto artists = At(*root, 0);
    std::string full_name;
    artists->get_FullName(full_name);
    EXPECT_EQ(full_name, "/Artists");

    const auto artist = At(*artists, 1);
    artist->get_FullName(full_name);
    EXPECT_EQ(full_name, "/Artists/" + NameOf(*artist));
    const auto album = At(*artist, 0);
    std::shared_ptr<IEnumRCPSong> songs;
    ASSERT_EQ(album->get_Songs(songs), S_OK);
    ASSERT_GT(CountOf(*songs), 0);
    std::string album_name;
    EXPECT_EQ(At(*songs, 0)->get_Album(album_name), S_OK);
    EXPECT_EQ(album_name, NameOf(*album));

    // From deep down, another container still lists its own children.
    const auto albums = At(*root, 1);
    std::int32_t id = 0;
    albums->get_ID(id);
    EXPECT_EQ(id, 1);
    EXPECT_GT(CountOf(*albums), 0);
    std::string path;
    ASSERT_EQ(session_->Command("GetCurrentContainerPath", {}, &path), S_OK);
    EXPECT_EQ(path, "/Albums");
}

TEST_F(ObjectsTest, OptionsAndVersionRoundTrip)
{
    std::shared_ptr<IRCPOptions> options;
    ASSERT_EQ(session_->get_Options(options), S_OK);
    ASSERT_EQ(options->put_BootMode(3), S_OK);
    std::int32_t mode = -1;
    EXPECT_EQ(options->get_BootMode(mode), S_OK);
    EXPECT_EQ(mode, 3);
    ASSERT_EQ(options->put_DisplayComposer(true), S_OK);
    bool on = false;
    EXPECT_EQ(options->get_DisplayComposer(on), S_OK);
    EXPECT_TRUE(on);
    EXPECT_EQ(options->put_WMAThreshold(1000), E_RCP_PARAMETER_ERROR);

    std::shared_ptr<IRCPVersion> version;
    ASSERT_EQ(session_->get_Version(version), S_OK);
    std::string text;
    version->get_Text(text);
    EXPECT_EQ(text, "3.1.2");
}

} // namespace
} // namespace velk
