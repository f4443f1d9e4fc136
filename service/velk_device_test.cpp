// The player object against the simulated player: the lines the player receives, the state the
// device keeps, and what it refuses.
#include "service/velk_device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>

#include "automation/picture.h"
#include "platform/memory_stream.h"
#include "platform/testdata/run_apartment_until.h"
#include "rcp/testdata/scripted_player.h"
#include "service/velk_data_service.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kSafetyMs = 10000;

// The root object with its event-log records kept for the test to read.
class RecordingDataService : public CVelkDataService {
public:
    HRESULT ReportVelkEvent(EventTypes, EventCategories category, std::uint32_t id,
                            const Variant&) override
    {
        if (category == EventCategories::Device)
            ids.push_back(id);
        return S_OK;
    }

    std::vector<std::uint32_t> ids;
};

// Another listener on the session: fired after the device's own sink, which was advised first.
class KeyRecorder : public _IRCPSessionEvents {
public:
    HRESULT OnRemoteKey(VelkRemoteKeys key, bool&) override
    {
        keys.push_back(key);
        return S_OK;
    }
    HRESULT OnUpdateDisplay() override { return S_OK; }
    HRESULT OnUpdateTransportState(RCPTransportStates) override { return S_OK; }
    HRESULT OnUpdatePlayMode() override { return S_OK; }
    HRESULT OnUpdateTrackDetails() override { return S_OK; }
    HRESULT OnUpgradeFirmware(RCPUpgradeState, std::int32_t) override { return S_OK; }

    std::vector<VelkRemoteKeys> keys;
};

std::shared_ptr<IStream> HostHeader(std::vector<std::uint8_t> bytes)
{
    return std::make_shared<MemoryStream>(std::move(bytes));
}

Variant PictureOf(Bitmap bitmap)
{
    return Variant(UnknownPtr(std::make_shared<CPicture>(std::move(bitmap))));
}

class VelkDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        apartment_ = Apartment::Create();
        ASSERT_TRUE(apartment_);
    }

    void TearDown() override
    {
        for (auto& device : devices_)
            device->OnShutdown();
        devices_.clear();
        apartment_->Close();
    }

    std::shared_ptr<CVelkDevice> NewDevice()
    {
        return devices_.emplace_back(std::make_shared<CVelkDevice>());
    }

    std::shared_ptr<CVelkDevice> Connected(const SimProcess& sim, int index = 0, DWORD cookie = 0)
    {
        auto device = NewDevice();
        EXPECT_EQ(device->Connect(sim.address(index), "uuid:player-" + std::to_string(index),
                                  "Player " + std::to_string(index), cookie),
                  S_OK);
        return device;
    }

    // The lines the player received on its shell connections (those never switched to RCP),
    // and the number of lines that were exactly word on its RCP connections.
    static std::vector<std::string> ShellLines(const SimProcess& sim, int index = 0)
    {
        return ReceivedLines(sim, index, false);
    }
    // The shell lines after the first skip ones.
    static std::vector<std::string> ShellLinesAfter(const SimProcess& sim, std::size_t skip)
    {
        auto lines = ShellLines(sim);
        lines.erase(lines.begin(),
                    lines.begin() + static_cast<std::ptrdiff_t>(std::min(skip, lines.size())));
        return lines;
    }
    static std::size_t RcpCount(const SimProcess& sim, std::string_view word)
    {
        std::size_t count = 0;
        for (const auto& line : ReceivedLines(sim, 0, true))
            count += line == word;
        return count;
    }

    // Runs the apartment's queue until the condition holds; false after the safety time.
    bool PumpUntil(const std::function<bool()>& condition)
    {
        return RunApartmentUntil(*apartment_, condition, kSafetyMs);
    }

    static std::int64_t MsSince(Clock::time_point start)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    }

    std::shared_ptr<Apartment> apartment_;

