// RCP mode of a real velk-sim process, over raw sockets: answer framing, transactions, lists,
// events, and the player state that commands change.
#include "tools/sim/rcp_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

#include "tools/sim/sim_test_support.h"

namespace velk::sim {
namespace {

using testing::PlayerSocket;
using testing::SimProcess;

class RcpTest : public ::testing::Test {
protected:
    explicit RcpTest(std::vector<std::string> args = {"--no-upnp"}) : sim_(std::move(args)) {}

    void SetUp() override
    {
        ASSERT_TRUE(sim_.ready()) << "velk-sim did not start";
        rcp_ = Connect();
    }

    std::unique_ptr<PlayerSocket> Connect()
    {
        auto socket = std::make_unique<PlayerSocket>(sim_.address());
        EXPECT_TRUE(socket->connected());
        socket->Greeting();
        EXPECT_EQ(socket->EnterRcp(), "RCP mode");
        return socket;
    }

    std::string State() const
    {
        const auto lines = sim_.Control("state " + sim_.address());
        return lines.empty() ? std::string() : lines[0];
    }

    SimProcess sim_;
    std::unique_ptr<PlayerSocket> rcp_;
};

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += (text.empty() ? "" : "|") + line;
    return text;
}

TEST_F(RcpTest, AnswerFormsFollowTheCommand)
{
    struct Case {
        const char* command;
        const char* answer; // regular expression over the answer lines joined with "|"
    };
    const Case kCases[] = {
        {"GetVolume", "GetVolume: 40"},
        {"SetVolume 35", "SetVolume: OK"},
        {"GetVolume", "GetVolume: 35"},
        {"SetVolume 101", "SetVolume: ParameterError"},
        {"SetVolume loud", "SetVolume: ParameterError"},
        {"GetSoftwareVersion", "GetSoftwareVersion: 3\\.1\\.2"},
        {"GetPowerState", "GetPowerState: On"},
        {"GetTransportState", "GetTransportState: Stop"},
        {"Shuffle", "Shuffle: off"},
        {"Shuffle on", "Shuffle: OK"},
        {"Shuffle", "Shuffle: on"},
        {"Shuffle ", "Shuffle: ParameterError"},
        {"Repeat cycle", "Repeat: OK"},
        {"Repeat", "Repeat: all"},
        {"Repeat sometimes", "Repeat: ParameterError"},
        {"GetLanguage", "GetLanguage: English\\|GetLanguage: OK"},
        {"SetLanguage 1", "SetLanguage: OK"},
        {"GetLanguage", "GetLanguage: Deutsch\\|GetLanguage: OK"},
        {"GetTimeZone", "GetTimeZone: \\(GMT.*"},
        {"GetDate", "GetDate: \\d\\d-\\d\\d-\\d{4}\\|GetDate: OK"},
        {"GetTime", "GetTime: \\d\\d:\\d\\d:\\d\\d"},
        {"SetDate 12-07-2026", "SetDate: OK"},
        {"GetDate", "GetDate: 12-07-2026\\|GetDate: OK"},
        {"SetTime 13-05-09", "SetTime: OK"},
        {"SetTime 25-00-00", "SetTime: ParameterError"},
        {"GetElapsedTime", "GetElapsedTime: 0:00:00\\|GetElapsedTime: OK"},
        {"GetTotalTime", "GetTotalTime: \\d:\\d\\d:\\d\\d\\|GetTotalTime: OK"},
        {"GetOption bootMode", "GetOption: lastState"},
        {"SetOption bootMode standby", "SetOption: OK"},
        {"GetOption bootMode", "GetOption: standby"},
        {"SetOption bootMode never", "SetOption: ParameterError"},
        {"SetOption wmaThreshold 401", "SetOption: ParameterError"},
        {"GetOption colour", "GetOption: ParameterError"},
        {"GetFriendlyName", "GetFriendlyName: Living Room"},
        {"SetFriendlyName Den", "SetFriendlyName: OK"},
        {"GetFriendlyName", "GetFriendlyName: Den"},
        {"GetIPAddress", "GetIPAddress: 127\\.\\d+\\.\\d+\\.2"},
        {"GetMACAddress", "GetMACAddress: 00:0D:4B(:[0-9A-F]{2}){3}"},
        {"GetWiFiSignalQuality",
         "GetWiFiSignalQuality: quality: \\d+\\|GetWiFiSignalQuality: signal: -\\d+\\|"
         "GetWiFiSignalQuality: noise: -\\d+\\|GetWiFiSignalQuality: OK"},
        {"GetVisualizerMode", "GetVisualizerMode: off\\|GetVisualizerMode: OK"},
        {"GetVisualizer", "GetVisualizer: Clock"},
        {"GetConnectedServer", "GetConnectedServer: Home Music\\|GetConnectedServer: OK"},
        {"GetActiveServerInfo",
         "GetActiveServerInfo: Name: Home Music\\|GetActiveServerInfo: Type: DAAP\\|"
         "GetActiveServerInfo: OK"},
        {"ServerGetCapabilities",
         "ServerGetCapabilities: Name: Home Music\\|ServerGetCapabilities: Containers: yes\\|"
         "ServerGetCapabilities: Playlists: yes\\|ServerGetCapabilities: PartialResults: yes\\|"
         "ServerGetCapabilities: QuerySupport: partial\\|ServerGetCapabilities: OK"},
        {"CheckSoftwareUpgrade",
         "CheckSoftwareUpgrade: NoUpgradeAvailable\\|CheckSoftwareUpgrade: OK"},
        {"GetInitialSetupComplete",
         "GetInitialSetupComplete: Complete\\|GetInitialSetupComplete: OK"},
        {"IrDemodUnsubscribe", "IrDemodUnsubscribe: ErrorNotSubscribed"},
        {"IrDispatchCommand CK_BOGUS", "IrDispatchCommand: ParameterError"},
        {"CancelTransaction ListSongs", "CancelTransaction: ErrorTransactionNotPending"},
        {"GetSongInfo 999999", "GetSongInfo: ParameterError"},
        {"Frobnicate now", "Frobnicate: UnknownCommand"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.command);
        const bool single = std::regex_match(std::string(c.answer), std::regex("[^|]*")) &&
                            std::string(c.answer).find(": OK") == std::string::npos;
        const std::string answer = Joined(rcp_->Rcp(c.command, single));
        EXPECT_TRUE(std::regex_match(answer, std::regex(c.answer))) << "received: " << answer;
    }
}

TEST_F(RcpTest, ListsAreTransactionsWithSizeNamesAndEnd)
{
    const auto lines = rcp_->Rcp("ListGenres ");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.front(), "ListGenres: TransactionInitiated");
    std::smatch size;
    ASSERT_TRUE(std::regex_match(lines[1], size, std::regex("ListGenres: ListResultSize (\\d+)")))
        << lines[1];
    ASSERT_EQ(lines.size(), std::stoul(size[1]) + 4);
    EXPECT_EQ(lines[lines.size() - 2], "ListGenres: ListResultEnd");
    EXPECT_EQ(lines.back(), "ListGenres: TransactionComplete");
    for (std::size_t i = 2; i + 2 < lines.size(); ++i)
        EXPECT_TRUE(lines[i].starts_with("ListGenres: ")) << lines[i];
}

