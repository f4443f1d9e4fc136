// The RCP session against the simulated player: the exact lines each member sends, the browse
// state sent before listings, subscriptions counted per client, and events reaching sinks,
// dispatch sinks and scripting handlers in the session's apartment.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "platform/apartment.h"
#include "platform/error_info.h"
#include "platform/testdata/run_apartment_until.h"
#include "rcp/rcp_bitmap.h"
#include "rcp/rcp_session.h"
#include "tests/integration/shows_frame.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;

constexpr std::uint32_t kEventWaitMs = 10000;

// A session on this thread's apartment, connected to the first simulated player.
class SessionTest : public ::testing::Test {
protected:
    void Open(std::vector<std::string> sim_args = {})
    {
        sim_ = std::make_unique<SimProcess>(std::move(sim_args));
        ASSERT_TRUE(sim_->ready());
        session_ = std::make_shared<CRCPSession>();
        ASSERT_EQ(session_->Initialize(nullptr, 0, sim_->address()), S_OK);
    }

    void TearDown() override
    {
        if (session_)
            session_->OnShutdown();
        session_.reset();
    }

    // The lines the player received, newest last, without their connection numbers.
    std::vector<std::string> Received(int count = 500)
    {
        std::vector<std::string> lines;
        for (const auto& line :
             sim_->Control("received " + sim_->address() + " " + std::to_string(count))) {
            const auto blank = line.find(' ');
            lines.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
        }
        return lines;
    }

    // The lines received since the marker command (a GetVolume the test sends itself).
    std::vector<std::string> ReceivedAfterMarker()
    {
        auto lines = Received();
        auto marker = std::find(lines.rbegin(), lines.rend(), "GetVolume");
        return {marker.base(), lines.end()};
    }

    // The lines one call sends, between two markers.
    std::vector<std::string> LinesOf(const std::function<HRESULT()>& call)
    {
        Mark();
        EXPECT_EQ(call(), S_OK);
        Mark();
        const auto lines = Received();
        const auto last = std::find(lines.rbegin(), lines.rend(), "GetVolume");
        const auto first = std::find(last + 1, lines.rend(), "GetVolume");
        return {first.base(), last.base() - 1};
    }

    void Mark()
    {
        std::int32_t volume = 0;
        ASSERT_EQ(session_->get_Volume(volume), S_OK);
    }

    // Runs the apartment until the condition holds (events arrive as posted tasks).
    bool PumpUntil(const std::function<bool()>& condition)
    {
        return RunApartmentUntil(*apartment_, condition, kEventWaitMs, 20);
    }

    std::shared_ptr<Apartment> apartment_ = Apartment::Create();
    std::unique_ptr<SimProcess> sim_;
    std::shared_ptr<CRCPSession> session_;
};

// Records the events of the session as a C++ sink, optionally keeping keys from the player.
class RecordingSink : public _IRCPSessionEvents {
public:
    HRESULT OnRemoteKey(VelkRemoteKeys key, bool& suppress) override
    {
        keys.push_back(key);
        suppress = suppress || suppress_keys;
        return S_OK;
    }
    HRESULT OnUpdateDisplay() override
    {
        ++display_updates;
        return S_OK;
    }
    HRESULT OnUpdateTransportState(RCPTransportStates state) override
    {
        states.push_back(state);
        return S_OK;
    }
    HRESULT OnUpdatePlayMode() override { return S_OK; }
    HRESULT OnUpdateTrackDetails() override { return S_OK; }
    HRESULT OnUpgradeFirmware(RCPUpgradeState state, std::int32_t progress) override
    {
        upgrade.emplace_back(state, progress);
        return S_OK;
    }

    bool suppress_keys = false;
    std::vector<VelkRemoteKeys> keys;
    int display_updates = 0;
    std::vector<RCPTransportStates> states;
    std::vector<std::pair<RCPUpgradeState, std::int32_t>> upgrade;
};