private:
    static std::vector<std::string> ReceivedLines(const SimProcess& sim, int index, bool rcp)
    {
        struct Received {
            std::string connection;
            std::string text;
        };
        std::vector<Received> received;
        std::set<std::string> rcp_connections;
        for (const auto& line : sim.Control("received " + sim.address(index) + " 500")) {
            const std::size_t blank = line.find(' ');
            Received entry{line.substr(0, blank),
                           blank == std::string::npos ? "" : line.substr(blank + 1)};
            // Posted RCP commands end in a blank before the line end.
            while (entry.text.ends_with(' '))
                entry.text.pop_back();
            if (entry.text == "mmc")
                rcp_connections.insert(entry.connection);
            received.push_back(std::move(entry));
        }
        std::vector<std::string> lines;
        for (auto& entry : received) {
            if (rcp_connections.contains(entry.connection) == rcp)
                lines.push_back(std::move(entry.text));
        }
        return lines;
    }

    std::vector<std::shared_ptr<CVelkDevice>> devices_;
};

TEST_F(VelkDeviceTest, ConnectReadsDisplayTypeSizeStandbyAndVersion)
{
    struct Case {
        const char* type;
        HRESULT size_result;
        std::int16_t width;
        std::int16_t height;
    };
    const Case cases[] = {
        {"Large VFD", S_OK, 512, 32},
        {"Small VFD", S_OK, 280, 16},
        {"Small VFD Direct", S_OK, 280, 16},
        {"Small and Tall VFD Direct", S_OK, 280, 32},
        {"LCD", E_NOTIMPL, 0, 0},
        {"String", E_NOTIMPL, 0, 0},
    };
    std::string types;
    for (const auto& c : cases)
        types += std::string(types.empty() ? "" : ",") + c.type;
    SimProcess sim({"--players", std::to_string(std::size(cases)), "--display", types});
    ASSERT_TRUE(sim.ready());

    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.type);
        auto device = Connected(sim, i);
        std::string text;
        EXPECT_EQ(device->get_DeviceType(text), S_OK);
        EXPECT_EQ(text, c.type);
        std::int16_t cx = -1;
        std::int16_t cy = -1;
        EXPECT_EQ(device->ScreenSize(cx, cy), c.size_result);
        EXPECT_EQ(cx, c.width);
        EXPECT_EQ(cy, c.height);
        std::int16_t side = -1;
        EXPECT_EQ(device->get_ScreenWidth(side), c.size_result);
        EXPECT_EQ(side, c.width);
        EXPECT_EQ(device->get_ScreenHeight(side), c.size_result);
        EXPECT_EQ(side, c.height);
        bool standby = true;
        EXPECT_EQ(device->get_StandbyMode(standby), S_OK);
        EXPECT_FALSE(standby) << "the simulated players start switched on";
        EXPECT_EQ(device->get_Version(text), S_OK);
        EXPECT_EQ(text, "3.1.2");
        EXPECT_EQ(device->get_UDN(text), S_OK);
        EXPECT_EQ(text, "uuid:player-" + std::to_string(i));
        EXPECT_EQ(device->get_Name(text), S_OK);
        EXPECT_EQ(text, "Player " + std::to_string(i));
    }

    // No display type read yet, as for a type not in the table: size 0, which callers read as
    // unknown, and never a success that leaves the outputs unset.
    auto unconnected = NewDevice();
    std::int16_t cx = -1;
    std::int16_t cy = -1;
    EXPECT_EQ(unconnected->ScreenSize(cx, cy), S_OK);
    EXPECT_EQ(cx, 0);
    EXPECT_EQ(cy, 0);
    std::int16_t side = -1;
    EXPECT_EQ(unconnected->get_ScreenWidth(side), S_OK);
    EXPECT_EQ(side, 0);
    side = -1;
    EXPECT_EQ(unconnected->get_ScreenHeight(side), S_OK);
    EXPECT_EQ(side, 0);
}

TEST_F(VelkDeviceTest, ConnectFailureLeavesTheDeviceInStandby)
{
    SimProcess sim({"--disabled"});
    ASSERT_TRUE(sim.ready());
    struct Case {
        std::uint16_t port;
        HRESULT expected;
    };
    const Case cases[] = {{4444, E_RCP_SHELL_DISABLED}, {4446, E_RCP_SOCKET}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        auto device = NewDevice();
        EXPECT_EQ(device->Connect(sim.address(), "uuid:x", "x", 0, c.port), c.expected);
        bool standby = false;
        EXPECT_EQ(device->get_StandbyMode(standby), S_OK);
        EXPECT_TRUE(standby);
    }
}