TEST_F(RcpTest, PartialListsHoldTheirNamesForGetListResult)
{
    const auto full = rcp_->Values("ListArtists");
    ASSERT_GE(full.size(), 5u);
    EXPECT_EQ(Joined(rcp_->Rcp("SetListResultType partial")), "SetListResultType: OK");
    const auto partial = rcp_->Rcp("ListArtists");
    EXPECT_EQ(Joined(partial), "ListArtists: TransactionInitiated|ListArtists: ListResultSize " +
                                   std::to_string(full.size()) +
                                   "|ListArtists: ListResultEnd|ListArtists: TransactionComplete");
    const auto part = rcp_->Rcp("GetListResult 2 3");
    ASSERT_EQ(part.size(), 7u);
    EXPECT_EQ(part[1], "GetListResult: ListResultSize 3");
    EXPECT_EQ(part[2], "GetListResult: " + full[2]);
    EXPECT_EQ(part[4], "GetListResult: " + full[4]);
    EXPECT_EQ(Joined(rcp_->Rcp("GetListResult 9999 1")), "GetListResult: ParameterError");
}

TEST_F(RcpTest, BrowseFiltersNarrowTheNextListOnly)
{
    const auto genres = rcp_->Values("ListGenres");
    ASSERT_FALSE(genres.empty());
    const auto all_artists = rcp_->Values("ListArtists");
    EXPECT_EQ(Joined(rcp_->Rcp("SetBrowseFilterGenre " + genres[0])), "SetBrowseFilterGenre: OK");
    const auto genre_artists = rcp_->Values("ListArtists");
    EXPECT_LT(genre_artists.size(), all_artists.size());
    EXPECT_EQ(rcp_->Values("ListArtists"), all_artists);

    // Songs of one artist, then details of the first: the artist matches.
    rcp_->Rcp("SetBrowseFilterArtist " + genre_artists[0]);
    const auto songs = rcp_->Values("ListSongs");
    ASSERT_FALSE(songs.empty());
    const auto info = rcp_->Values("GetSongInfo 0");
    EXPECT_NE(std::find(info.begin(), info.end(), "title: " + songs[0]), info.end());
    EXPECT_NE(std::find(info.begin(), info.end(), "artist: " + genre_artists[0]), info.end());
    EXPECT_NE(std::find(info.begin(), info.end(), "genre: " + genres[0]), info.end());
    const std::regex resource("resource\\[0\\] url: http://127\\.0\\.0\\.1:\\d+/.*");
    EXPECT_TRUE(std::any_of(info.begin(), info.end(),
                            [&](const std::string& l) { return std::regex_match(l, resource); }));
}