// A script's handler object: records each call's arguments; may set the suppress flag.
class RecordingHandler : public IDispatchable {
public:
    const DispatchTable& Table() const override
    {
        static const DispatchTable table("IRecordingHandler");
        return table;
    }
    HRESULT Invoke(DISPID dispid, MemberKind, std::vector<Variant>& args, Variant&) override
    {
        calls.emplace_back(dispid, args);
        if (suppress && args.size() == 2)
            args[1] = Variant::FromBool(true);
        return S_OK;
    }

    bool suppress = false;
    std::vector<std::pair<DISPID, std::vector<Variant>>> calls;
};

TEST_F(SessionTest, MembersSendTheirExactLines)
{
    Open();
    struct Case {
        const char* what;
        std::function<HRESULT()> call;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"RepeatCycle", [&] { return session_->put_RepeatState(RCPRepeatStates::RepeatCycle); },
         {"Repeat cycle"}},
        {"Volume 35", [&] { return session_->put_Volume(35); }, {"SetVolume 35"}},
        {"Time", [&] {
             return session_->put_Time(*Date::FromCalendar({2026, 12, 7, 13, 5, 9}));
         },
         {"SetDate 12-07-2026", "SetTime 13-05-09"}},
        {"Shuffle", [&] { return session_->put_Shuffle(true); }, {"Shuffle on"}},
        {"Visualizer", [&] {
             return session_->put_VisualizerMode(RCPVisualizerMode::VisualizerModePartial);
         },
         {"SetVisualizerMode partial"}},
        {"Standby", [&] { return session_->put_PowerState(false); }, {"SetPowerState standby"}},
        {"Power on", [&] { return session_->put_PowerState(true); }, {"SetPowerState on yes"}},
        {"Key", [&] { return session_->PressRemoteKey(VelkRemoteKeys::CK_PAUSE); },
         {"IrDispatchCommand CK_PAUSE"}},
        {"Name", [&] { return session_->put_FriendlyName("Den Player"); },
         {"SetFriendlyName Den Player"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(LinesOf(c.call), c.lines);
    }
}

TEST_F(SessionTest, GetsParseThePlayersAnswers)
{
    Open({"--songs", "200"});
    ASSERT_EQ(session_->put_Volume(35), S_OK);
    std::int32_t volume = 0;
    EXPECT_EQ(session_->get_Volume(volume), S_OK);
    EXPECT_EQ(volume, 35);

    ASSERT_EQ(session_->put_RepeatState(RCPRepeatStates::RepeatAll), S_OK);
    RCPRepeatStates repeat{};
    EXPECT_EQ(session_->get_RepeatState(repeat), S_OK);
    EXPECT_EQ(repeat, RCPRepeatStates::RepeatAll);

    RCPTransportStates state{};
    EXPECT_EQ(session_->get_TransportState(state), S_OK);
    EXPECT_EQ(state, RCPTransportStates::TransportStateStop);
    ASSERT_EQ(session_->Play(), S_OK);
    EXPECT_EQ(session_->get_TransportState(state), S_OK);
    EXPECT_EQ(state, RCPTransportStates::TransportStatePlay);

    Date total{-1};
    EXPECT_EQ(session_->get_TotalTime(total), S_OK);
    EXPECT_GT(total.value(), 0.0);
    EXPECT_LT(total.value(), 1.0); // a time of day on 30 December 1899

    ASSERT_EQ(session_->put_Time(*Date::FromCalendar({2031, 3, 4, 10, 20, 30})), S_OK);
    Date now;
    ASSERT_EQ(session_->get_Time(now), S_OK);
    const auto fields = now.ToCalendar();
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->year, 2031);
    EXPECT_EQ(fields->month, 3);
    EXPECT_EQ(fields->day, 4);

    bool on = false;
    EXPECT_EQ(session_->get_PowerState(on), S_OK);
    EXPECT_TRUE(on);
    std::string name;
    EXPECT_EQ(session_->get_FriendlyName(name), S_OK);
    EXPECT_FALSE(name.empty());
    bool upgrade = true;
    EXPECT_EQ(session_->get_IsSoftwareUpgradeAvailable(upgrade), S_OK);
    EXPECT_FALSE(upgrade);
}