TEST_F(VelkDeviceTest, CommandsBecomeThePlayersShellLines)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    using V = SketchVerbs;
    const Variant none = Variant::Missing();
    struct Case {
        std::function<HRESULT(CVelkDevice&)> call;
        const char* line;
    };
    const Case cases[] = {
        {[&](CVelkDevice& d) {
             return d.Sketch(V::SketchText, 0, 0, "two words", none, none, none);
         },
         "sketch -c text 0 0 \"two words\""},
        {[&](CVelkDevice& d) { return d.Sketch(V::SketchRect, 1, 2, "3", 4.0, none, none); },
         "sketch -c rect 1 2 3 4"},
        {[&](CVelkDevice& d) { return d.Sketch(V::SketchFrameRect, 1, 2, 3, 4, none, none); },
         "sketch -c framerect 1 2 3 4"},
        {[&](CVelkDevice& d) { return d.Sketch(V::SketchPoint, 7, 8, none, none, none, none); },
         "sketch -c point 7 8"},
        {[&](CVelkDevice& d) { return d.Sketch(V::SketchLine, 0, 1, 2, 3, none, none); },
         "sketch -c line 0 1 2 3"},
        {[&](CVelkDevice& d) { return d.Sketch(V::SketchBlit, 0, 0, 10, 8, 20, 0); },
         "sketch -c blit 0 0 10 8 20 0"},
        {[&](CVelkDevice& d) { return d.Sketch(V::SketchSlide, -1, 0, none, none, none, none); },
         "sketch -c slide -1 0"},
        {[&](CVelkDevice& d) { return d.Sketch(V::SketchFont, 6, none, none, none, none, none); },
         "sketch -c font 6"},
        {[&](CVelkDevice& d) { return d.Sketch(V::SketchColor, 0, none, none, none, none, none); },
         "sketch -c color 0"},
        // A missing parameter, or one without a text form, is empty.
        {[&](CVelkDevice& d) {
             return d.Sketch(V::SketchText, 3, Variant(Variant::Null{}), none, none, none, none);
         },
         "sketch -c text 3  \"\""},
        // Quotes inside the text stay as they are: the player reads up to the last one.
        {[&](CVelkDevice& d) {
             return d.Sketch(V::SketchMarquee, "say \"hi\"", none, none, none, none, none);
         },
         "sketch -c marquee -start \"say \"hi\"\""},
        {[&](CVelkDevice& d) {
             return d.Sketch(V::SketchClear, none, none, none, none, none, none);
         },
         "sketch -c clear"},
        {[&](CVelkDevice& d) { return d.HtPlay("http://127.0.0.1/radio?id=7"); },
         "htplay http://127.0.0.1/radio?id=7"},
        {[&](CVelkDevice& d) { return d.Stop(); }, "stop"},
        {[&](CVelkDevice& d) { return d.Attract(); }, "attract"},
        {[&](CVelkDevice& d) { return d.AudioWarble(); }, "audiowarble"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(c.call(*device), S_OK);
        EXPECT_EQ(ShellLines(sim).back(), c.line);
    }
    EXPECT_EQ(device->Sketch(static_cast<SketchVerbs>(12), none, none, none, none, none, none),
              E_INVALIDARG);
}

TEST_F(VelkDeviceTest, SketchQuitIsSentOnceAfterDrawing)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    const Variant none = Variant::Missing();
    const auto before = ShellLines(sim).size();
    auto quit = [&] {
        return device->Sketch(SketchVerbs::SketchQuit, none, none, none, none, none, none);
    };

    EXPECT_EQ(quit(), S_OK) << "nothing drawn since the device was made";
    ASSERT_EQ(device->Sketch(SketchVerbs::SketchText, 0, 0, "x", none, none, none), S_OK);
    EXPECT_EQ(quit(), S_OK);
    EXPECT_EQ(quit(), S_OK);
    Bitmap dot(1, 1, 0xFF000000);
    ASSERT_EQ(device->DrawPicture(0, 0, PictureOf(dot)), S_OK);
    EXPECT_EQ(quit(), S_OK) << "a picture takes the display as text does";

    EXPECT_EQ(ShellLinesAfter(sim, before),
              (std::vector<std::string>{"sketch -c text 0 0 \"x\"", "sketch -c quit",
                                        "sketch -c line 0 0 1 0", "sketch -c quit"}));
}