TEST_F(RcpTest, SearchesMatchPartsOfNamesInAnyCase)
{
    const auto artists = rcp_->Values("ListArtists");
    ASSERT_FALSE(artists.empty());
    std::string part = artists[0].substr(0, 3);
    for (auto& c : part)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto found = rcp_->Values("SearchArtists " + part);
    EXPECT_NE(std::find(found.begin(), found.end(), artists[0]), found.end());
    EXPECT_TRUE(rcp_->Values("SearchSongs zzzzqqqq").empty());
}

TEST_F(RcpTest, AnswersToOutstandingCommandsCarryTheirOwnWords)
{
    rcp_->Send("ListSongs\r\nGetVolume\r\nListServers\r\n");
    int volume_lines = 0, song_lines = 0, server_lines = 0;
    int complete = 0;
    while (complete < 2 || volume_lines == 0) {
        const std::string line = rcp_->ReadLine();
        ASSERT_FALSE(line.empty()) << "answers stopped";
        if (line.starts_with("GetVolume: "))
            ++volume_lines;
        else if (line.starts_with("ListSongs: "))
            ++song_lines;
        else if (line.starts_with("ListServers: "))
            ++server_lines;
        else
            FAIL() << "line without a known word: " << line;
        complete += line.ends_with(": TransactionComplete") ? 1 : 0;
    }
    EXPECT_EQ(volume_lines, 1);
    EXPECT_EQ(song_lines, 2000 + 4);
    EXPECT_EQ(server_lines, 8 + 4);
}