TEST_F(SessionTest, FailuresCarryTheirCodeAndAnErrorRecord)
{
    Open();
    ClearErrorInfo();
    EXPECT_EQ(session_->put_Volume(500), E_RCP_PARAMETER_ERROR);
    auto info = GetErrorInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->help_context, static_cast<DWORD>(E_RCP_PARAMETER_ERROR));
    EXPECT_EQ(info->description, HResultMessage(E_RCP_PARAMETER_ERROR));
    EXPECT_EQ(info->source, "Velk");

    // Text with a line break or another control character never reaches the player's shell.
    Mark();
    EXPECT_EQ(session_->put_FriendlyName("Den\r\nReboot"), E_INVALIDARG);
    EXPECT_EQ(session_->put_BrowseFilterArtist("x\nReboot"), S_OK);
    std::shared_ptr<IEnumRCPList> albums;
    EXPECT_EQ(session_->get_Albums(albums), S_OK);
    EXPECT_EQ(session_->put_Language(std::string("a\x01") + "b"), E_INVALIDARG);
    for (const auto& line : Received())
        EXPECT_EQ(line.find("Reboot"), std::string::npos) << line;

    // A date the player could not show is refused before anything is sent.
    EXPECT_EQ(session_->put_Time(Date(1e9)), E_INVALIDARG);
}

TEST_F(SessionTest, FiltersGoBeforeListingsAndSearchesGoAlone)
{
    Open({"--songs", "300"});
    ASSERT_EQ(session_->put_BrowseFilterAlbum("Al"), S_OK);
    ASSERT_EQ(session_->put_BrowseFilterArtist("Ar"), S_OK);
    ASSERT_EQ(session_->put_BrowseFilterGenre("Ge"), S_OK);
    ASSERT_EQ(session_->put_BrowseFilterComposer("Co"), S_OK);
    ASSERT_EQ(session_->put_BrowseFilterLocation("Lo"), S_OK);
    ASSERT_EQ(session_->put_BrowseFilterFavorites(true), S_OK);
    ASSERT_EQ(session_->put_SongSortOrder(RCPSongSortOrder::SongSortOrderAAlbumTrack), S_OK);

    Mark();
    std::shared_ptr<IEnumRCPSong> songs;
    ASSERT_EQ(session_->get_Songs(songs), S_OK);
    EXPECT_EQ(ReceivedAfterMarker(),
              (std::vector<std::string>{"SetBrowseFilterLocation Lo", "SetBrowseFilterGenre Ge",
                                        "SetBrowseFilterArtist Ar", "SetBrowseFilterComposer Co",
                                        "SetBrowseFilterAlbum Al", "SetBrowseFilterFavorites",
                                        "SetSongListSort albumTrack", "SetListResultType full",
                                        "ListSongs "}));

    Mark();
    std::shared_ptr<IEnumRCPList> genres;
    ASSERT_EQ(session_->get_Genres(genres), S_OK);
    EXPECT_EQ(ReceivedAfterMarker(),
              (std::vector<std::string>{"SetBrowseFilterGenre Ge", "SetBrowseFilterArtist Ar",
                                        "SetBrowseFilterComposer Co", "SetBrowseFilterAlbum Al",
                                        "SetListResultType full", "ListGenres "}));

    Mark();
    std::shared_ptr<IEnumRCPSong> found;
    ASSERT_EQ(session_->SearchSongs("love", found), S_OK);
    EXPECT_EQ(ReceivedAfterMarker(),
              (std::vector<std::string>{"SetListResultType full", "SearchSongs love"}));
}

TEST_F(SessionTest, SongsOfAnEarlierListingAreNotReadAsAnothers)
{
    Open({"--songs", "200"});
    std::shared_ptr<IEnumRCPSong> all;
    ASSERT_EQ(session_->get_Songs(all), S_OK);
    std::shared_ptr<IRCPSong> song;
    ASSERT_EQ(all->Item(Variant(5), song), S_OK);
    std::shared_ptr<IEnumRCPSong> found;
    ASSERT_EQ(session_->SearchSongs("a", found), S_OK);
    // The player's song numbers now refer to the search.
    EXPECT_EQ(all->Item(Variant(5), song), E_UNEXPECTED);
    EXPECT_EQ(found->Item(Variant(0), song), S_OK);
}