TEST_F(VelkDeviceTest, ControlCharactersNeverReachTheShell)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    const Variant none = Variant::Missing();
    const std::string texts[] = {"Headline\"\r\nirman dispatch CK_POWER_OFF",
                                 "a\nb",
                                 "a\rb",
                                 "tab\there",
                                 std::string("nul\0x", 5),
                                 "del\x7F",
                                 "esc\x1b[2J"};
    const auto before = ShellLines(sim);
    for (const auto& text : texts) {
        SCOPED_TRACE(::testing::PrintToString(text));
        EXPECT_EQ(device->Sketch(SketchVerbs::SketchText, 0, 0, text, none, none, none),
                  E_INVALIDARG);
        EXPECT_EQ(device->Sketch(SketchVerbs::SketchMarquee, text, none, none, none, none, none),
                  E_INVALIDARG);
        EXPECT_EQ(device->Sketch(SketchVerbs::SketchFont, text, none, none, none, none, none),
                  E_INVALIDARG);
        EXPECT_EQ(device->HtPlay("http://127.0.0.1/" + text), E_INVALIDARG);
    }
    EXPECT_EQ(ShellLines(sim), before);
}

TEST_F(VelkDeviceTest, LostConnectionReconnectsOnTheNextCommandInsteadOfSendingIt)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto service = std::make_shared<RecordingDataService>();
    ASSERT_EQ(service->Initialize(), S_OK);
    auto device = Connected(sim, 0, service->service_cookie());
    std::shared_ptr<IRCPSession> first_session;
    ASSERT_EQ(device->get_RCPSession(first_session), S_OK);
    ASSERT_EQ(first_session->put_MonitorDisplay(true), S_OK);
    // The subscription is posted: once the player answered a later question, it has it.
    std::int32_t volume = -1;
    ASSERT_EQ(first_session->get_Volume(volume), S_OK);

    sim.Control("fault " + sim.address() + " drop");
    EXPECT_EQ(device->Stop(), E_RCP_SOCKET);
    // While the player refuses us, every command tries again, and the loss is reported once.
    sim.Control("fault " + sim.address() + " disabled on");
    EXPECT_EQ(device->Attract(), E_RCP_SHELL_DISABLED);
    EXPECT_EQ(device->Attract(), E_RCP_SHELL_DISABLED);
    sim.Control("fault " + sim.address() + " disabled off");
    const auto before = ShellLines(sim).size();
    EXPECT_EQ(device->Attract(), S_OK);
    EXPECT_EQ(device->Stop(), S_OK);
    EXPECT_EQ(ShellLinesAfter(sim, before), (std::vector<std::string>{"displaytype", "ps", "stop"}))
        << "the command that reconnected is not sent afterwards";
    EXPECT_EQ(service->ids, std::vector<std::uint32_t>{CVelkDevice::kEventConnectionLost});

    // The session its callers hold goes on over the new connection.
    std::shared_ptr<IRCPSession> session;
    ASSERT_EQ(device->get_RCPSession(session), S_OK);
    EXPECT_EQ(session, first_session);
    volume = -1;
    EXPECT_EQ(first_session->get_Volume(volume), S_OK);
    EXPECT_EQ(volume, 40);
    // Subscriptions go out without awaiting their answer.
    EXPECT_TRUE(PumpUntil([&] { return RcpCount(sim, "DisplayUpdateEventSubscribe") == 2; }))
        << "the display updates it followed are not asked of the new connection";

    // A question is asked again after its reconnect: its answer is wanted. Each loss is
    // reported.
    sim.Control("fault " + sim.address() + " drop");
    std::string version;
    EXPECT_EQ(device->get_Version(version), E_RCP_SOCKET);
    EXPECT_EQ(device->get_Version(version), S_OK);
    EXPECT_EQ(version, "3.1.2");
    EXPECT_EQ(service->ids, std::vector<std::uint32_t>(2, CVelkDevice::kEventConnectionLost));

    device->OnShutdown();
    service->Terminate();
}

