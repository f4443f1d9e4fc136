// The time provider as the service runs it: the module registered in a scratch registry, the
// real root object hosting it, and real players of velk-sim listing it. What each player shows
// comes from the lines the simulated players receive.
#include "providers/time/velk_time_server.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/apartment.h"
#include "platform/class_registry.h"
#include "platform/memory_stream.h"
#include "platform/nls.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "platform/testdata/run_apartment_until.h"
#include "service/provider_hosting.h"
#include "service/velk_data_service.h"
#include "service/velk_device.h"
#include "providers/common/testdata/hosting_fixture.h"
#include "providers/time/testdata/device_state_bytes.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;
using testing::AppendPicture;
using testing::TimeDeviceState;

constexpr std::string_view kTextPrefix = "sketch -c text 0 0 \"";

std::string Udn(int index)
{
    return "uuid:player-" + std::to_string(index);
}

std::string PlayerKeyPath(int index)
{
    return std::string(ProviderHosting::kDataProvidersKey) + "\\player-" + std::to_string(index);
}

// What a player shows without pictures of its own, at a time between before and after.
bool IsDefaultText(const std::string& text, const CalendarTime& before, const CalendarTime& after)
{
    const Nls& locale = Nls::UserDefault();
    for (const auto& when : {before, after}) {
        std::string date;
        std::string time;
        locale.GetDateFormat(when, std::nullopt, date);
        locale.GetTimeFormat(when, std::nullopt, time);
        if (text == date + " " + time)
            return true;
    }
    return false;
}

class TimeServerTest : public testing::HostingFixture<CVelkDataService> {
protected:
    TimeServerTest() : HostingFixture(VELK_TIME_MODULE, {"--players", "6"}) {}

    static void ListTimeServer(int player)
    {
        RegKey key;
        ASSERT_EQ(key.Create(Hive::LocalMachine, PlayerKeyPath(player)), S_OK);
        ASSERT_EQ(key.SetStringValue(ProviderHosting::kClassesValue,
                                     CLSID_VelkTimeServer.ToString()),
                  S_OK);
    }

    static void WriteDeviceState(int player, const std::vector<std::uint8_t>& bytes)
    {
        RegKey key;
        ASSERT_EQ(key.Create(Hive::LocalMachine,
                             PlayerKeyPath(player) + "\\" + CLSID_VelkTimeServer.ToString()),
                  S_OK);
        ASSERT_EQ(key.SetBinaryValue("Parameters", bytes), S_OK);
    }

    std::shared_ptr<CVelkDevice> AddPlayer(int index)
    {
        auto player = std::make_shared<CVelkDevice>();
        EXPECT_EQ(player->Connect(sim_.address(index), Udn(index), "Player",
                                  service_->service_cookie()),
                  S_OK);
        service_->AddPlayer(player);
        return player;
    }

    // The text of the last time line the player received since the given count of lines.
    std::optional<std::string> ShownText(int index, std::size_t since = 0)
    {
        const auto lines = sim_.Received(index);
        for (std::size_t i = lines.size(); i-- > since;) {
            if (lines[i].starts_with(kTextPrefix) && lines[i].ends_with('"'))
                return lines[i].substr(kTextPrefix.size(),
                                       lines[i].size() - kTextPrefix.size() - 1);
        }
        return std::nullopt;
    }

    bool HasReceived(int index, std::string_view line)
    {
        const auto lines = sim_.Received(index);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::shared_ptr<IVelkDataObject> Provider()
    {
        std::shared_ptr<IVelkHosts> hosts;
        DispatchablePtr item;
        std::shared_ptr<IVelkDataObject> provider;
        EXPECT_EQ(service_->get_Hosts(hosts), S_OK);
        EXPECT_EQ(hosts->Item(Variant(std::int32_t{0}), item), S_OK);
        auto host = std::dynamic_pointer_cast<IVelkDataHost>(item);
        EXPECT_TRUE(host);
        if (host) {
            EXPECT_EQ(host->get_Object(provider), S_OK);
        }
        return provider;
    }

};

TEST_F(TimeServerTest, EveryPlayerShowsTheDateAndTimeWithItsOwnPictures)
{
    struct Case {
        std::vector<std::string> pictures; // none: the player has no device state
        const char* shown;                  // nullptr: the locale's defaults
    };
    // Six players: the walk fetches them five at a time.
    const Case kPlayers[] = {
        {{"'D0'", "'T0'"}, "D0 T0"},
        {{"", "'T1'"}, " T1"},
        {{"'D2'", ""}, "D2 "},
        {{"", ""}, " "},
        {{}, nullptr},
        {{"'D5'", "'T5'"}, "D5 T5"},
    };
    for (int i = 0; i < 6; ++i) {
        ListTimeServer(i);
        if (!kPlayers[i].pictures.empty())
            WriteDeviceState(i, TimeDeviceState(kPlayers[i].pictures));
    }
    const CalendarTime before = *Date::Now().ToCalendar();
    for (int i = 0; i < 6; ++i)
        AddPlayer(i);
    ASSERT_TRUE(PumpUntil([&] {
        for (int i = 0; i < 6; ++i) {
            if (!ShownText(i))
                return false;
        }
        return true;
    }));
    const CalendarTime after = *Date::Now().ToCalendar();

    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE("player " + std::to_string(i));
        const std::string shown = *ShownText(i);
        if (kPlayers[i].shown)
            EXPECT_EQ(shown, kPlayers[i].shown);
        else
            EXPECT_TRUE(IsDefaultText(shown, before, after)) << shown;
        // Cleared when it arrived, in the font its settings give before the text.
        EXPECT_TRUE(HasReceived(i, "sketch -c clear"));
        EXPECT_TRUE(HasReceived(i, "sketch -c font 2"));
    }
}