TEST_F(SessionTest, ServersAreFilteredByTypeAndKept)
{
    Open();
    Mark();
    std::shared_ptr<IEnumRCPServers> all;
    ASSERT_EQ(session_->get_Servers(all), S_OK);
    EXPECT_EQ(ReceivedAfterMarker().front(), "SetServerFilter all ");

    // The list is built once per session: a later filter does not rebuild it.
    auto second = std::make_shared<CRCPSession>();
    ASSERT_EQ(second->Initialize(nullptr, 0, sim_->address()), S_OK);
    ASSERT_EQ(second->put_BrowseFilterServer(static_cast<std::int32_t>(RCPServerType::ServerTypeDAAP) |
                                             static_cast<std::int32_t>(RCPServerType::ServerTypeFM)),
              S_OK);
    Mark();
    std::shared_ptr<IEnumRCPServers> some;
    ASSERT_EQ(second->get_Servers(some), S_OK);
    EXPECT_EQ(ReceivedAfterMarker(),
              (std::vector<std::string>{"SetServerFilter DAAP fm ", "SetListResultType full",
                                        "ListServers "}));
    std::int32_t count = 0;
    ASSERT_EQ(some->get_Count(count), S_OK);
    EXPECT_EQ(count, 3); // Home Music, Family Music, FM Tuner

    Mark();
    std::shared_ptr<IEnumRCPServers> again;
    ASSERT_EQ(second->get_Servers(again), S_OK);
    EXPECT_EQ(again, some);
    EXPECT_TRUE(ReceivedAfterMarker().empty());

    std::shared_ptr<IRCPServer> connected;
    ASSERT_EQ(session_->get_ConnectedServer(connected), S_OK);
    std::string name;
    ASSERT_EQ(connected->get_Name(name), S_OK);
    EXPECT_EQ(name, "Home Music");
    // A filter without the connected server's type: not found, and said so.
    auto third = std::make_shared<CRCPSession>();
    ASSERT_EQ(third->Initialize(nullptr, 0, sim_->address()), S_OK);
    ASSERT_EQ(third->put_BrowseFilterServer(static_cast<std::int32_t>(RCPServerType::ServerTypeAM)),
              S_OK);
    EXPECT_EQ(third->get_ConnectedServer(connected), S_FALSE);
    EXPECT_EQ(connected, nullptr);
    second->OnShutdown();
    third->OnShutdown();
}

TEST_F(SessionTest, SubscriptionsAreCountedPerClient)
{
    Open();
    Mark();
    bool on = false;
    ASSERT_EQ(session_->put_MonitorRemoteKey(true), S_OK);
    ASSERT_EQ(session_->put_MonitorRemoteKey(true), S_OK);
    ASSERT_EQ(session_->get_MonitorRemoteKey(on), S_OK);
    EXPECT_TRUE(on);
    EXPECT_EQ(session_->put_MonitorRemoteKey(false), S_OK);
    Mark();
    EXPECT_EQ(ReceivedAfterMarker(), std::vector<std::string>{});
    EXPECT_EQ(session_->put_MonitorRemoteKey(false), S_OK);
    EXPECT_EQ(session_->put_MonitorRemoteKey(false), S_FALSE);
    ASSERT_EQ(session_->get_MonitorRemoteKey(on), S_OK);
    EXPECT_FALSE(on);

    ASSERT_EQ(session_->put_MonitorDisplay(true), S_OK);
    ASSERT_EQ(session_->put_MonitorDisplay(false), S_OK);
    EXPECT_EQ(session_->put_MonitorDisplay(false), S_FALSE);
    Mark();
    auto lines = Received();
    const std::vector<std::string> expected = {"IrDemodSubscribe ", "IrDemodUnsubscribe ",
                                               "DisplayUpdateEventSubscribe ",
                                               "DisplayUpdateEventUnsubscribe "};
    std::vector<std::string> subscriptions;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(subscriptions),
                 [](const std::string& line) { return line.find("Subscribe") != std::string::npos ||
                                                      line.find("Unsubscribe") != std::string::npos; });
    EXPECT_EQ(subscriptions, expected);
}