TEST_F(VelkDeviceTest, ShellAnswerPastItsBoundsResetsTheConnectionAndTheNextCommandReconnects)
{
    using testing::ScriptedPlayer;
    // Far more lines than an answer may hold, and than the sockets hold.
    ScriptedPlayer player(testing::MisbehavingPlayer("version", [](ScriptedPlayer& p) {
        p.Stream("Version 3.1.2\r\n", std::chrono::milliseconds(0), 64 << 20);
    }));
    auto device = NewDevice();
    ASSERT_EQ(device->Connect(player.address(), "uuid:hostile", "Hostile", 0), S_OK);

    std::string version;
    EXPECT_EQ(device->get_Version(version), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    EXPECT_TRUE(player.WaitStreamCut()) << "the connection stayed open";
    const auto connections = [&] {
        const auto lines = player.ReceivedLines();
        return std::count(lines.begin(), lines.end(), "displaytype");
    };
    const auto before = connections();
    EXPECT_EQ(device->Attract(), S_OK);
    EXPECT_GT(connections(), before) << "no reconnect";
}

TEST_F(VelkDeviceTest, ShuttingDownRefusesCommandsButNotClearAndQuit)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    const Variant none = Variant::Missing();
    ASSERT_EQ(device->Sketch(SketchVerbs::SketchText, 0, 0, "x", none, none, none), S_OK);
    ASSERT_EQ(device->ShuttingDown(), S_OK);
    const auto before = ShellLines(sim).size();

    EXPECT_EQ(device->Stop(), E_VELK_SHUTTING_DOWN);
    EXPECT_EQ(device->Sketch(SketchVerbs::SketchText, 0, 0, "x", none, none, none),
              E_VELK_SHUTTING_DOWN);
    EXPECT_EQ(device->GiveUpDisplay(1), E_VELK_SHUTTING_DOWN);
    EXPECT_EQ(device->put_StandbyMode(true), E_VELK_SHUTTING_DOWN);
    bool accepting = true;
    EXPECT_EQ(device->get_IsAcceptingSketch(accepting), S_OK);
    EXPECT_FALSE(accepting);
    // Providers still leave the display clean on their way out.
    EXPECT_EQ(device->Sketch(SketchVerbs::SketchClear, none, none, none, none, none, none), S_OK);
    EXPECT_EQ(device->Sketch(SketchVerbs::SketchQuit, none, none, none, none, none, none), S_OK);

    EXPECT_EQ(ShellLinesAfter(sim, before),
              (std::vector<std::string>{"sketch -c clear", "sketch -c quit"}));
}

TEST_F(VelkDeviceTest, GivenUpDisplayDropsDrawingUntilTheMenuTimeOutEnds)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    const Variant none = Variant::Missing();
    // Count 2: font size 2, menu time-out 300 ms.
    ASSERT_EQ(device->Load(HostHeader({2, 0, 2, 0, 0x2C, 0x01, 0, 0})), S_OK);
    EXPECT_EQ(device->GiveUpDisplay(-1), E_INVALIDARG);

    struct Case {
        std::int16_t seconds;
        std::int64_t minimum_ms;
    };
    // A time-out given in seconds is kept for the calls that give none.
    const Case cases[] = {{0, 300}, {1, 1000}, {0, 1000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        const std::size_t resumed = RcpCount(sim, "IrDemodSubscribe");
        const std::size_t suspended = RcpCount(sim, "IrDemodUnsubscribe");
        const auto start = Clock::now();
        ASSERT_EQ(device->GiveUpDisplay(c.seconds), S_OK);
        auto lines = ShellLines(sim);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], "sketch -c marquee -stop");
        EXPECT_EQ(lines.back(), "sketch -c quit");
        EXPECT_TRUE(PumpUntil([&] { return RcpCount(sim, "IrDemodUnsubscribe") > suspended; }))
            << "the session stops taking the player's keys";

        EXPECT_EQ(device->Sketch(SketchVerbs::SketchText, 0, 0, "dropped", none, none, none), S_OK);
        EXPECT_EQ(device->Stop(), S_OK);
        EXPECT_EQ(ShellLines(sim), lines) << "nothing is sent while the player has the display";

        ASSERT_TRUE(PumpUntil([&] { return RcpCount(sim, "IrDemodSubscribe") > resumed; }))
            << "the time-out's end gives the keys back to the session";
        EXPECT_GE(MsSince(start), c.minimum_ms);
        ASSERT_EQ(device->Sketch(SketchVerbs::SketchText, 0, 0, "back", none, none, none), S_OK);
        EXPECT_EQ(ShellLines(sim).back(), "sketch -c text 0 0 \"back\"");
    }
}