TEST_F(TimeServerTest, PlayersThatShowSomethingElseAreLeftAlone)
{
    ListTimeServer(0);
    auto served = AddPlayer(0);
    auto other = AddPlayer(1);
    ASSERT_TRUE(PumpUntil([&] { return ShownText(0).has_value(); }));

    EXPECT_FALSE(ShownText(1));
    EXPECT_FALSE(HasReceived(1, "sketch -c clear"));
    std::shared_ptr<IRCPSession> session;
    ASSERT_EQ(other->get_RCPSession(session), S_OK);
    bool monitoring = true;
    session->get_MonitorRemoteKey(monitoring);
    EXPECT_FALSE(monitoring) << "its keys stay its own";
}

TEST_F(TimeServerTest, PlayerThatShowsContentOnlyInStandbyKeepsItsScreenWhileAwake)
{
    ListTimeServer(0);
    WriteDeviceState(0, TimeDeviceState({"'D'", "'T'"}, {.show_content_mode = 1}));
    auto player = AddPlayer(0);
    ASSERT_TRUE(PumpUntil([&] { return HasReceived(0, "sketch -c quit"); }));
    EXPECT_FALSE(ShownText(0));
}

TEST_F(TimeServerTest, ExitHandsTheDisplayBackUntilTheMenuTimeOutAlsoAfterAReload)
{
    ListTimeServer(0);
    WriteDeviceState(0, TimeDeviceState({"'D'", "'T'"}));
    AddPlayer(0);
    ASSERT_TRUE(PumpUntil([&] { return ShownText(0).has_value(); }));

    for (const bool reload : {false, true}) {
        SCOPED_TRACE(reload ? "after a reload" : "first provider");
        if (reload) {
            ASSERT_EQ(service_->Reload(), S_OK);
        }
        const std::size_t before_exit = sim_.Received(0).size();
        sim_.Control("key " + sim_.address() + " CK_EXIT");
        ASSERT_TRUE(PumpUntil([&] {
            const auto lines = sim_.Received(0);
            return std::find(lines.begin() + before_exit, lines.end(), "sketch -c quit") !=
                   lines.end();
        }));
        const std::size_t after_exit = sim_.Received(0).size();
        EXPECT_FALSE(HasReceived(0, "IrDispatchCommand CK_EXIT"));
        // The menu time-out of its settings (1 s) gives the display back to the time.
        EXPECT_TRUE(PumpUntil([&] { return ShownText(0, after_exit).has_value(); }));
    }
}

TEST_F(TimeServerTest, DeviceStateRoundTripsAndABadStreamKeepsWhatWasLoaded)
{
    ListTimeServer(0);
    WriteDeviceState(0, TimeDeviceState({"dd.MM.yyyy", "HH:mm"}));
    auto player = AddPlayer(0);
    auto provider = Provider();
    auto configure = std::dynamic_pointer_cast<IConfigureVelkDataObject>(provider);
    ASSERT_TRUE(configure);

    std::vector<std::uint8_t> expected;
    AppendPicture(expected, "dd.MM.yyyy");
    AppendPicture(expected, "HH:mm");
    MemoryStream saved;
    ASSERT_EQ(configure->SaveDeviceState(saved, player), S_OK);
    EXPECT_EQ(saved.bytes(), expected);

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    const Case kBadStreams[] = {
        {"negative count", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"count beyond the stream", {0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'}},
        {"stream ends inside a count", {4, 0}},
        {"time field cut short", {1, 0, 0, 0, 'd', 9, 0, 0, 0, 'H'}},
    };
    for (const auto& c : kBadStreams) {
        SCOPED_TRACE(c.name);
        MemoryStream bad(c.bytes);
        EXPECT_EQ(configure->LoadDeviceState(bad, player), E_INVALIDARG);
        MemoryStream kept;
        ASSERT_EQ(configure->SaveDeviceState(kept, player), S_OK);
        EXPECT_EQ(kept.bytes(), expected);
    }

    // A stream that ends after the date: the time falls back to the locale's picture.
    std::vector<std::uint8_t> date_only;
    AppendPicture(date_only, "yyyy");
    MemoryStream short_stream(date_only);
    ASSERT_EQ(configure->LoadDeviceState(short_stream, player), S_OK);
    std::vector<std::uint8_t> with_default_time = date_only;
    AppendPicture(with_default_time, Nls::UserDefault().TimePicture());
    MemoryStream resaved;
    ASSERT_EQ(configure->SaveDeviceState(resaved, player), S_OK);
    EXPECT_EQ(resaved.bytes(), with_default_time);
}

} // namespace
} // namespace velk