TEST_F(RcpTest, GetDisplayDataDecodesIntoThePixelsTheSketchDrew)
{
    PlayerSocket shell(sim_.address());
    shell.Greeting();
    shell.Shell("sketch -c clear");
    shell.Shell("sketch -c font 2");
    shell.Shell("sketch -c text 3 1 \"Velk\"");
    shell.Shell("sketch -c framerect 100 4 300 27");
    shell.Shell("sketch -c line 0 31 511 0");

    const std::string hex = rcp_->DataBytes("GetDisplayData");
    ASSERT_EQ(hex.size(), 512u * 4 * 2) << hex;
    // Column-major, four bytes a column, the most significant bit topmost.
    const auto decoded = [&hex](int x, int y) {
        const std::size_t byte = static_cast<std::size_t>(x) * 4 + y / 8;
        const int value = std::stoi(hex.substr(byte * 2, 2), nullptr, 16);
        return (value & (0x80 >> (y % 8))) != 0;
    };
    const FrameBuffer frame = sim_.Frame();
    int lit = 0;
    for (int x = 0; x < 512; ++x) {
        for (int y = 0; y < 32; ++y) {
            ASSERT_EQ(decoded(x, y), frame.Pixel(x, y)) << x << "," << y;
            lit += decoded(x, y) ? 1 : 0;
        }
    }
    EXPECT_TRUE(decoded(100, 4) && decoded(300, 27) && decoded(0, 31) && decoded(511, 0));
    EXPECT_FALSE(decoded(200, 15));
    EXPECT_GT(lit, 900);
}

TEST_F(RcpTest, RemoteKeyReachesSubscribersInsteadOfThePlayer)
{
    auto other = Connect();
    EXPECT_EQ(Joined(rcp_->Rcp("IrDemodSubscribe ")), "IrDemodSubscribe: OK");
    EXPECT_EQ(Joined(other->Rcp("IrDemodSubscribe")), "IrDemodSubscribe: OK");
    ASSERT_TRUE(sim_.Control("key " + sim_.address() + " CK_POWER").empty());
    EXPECT_EQ(rcp_->ReadLine(), "IrDemod: CK_POWER");
    EXPECT_EQ(other->ReadLine(), "IrDemod: CK_POWER");
    // Subscribers decide: the player did not act on the key.
    EXPECT_EQ(Joined(rcp_->Rcp("GetPowerState", true)), "GetPowerState: On");
    // Handing the key back makes the player act.
    EXPECT_EQ(Joined(rcp_->Rcp("IrDispatchCommand CK_POWER")), "IrDispatchCommand: OK");
    EXPECT_EQ(Joined(rcp_->Rcp("GetPowerState", true)), "GetPowerState: Standby");

    EXPECT_EQ(Joined(rcp_->Rcp("IrDemodUnsubscribe")), "IrDemodUnsubscribe: OK");
    EXPECT_EQ(Joined(other->Rcp("IrDemodUnsubscribe")), "IrDemodUnsubscribe: OK");
    sim_.Control("key " + sim_.address() + " CK_POWER");
    EXPECT_EQ(Joined(rcp_->Rcp("GetPowerState", true)), "GetPowerState: On");
}

TEST_F(RcpTest, DisplayChangesRaiseEventsForSubscribers)
{
    EXPECT_EQ(Joined(rcp_->Rcp("DisplayUpdateEventSubscribe")), "DisplayUpdateEventSubscribe: OK");
    PlayerSocket shell(sim_.address());
    shell.Greeting();
    shell.Shell("sketch -c clear");
    shell.Shell("sketch -c rect 0 0 40 20");
    const std::string event = rcp_->ReadLine();
    EXPECT_TRUE(event.starts_with("DisplayUpdateEvent: ")) << event;
}

TEST_F(RcpTest, TransportAndVolumeChangeThePlayer)
{
    struct Step {
        const char* command;
        const char* state_part;
    };
    const Step kSteps[] = {
        {"Play", "\"transport\":\"Play\""},
        {"Pause", "\"transport\":\"Pause\""},
        {"PlayPause", "\"transport\":\"Play\""},
        {"Next", "\"current_index\":1"},
        {"Stop", "\"transport\":\"Stop\""},
        {"SetVolume 12", "\"volume\":12"},
        {"SetPowerState standby", "\"power\":\"standby\""},
        {"SetPowerState on yes", "\"power\":\"on\""},
    };
    for (const auto& step : kSteps) {
        SCOPED_TRACE(step.command);
        const auto answer = rcp_->Rcp(step.command);
        ASSERT_FALSE(answer.empty());
        EXPECT_TRUE(answer.back().ends_with(": OK") || answer.back().ends_with(": PowerStateOn"))
            << answer.back();
        EXPECT_NE(State().find(step.state_part), std::string::npos) << State();
    }
}