TEST_F(VelkDeviceTest, RemoteKeyWhileGivenUpPushesTheEndBack)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    constexpr std::int64_t kTimeoutMs = 1500;
    ASSERT_EQ(device->Load(HostHeader({2, 0, 2, 0, 0xDC, 0x05, 0, 0})), S_OK);
    std::shared_ptr<IRCPSession> session;
    ASSERT_EQ(device->get_RCPSession(session), S_OK);
    auto recorder = std::make_shared<KeyRecorder>();
    DWORD cookie = 0;
    ASSERT_EQ(session->Advise(recorder, cookie), S_OK);

    ASSERT_EQ(device->GiveUpDisplay(0), S_OK);
    // Someone else still wants the keys while the player has the display.
    ASSERT_EQ(session->put_MonitorRemoteKey(true), S_OK);
    std::int32_t volume = 0;
    ASSERT_EQ(session->get_Volume(volume), S_OK);
    const std::size_t resumed = RcpCount(sim, "IrDemodSubscribe");
    ASSERT_TRUE(PumpUntil([start = Clock::now()] { return MsSince(start) >= 400; }));

    const auto pressed = Clock::now();
    sim.Control("key " + sim.address() + " CK_NORTH");
    ASSERT_TRUE(PumpUntil([&] { return !recorder->keys.empty(); }));
    ASSERT_TRUE(PumpUntil([&] { return RcpCount(sim, "IrDemodSubscribe") > resumed; }));
    EXPECT_GE(MsSince(pressed), kTimeoutMs) << "the time-out runs again from the key";
    session->Unadvise(cookie);
}

TEST_F(VelkDeviceTest, StandbyFollowsThePowerKeyAndIsSetThroughTheRemote)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    std::shared_ptr<IRCPSession> session;
    ASSERT_EQ(device->get_RCPSession(session), S_OK);
    auto recorder = std::make_shared<KeyRecorder>();
    DWORD cookie = 0;
    ASSERT_EQ(session->Advise(recorder, cookie), S_OK);
    ASSERT_EQ(session->put_MonitorRemoteKey(true), S_OK);
    std::int32_t volume = 0;
    ASSERT_EQ(session->get_Volume(volume), S_OK);

    for (const bool expected : {true, false}) {
        SCOPED_TRACE(expected);
        const std::size_t seen = recorder->keys.size();
        sim.Control("key " + sim.address() + " CK_POWER");
        ASSERT_TRUE(PumpUntil([&] { return recorder->keys.size() > seen; }));
        bool standby = !expected;
        EXPECT_EQ(device->get_StandbyMode(standby), S_OK);
        EXPECT_EQ(standby, expected);
    }
    session->put_MonitorRemoteKey(false);
    session->Unadvise(cookie);

    struct Case {
        bool standby;
        const char* line;
    };
    for (const Case& c :
         {Case{true, "irman dispatch CK_POWER_OFF"}, Case{false, "irman dispatch CK_POWER_ON"}}) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(device->put_StandbyMode(c.standby), S_OK);
        EXPECT_EQ(ShellLines(sim).back(), c.line);
        bool standby = !c.standby;
        EXPECT_EQ(device->get_StandbyMode(standby), S_OK);
        EXPECT_EQ(standby, c.standby);
        // The player went along: a new connection finds it so in its process list.
        auto other = Connected(sim);
        EXPECT_EQ(other->get_StandbyMode(standby), S_OK);
        EXPECT_EQ(standby, c.standby);
    }
}