TEST_F(SessionTest, RemoteKeysReachSinksAndGoBackUnlessSuppressed)
{
    Open();
    auto sink = std::make_shared<RecordingSink>();
    auto dispatch_sink = std::make_shared<RecordingHandler>();
    auto handler = std::make_shared<RecordingHandler>();
    DWORD cookie = 0;
    DWORD dispatch_cookie = 0;
    ASSERT_EQ(session_->Advise(sink, cookie), S_OK);
    ASSERT_EQ(session_->AdviseDispatch(dispatch_sink, dispatch_cookie), S_OK);
    ASSERT_EQ(session_->put_OnRemoteKey(Variant(UnknownPtr(handler))), S_OK);
    ASSERT_EQ(session_->put_MonitorRemoteKey(true), S_OK);
    Mark();

    sim_->Control("key " + sim_->address() + " CK_PLAY");
    ASSERT_TRUE(PumpUntil([&] { return !handler->calls.empty(); }));
    EXPECT_EQ(sink->keys, std::vector<VelkRemoteKeys>{VelkRemoteKeys::CK_PLAY});
    ASSERT_EQ(dispatch_sink->calls.size(), 1u);
    EXPECT_EQ(dispatch_sink->calls[0].first, kDispidOnRemoteKey);
    EXPECT_EQ(handler->calls[0].first, 0);
    EXPECT_EQ(handler->calls[0].second[0].vt(), VT_UI2);
    // Nobody kept the key: the player acts on it after all.
    ASSERT_TRUE(PumpUntil([&] {
        auto lines = ReceivedAfterMarker();
        return std::find(lines.begin(), lines.end(), "IrDispatchCommand CK_PLAY") != lines.end();
    }));

    handler->suppress = true;
    sim_->Control("key " + sim_->address() + " CK_STOP");
    ASSERT_TRUE(PumpUntil([&] { return handler->calls.size() == 2; }));
    Mark();
    for (const auto& line : ReceivedAfterMarker())
        EXPECT_NE(line, "IrDispatchCommand CK_STOP");

    // A key name the enumeration lacks reaches no sink but still goes back to the player.
    ASSERT_EQ(session_->_OnRCPEvent(RCPEventType::EventTypeIR, "CK_TELEPORT"), S_OK);
    EXPECT_EQ(sink->keys.size(), 2u);
    Mark();
    auto lines = Received();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "IrDispatchCommand CK_TELEPORT"), lines.end());

    // Handlers take objects or nothing.
    EXPECT_EQ(session_->put_OnRemoteKey(Variant(42)), E_INVALIDARG);
    Variant current;
    ASSERT_EQ(session_->get_OnRemoteKey(current), S_OK);
    ASSERT_NE(current.Get<UnknownPtr>(), nullptr);
    EXPECT_EQ(*current.Get<UnknownPtr>(), handler);
    ASSERT_EQ(session_->put_OnRemoteKey(Variant()), S_OK);
    ASSERT_EQ(session_->get_OnRemoteKey(current), S_OK);
    EXPECT_TRUE(current.IsEmpty());
    EXPECT_EQ(session_->Unadvise(cookie), S_OK);
    EXPECT_EQ(session_->UnadviseDispatch(dispatch_cookie), S_OK);
}