TEST_F(RcpTest, QueueCommandsReferToTheLastSongList)
{
    const auto songs = rcp_->Values("ListSongs");
    ASSERT_GE(songs.size(), 10u);
    EXPECT_EQ(Joined(rcp_->Rcp("QueueAndPlay 3")), "QueueAndPlay: OK");
    EXPECT_EQ(Joined(rcp_->Rcp("GetCurrentNowPlayingIndex")),
              "GetCurrentNowPlayingIndex: 3|GetCurrentNowPlayingIndex: OK");
    EXPECT_EQ(rcp_->Values("ListNowPlayingQueue"), songs);
    EXPECT_EQ(Joined(rcp_->Rcp("NowPlayingInsert 5 0")), "NowPlayingInsert: OK");
    const auto queue = rcp_->Values("ListNowPlayingQueue");
    EXPECT_EQ(queue.front(), songs[5]);
    EXPECT_EQ(Joined(rcp_->Rcp("GetCurrentNowPlayingIndex")),
              "GetCurrentNowPlayingIndex: 4|GetCurrentNowPlayingIndex: OK");
    EXPECT_EQ(Joined(rcp_->Rcp("NowPlayingRemoveAt 0")), "NowPlayingRemoveAt: OK");
    // The queue listing above (songs[5] first) is now the last song list.
    EXPECT_EQ(Joined(rcp_->Rcp("QueueAndPlayOne 2")), "QueueAndPlayOne: OK");
    EXPECT_EQ(rcp_->Values("ListNowPlayingQueue"), std::vector<std::string>{songs[1]});
    EXPECT_EQ(Joined(rcp_->Rcp("NowPlayingClear")), "NowPlayingClear: OK");
    EXPECT_EQ(Joined(rcp_->Rcp("GetCurrentSongInfo")), "GetCurrentSongInfo: GenericError");
    EXPECT_EQ(Joined(rcp_->Rcp("PlayIndex 0")), "PlayIndex: ParameterError");
}

TEST_F(RcpTest, ServerConnectNeedsThePasswordOfAProtectedServer)
{
    const auto servers = rcp_->Values("ListServers");
    const auto family = std::find(servers.begin(), servers.end(), "Family Music");
    ASSERT_NE(family, servers.end());
    const std::string index = std::to_string(family - servers.begin());
    EXPECT_EQ(Joined(rcp_->Rcp("ServerConnect " + index)),
              "ServerConnect: TransactionInitiated|ServerConnect: ConnectionFailedPassword");
    rcp_->Rcp("SetServerConnectPassword velk");
    EXPECT_EQ(Joined(rcp_->Rcp("ServerConnect " + index)),
              "ServerConnect: TransactionInitiated|ServerConnect: Connected|ServerConnect: "
              "TransactionComplete");
    EXPECT_EQ(Joined(rcp_->Rcp("GetConnectedServer")),
              "GetConnectedServer: Family Music|GetConnectedServer: OK");

    EXPECT_EQ(Joined(rcp_->Rcp("SetServerFilter radio fm ")), "SetServerFilter: OK");
    EXPECT_EQ(rcp_->Values("ListServers"),
              (std::vector<std::string>{"Internet Radio", "FM Tuner"}));
    EXPECT_EQ(Joined(rcp_->Rcp("ServerDisconnect")), "ServerDisconnect: OK");
    EXPECT_EQ(Joined(rcp_->Rcp("ListGenres")), "ListGenres: ErrorNoServer");
    EXPECT_EQ(Joined(rcp_->Rcp("GetConnectedServer")), "GetConnectedServer: ErrorDisconnected");
}