TEST_F(VelkDeviceTest, DrawPictureDrawsRunsOfDarkPixelsWordByWord)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    constexpr std::uint32_t kWhite = 0xFFFFFFFF;
    constexpr std::uint32_t kBlack = 0xFF000000;
    auto picture = [&](int width, int height, std::vector<std::pair<int, int>> dark) {
        Bitmap bitmap(width, height, kWhite);
        for (auto [px, py] : dark)
            bitmap.SetPixel(px, py, kBlack);
        return bitmap;
    };
    auto row = [](int first, int end, int y) {
        std::vector<std::pair<int, int>> pixels;
        for (int px = first; px < end; ++px)
            pixels.emplace_back(px, y);
        return pixels;
    };
    struct Case {
        const char* name;
        Bitmap bitmap;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a dark row is cut at the 32-pixel word",
         Bitmap(40, 1, kBlack),
         {"sketch -c line 5 3 37 3", "sketch -c line 37 3 45 3"}},
        {"pixels 32 to 39 of a 40-pixel row",
         picture(40, 1, row(32, 40, 0)),
         {"sketch -c line 37 3 45 3"}},
        {"a lit pixel ends a run",
         picture(6, 1, {{0, 0}, {1, 0}, {2, 0}, {4, 0}, {5, 0}}),
         {"sketch -c line 5 3 8 3", "sketch -c line 9 3 11 3"}},
        {"bottom row first",
         picture(4, 2, {{0, 0}, {3, 1}}),
         {"sketch -c line 8 4 9 4", "sketch -c line 5 3 6 3"}},
        {"only black is dark", picture(3, 1, {{1, 0}}), {"sketch -c line 6 3 7 3"}},
        {"nothing dark", Bitmap(8, 2, kWhite), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = ShellLines(sim).size();
        ASSERT_EQ(device->DrawPicture(5, 3, PictureOf(c.bitmap)), S_OK);
        EXPECT_EQ(ShellLinesAfter(sim, before), c.lines);
    }

    Bitmap grey(2, 1, 0xFF010101);
    grey.SetPixel(1, 0, kBlack);
    const auto before = ShellLines(sim).size();
    ASSERT_EQ(device->DrawPicture(0, 0, PictureOf(grey)), S_OK);
    EXPECT_EQ(ShellLines(sim).size(), before + 1) << "a dark grey pixel is not black";

    EXPECT_EQ(device->DrawPicture(0, 0, Variant(5)), E_NOTIMPL);
    EXPECT_EQ(device->DrawPicture(0, 0, Variant()), E_NOTIMPL);
    EXPECT_EQ(device->DrawPicture(0, 0, Variant(UnknownPtr(device))), E_INVALIDARG);
}

TEST_F(VelkDeviceTest, AudioToneSendsTheRateWordsAndRefusesTheRest)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    struct Case {
        Variant tone;
        Variant rate;
        HRESULT expected;
        const char* line; // nullptr: nothing sent
    };
    const Case cases[] = {
        {3, 0, S_OK, "audiotone 3 48"},
        {3, 1, S_OK, "audiotone 3 44.1"},
        {3, 2, S_OK, "audiotone 3 32"},
        {3, 3, E_UNEXPECTED, nullptr},
        {3, 4, S_OK, "audiotone 3 22.05"},
        {3, 5, E_UNEXPECTED, nullptr},
        {3, -1, E_UNEXPECTED, nullptr},
        {3, "fast", E_INVALIDARG, nullptr},
        {"12", 0, S_OK, "audiotone 12 48"},
        {-32768, 0, S_OK, "audiotone -32768 48"},
        {Variant::Missing(), Variant::Missing(), S_OK, "audiotone 0 48"},
        {"loud", 0, E_INVALIDARG, nullptr},
        {32768, 0, E_INVALIDARG, nullptr},
        {Date(45000.0), 0, E_INVALIDARG, nullptr},
        {Variant(Variant::Null{}), 0, E_INVALIDARG, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "tone " << c.tone.vt() << ", rate " << c.rate.vt()
                                          << ", " << (c.line ? c.line : "refused"));
        const auto before = ShellLines(sim);
        EXPECT_EQ(device->AudioTone(c.tone, c.rate), c.expected);
        const auto after = ShellLines(sim);
        if (c.line)
            EXPECT_EQ(after.back(), c.line);
        else
            EXPECT_EQ(after, before);
    }
}