TEST_F(SessionTest, DisplayUpdatesAndTransportStatesReachSinks)
{
    Open();
    auto sink = std::make_shared<RecordingSink>();
    DWORD cookie = 0;
    ASSERT_EQ(session_->Advise(sink, cookie), S_OK);
    ASSERT_EQ(session_->put_MonitorDisplay(true), S_OK);
    // The player acts on the key and shows the new volume.
    sim_->Control("key " + sim_->address() + " CK_VOLUME_UP");
    ASSERT_TRUE(PumpUntil([&] { return sink->display_updates > 0; }));

    const std::pair<const char*, RCPTransportStates> states[] = {
        {"STOPPED", RCPTransportStates::TransportStateStop},
        {"PLAYING", RCPTransportStates::TransportStatePlay},
        {"TRANSITIONING", RCPTransportStates::TransportStateBuffering},
        {"PAUSED_PLAYBACK", RCPTransportStates::TransportStatePause},
        {"NO_MEDIA_PRESENT", RCPTransportStates::TransportStateError},
        {"RECORDING", RCPTransportStates::TransportStateError},
    };
    for (const auto& [text, state] : states)
        ASSERT_EQ(session_->_OnRCPEvent(RCPEventType::EventTypeTransportState, text), S_OK);
    std::vector<RCPTransportStates> expected;
    for (const auto& entry : states)
        expected.push_back(entry.second);
    EXPECT_EQ(sink->states, expected);
}

TEST_F(SessionTest, DisplayCaptureFollowsTheSimulatedDisplay)
{
    for (const char* type : {"Large VFD", "Small VFD"}) {
        SCOPED_TRACE(type);
        Open({"--display", type});
        DispatchablePtr object;
        ASSERT_EQ(session_->get_Display(object), S_OK);
        auto capture = std::dynamic_pointer_cast<CRCPBitmap>(object);
        ASSERT_TRUE(capture);
        const auto shows_player = [&] {
            return testing::ShowsFrame(capture->Render(), sim_->Frame());
        };
        // Monitoring fetches the picture the display already shows.
        ASSERT_EQ(session_->put_MonitorDisplay(true), S_OK);
        ASSERT_TRUE(PumpUntil(shows_player));
        const Bitmap before = capture->Render();
        sim_->Control("key " + sim_->address() + " CK_VOLUME_UP");
        ASSERT_TRUE(PumpUntil([&] { return capture->Render() != before && shows_player(); }));
        TearDown();
        sim_.reset();
    }
}

TEST_F(SessionTest, TextDisplaysHaveNoCapture)
{
    for (const char* type : {"LCD", "String"}) {
        SCOPED_TRACE(type);
        Open({"--display", type});
        DispatchablePtr object;
        EXPECT_EQ(session_->get_Display(object), E_NOTIMPL);
        TearDown();
        sim_.reset();
    }
}

TEST_F(SessionTest, UpgradeReportsProgressDisconnectsTheServerAndReboots)
{
    Open({"--upgrade", "3.2.0"});
    auto sink = std::make_shared<RecordingSink>();
    DWORD cookie = 0;
    ASSERT_EQ(session_->Advise(sink, cookie), S_OK);
    bool available = false;
    ASSERT_EQ(session_->get_IsSoftwareUpgradeAvailable(available), S_OK);
    EXPECT_TRUE(available);

    ASSERT_EQ(session_->ExecuteSoftwareUpgrade(), S_OK);
    ASSERT_TRUE(PumpUntil([&] {
        return !sink->upgrade.empty() &&
               sink->upgrade.back().first == RCPUpgradeState::UpgradeStateSavingAdditionalData;
    }));
    using U = RCPUpgradeState;
    std::vector<std::pair<U, std::int32_t>> expected = {
        {U::UpgradeStateCheckingUpgradeAvailability, 0}};
    for (int percent = 0; percent <= 100; percent += 20)
        expected.emplace_back(U::UpgradeStateDownloadingUpgrade, percent);
    for (U step : {U::UpgradeStateVerifyingMD5, U::UpgradeStateErasingFlash,
                   U::UpgradeStateBurningFlash, U::UpgradeStateVerifyingFlash,
                   U::UpgradeStateSavingAdditionalData})
        expected.emplace_back(step, 0);
    EXPECT_EQ(sink->upgrade, expected);

    // The connected music server was disconnected first, and the player told to restart with
    // the bare line (sent without awaiting a reply: it arrives a moment later).
    EXPECT_TRUE(PumpUntil([&] {
        const auto lines = Received();
        const auto disconnect = std::find(lines.begin(), lines.end(), "ServerDisconnect");
        return disconnect != lines.end() &&
               std::find(disconnect, lines.end(), "Reboot") != lines.end();
    }));
}

} // namespace
} // namespace velk