TEST_F(RcpTest, ContainersAreBrowsedFromThePlayersPosition)
{
    EXPECT_EQ(rcp_->Values("ListContainerContents"),
              (std::vector<std::string>{"Artists", "Albums", "Genres", "Playlists"}));
    EXPECT_EQ(Joined(rcp_->Rcp("ContainerExit")), "ContainerExit: ParameterError");
    EXPECT_EQ(Joined(rcp_->Rcp("ContainerEnter 0")), "ContainerEnter: OK");
    const auto artists = rcp_->Values("ListContainerContents");
    ASSERT_FALSE(artists.empty());
    EXPECT_EQ(Joined(rcp_->Rcp("GetCurrentContainerPath")),
              "GetCurrentContainerPath: /Artists|GetCurrentContainerPath: OK");
    rcp_->Rcp("ContainerEnter 0");
    rcp_->Rcp("ContainerEnter 0");
    const auto songs = rcp_->Values("ListContainerContents");
    ASSERT_FALSE(songs.empty());
    // A container's songs are a song list like any other.
    const auto info = rcp_->Values("GetSongInfo 0");
    EXPECT_NE(std::find(info.begin(), info.end(), "title: " + songs[0]), info.end());
    EXPECT_EQ(Joined(rcp_->Rcp("ContainerEnter 0")), "ContainerEnter: ParameterError");
}

TEST_F(RcpTest, PresetsOfEveryTypeDescribeAndPlayThemselves)
{
    const auto presets = rcp_->Values("ListPresets");
    std::set<std::string> types;
    for (std::size_t i = 0; i < presets.size(); ++i) {
        for (const auto& line : rcp_->Values("GetPresetInfo " + std::to_string(i))) {
            if (line.starts_with("type: "))
                types.insert(line.substr(6));
        }
    }
    EXPECT_EQ(types, (std::set<std::string>{"kInternetPreset", "kFMPreset", "kAMPreset",
                                            "kPlaylistPreset", "kQueryPreset"}));
    EXPECT_EQ(Joined(rcp_->Rcp("PlayPreset 2")), "PlayPreset: OK");
    EXPECT_NE(State().find("\"server\":\"FM Tuner\""), std::string::npos) << State();
    EXPECT_NE(State().find("\"transport\":\"Play\""), std::string::npos) << State();
    EXPECT_EQ(Joined(rcp_->Rcp("PlayPreset 99")), "PlayPreset: ParameterError");
}

class RcpLargeLibraryTest : public RcpTest {
protected:
    RcpLargeLibraryTest() : RcpTest({"--no-upnp", "--songs", "20000"}) {}
};

TEST_F(RcpLargeLibraryTest, CancelTransactionStopsARunningList)
{
    // Slow answers keep the list running long enough to cancel it.
    ASSERT_TRUE(sim_.Control("fault " + sim_.address() + " slow 200").empty());
    rcp_->Send("ListSongs\r\n");
    // The first list's lines come first, then the refusal of the second.
    EXPECT_EQ(rcp_->Rcp("ListSongs").back(), "ListSongs: ErrorTransactionPending");
    rcp_->Send("CancelTransaction ListSongs\r\nGetVolume\r\n");
    bool cancelled = false;
    for (;;) {
        const std::string line = rcp_->ReadLine();
        ASSERT_FALSE(line.empty()) << "answers stopped";
        EXPECT_NE(line, "ListSongs: TransactionComplete");
        if (line == "CancelTransaction: OK") {
            cancelled = true;
        } else if (cancelled) {
            EXPECT_FALSE(line.starts_with("ListSongs: ")) << "after the cancel: " << line;
        }
        if (line.starts_with("GetVolume: "))
            break;
    }
    EXPECT_TRUE(cancelled);
}

TEST_F(RcpTest, SilentPlayerReadsButNeitherActsNorAnswers)
{
    sim_.Control("fault " + sim_.address() + " silent on");
    rcp_->Send("SetVolume 5\r\n");
    const auto received = sim_.Control("received " + sim_.address() + " 1");
    ASSERT_EQ(received.size(), 1u);
    EXPECT_TRUE(received[0].ends_with(" SetVolume 5")) << received[0];
    sim_.Control("fault " + sim_.address() + " clear");
    // The first answer after the silence is for the next command.
    EXPECT_EQ(Joined(rcp_->Rcp("GetVolume", true)), "GetVolume: 40");
}