TEST_F(VelkDeviceTest, LoadReadsAsManyHostHeaderFieldsAsItsCountSays)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        HRESULT expected;
        std::int16_t font_size;
        bool accepting; // show-content mode 2 (while nothing plays) refuses: the player plays
    };
    const Case cases[] = {
        {"no fields", {0, 0, 0xAA}, S_OK, 2, true},
        {"font size", {1, 0, 6, 0, 0xAA}, S_OK, 6, true},
        {"font size, menu time-out", {2, 0, 6, 0, 0x10, 0x27, 0, 0, 0xAA}, S_OK, 6, true},
        {"all three", {3, 0, 6, 0, 0x10, 0x27, 0, 0, 2, 0, 0xAA}, S_OK, 6, false},
        {"cut short", {3, 0, 6, 0, 0x10, 0x27}, HRESULT_FROM_WIN32(ERROR_INVALID_DATA), 2, true},
        {"empty", {}, HRESULT_FROM_WIN32(ERROR_INVALID_DATA), 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto device = NewDevice();
        device->set_playing(true);
        auto stream = HostHeader(c.bytes);
        EXPECT_EQ(device->Load(stream), c.expected);
        std::int16_t font_size = 0;
        EXPECT_EQ(device->get_FontSize(font_size), S_OK);
        EXPECT_EQ(font_size, c.font_size);
        bool accepting = !c.accepting;
        EXPECT_EQ(device->get_IsAcceptingSketch(accepting), S_OK);
        EXPECT_EQ(accepting, c.accepting);
        if (SUCCEEDED(c.expected)) {
            std::uint8_t next = 0;
            ULONG read = 0;
            ASSERT_EQ(stream->Read(&next, 1, read), S_OK);
            EXPECT_EQ(next, 0xAA) << "the provider's own state follows the header";
        }
    }
    EXPECT_EQ(NewDevice()->Load(nullptr), E_POINTER);
}

TEST_F(VelkDeviceTest, ShowContentModeDecidesWhetherDrawingIsWelcome)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    struct Case {
        std::uint8_t mode;
        bool standby;
        bool playing;
        bool accepting;
    };
    const Case cases[] = {
        {0, false, true, true},  {1, true, false, true},  {1, false, false, false},
        {2, false, false, true}, {2, false, true, false}, {7, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << int{c.mode} << " standby " << c.standby
                                          << " playing " << c.playing);
        ASSERT_EQ(device->Load(HostHeader({3, 0, 2, 0, 0x88, 0x13, 0, 0, c.mode, 0})), S_OK);
        ASSERT_EQ(device->put_StandbyMode(c.standby), S_OK);
        device->set_playing(c.playing);
        bool accepting = !c.accepting;
        EXPECT_EQ(device->get_IsAcceptingSketch(accepting), S_OK);
        EXPECT_EQ(accepting, c.accepting);
    }
}

TEST_F(VelkDeviceTest, DispatchReachesTheMembersByDispid)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    auto device = Connected(sim);
    std::vector<Variant> args;
    Variant result;
    ASSERT_EQ(device->Invoke(7, MemberKind::Method, args, result), S_OK);
    EXPECT_EQ(result,
              Variant(std::vector<Variant>{Variant(std::int16_t{512}), Variant(std::int16_t{32})}));
    ASSERT_EQ(device->Invoke(0, MemberKind::PropertyGet, args, result), S_OK);
    EXPECT_EQ(result, Variant("uuid:player-0"));

    args = {Variant(static_cast<std::int32_t>(SketchVerbs::SketchText)), Variant(1), Variant(2),
            Variant("hello")};
    ASSERT_EQ(device->Invoke(11, MemberKind::Method, args, result), S_OK);
    EXPECT_EQ(ShellLines(sim).back(), "sketch -c text 1 2 \"hello\"");

    args = {Variant::FromBool(true)};
    ASSERT_EQ(device->Invoke(19, MemberKind::PropertyPut, args, result), S_OK);
    args.clear();
    ASSERT_EQ(device->Invoke(19, MemberKind::PropertyGet, args, result), S_OK);
    EXPECT_EQ(result, Variant::FromBool(true));
}

} // namespace
} // namespace velk