TEST_F(RcpTest, DropFaultClosesConnectionsAndReconnectingWorks)
{
    sim_.Control("fault " + sim_.address() + " drop");
    EXPECT_TRUE(rcp_->WaitClosed());
    auto again = Connect();
    EXPECT_EQ(Joined(again->Rcp("GetVolume", true)), "GetVolume: 40");
}

class RcpUpgradeTest : public RcpTest {
protected:
    RcpUpgradeTest() : RcpTest({"--no-upnp", "--upgrade", "3.2.0"}) {}
};

TEST_F(RcpUpgradeTest, UpgradeReportsItsStagesAndTakesEffectAtTheReboot)
{
    EXPECT_EQ(Joined(rcp_->Rcp("CheckSoftwareUpgrade")),
              "CheckSoftwareUpgrade: 3.2.0|CheckSoftwareUpgrade: OK");
    EXPECT_EQ(Joined(rcp_->Rcp("ExecuteSoftwareUpgrade")),
              "ExecuteSoftwareUpgrade: ErrorCantRunWithServerConnected");
    rcp_->Rcp("ServerDisconnect");
    const auto stages = rcp_->Values("ExecuteSoftwareUpgrade");
    ASSERT_GE(stages.size(), 3u);
    EXPECT_EQ(stages.front(), "CheckingUpgradeAvailability");
    EXPECT_EQ(stages.back(), "UpgradeComplete");
    EXPECT_TRUE(std::find(stages.begin(), stages.end(), "DownloadingUpgrade: 100") != stages.end());
    EXPECT_EQ(Joined(rcp_->Rcp("SetVolume 3")), "SetVolume: ErrorAwaitingPostUpgradeReboot");
    EXPECT_EQ(Joined(rcp_->Rcp("Reboot")), "Reboot: OK");
    EXPECT_TRUE(rcp_->WaitClosed());
    auto again = Connect();
    EXPECT_EQ(Joined(again->Rcp("GetSoftwareVersion", true)), "GetSoftwareVersion: 3.2.0");
    EXPECT_EQ(Joined(again->Rcp("CheckSoftwareUpgrade")),
              "CheckSoftwareUpgrade: NoUpgradeAvailable|CheckSoftwareUpgrade: OK");
}

class RcpSetupTest : public RcpTest {
protected:
    RcpSetupTest() : RcpTest({"--no-upnp", "--setup-required"}) {}
};

TEST_F(RcpSetupTest, LibraryWaitsForTheInitialSetup)
{
    EXPECT_EQ(Joined(rcp_->Rcp("GetInitialSetupComplete")),
              "GetInitialSetupComplete: Incomplete|GetInitialSetupComplete: OK");
    EXPECT_EQ(Joined(rcp_->Rcp("ListSongs")), "ListSongs: ErrorInitialSetupRequired");
    EXPECT_EQ(Joined(rcp_->Rcp("SetInitialSetupComplete")),
              "SetInitialSetupComplete: ErrorInitialSetupRequired");
    EXPECT_EQ(rcp_->Values("GetRequiredSetupSteps"),
              (std::vector<std::string>{"Region", "TimeZone", "Language", "TermsOfService"}));
    rcp_->Rcp("SetRegion Germany");
    EXPECT_EQ(Joined(rcp_->Rcp("GetRegion")), "GetRegion: Germany|GetRegion: OK");
    rcp_->Rcp("AcceptTermsOfService");
    EXPECT_EQ(Joined(rcp_->Rcp("SetInitialSetupComplete")), "SetInitialSetupComplete: OK");
    EXPECT_EQ(Joined(rcp_->Rcp("GetInitialSetupComplete")),
              "GetInitialSetupComplete: Complete|GetInitialSetupComplete: OK");
    EXPECT_EQ(rcp_->Rcp("ListSongs").front(), "ListSongs: TransactionInitiated");
}

} // namespace
} // namespace velk::sim
