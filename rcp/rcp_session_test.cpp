// The RCP session's reading of what the player answers, with answers a well-behaved player
// never gives: values that do not parse fail instead of leaving results unset.
#include "rcp/rcp_session.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "rcp/testdata/scripted_session.h"

namespace velk {
namespace {

using testing::LinesReply;
using testing::OkReply;
using testing::ScriptedSession;
using testing::ValueReply;

TEST(RcpSession, TimesParseOrFail)
{
    ScriptedSession player({
        {"GetElapsedTime", ValueReply("GetElapsedTime", "1:02:03") + OkReply("GetElapsedTime")},
        {"GetTotalTime", ValueReply("GetTotalTime", "soon") + OkReply("GetTotalTime")},
        {"GetDate", ValueReply("GetDate", "12-07-2026") + OkReply("GetDate")},
        {"GetTime", ValueReply("GetTime", "13:05:09")},
    });
    ASSERT_EQ(player.opened(), S_OK);
    auto& session = *player.session();

    Date elapsed;
    ASSERT_EQ(session.get_ElapsedTime(elapsed), S_OK);
    EXPECT_DOUBLE_EQ(elapsed.value(), 3723.0 / 86400.0);
    Date total(7.0);
    EXPECT_EQ(session.get_TotalTime(total), E_UNEXPECTED);
    EXPECT_EQ(total.value(), 7.0);

    // The year has four digits on the wire both ways.
    Date now;
    ASSERT_EQ(session.get_Time(now), S_OK);
    EXPECT_EQ(now, *Date::FromCalendar({2026, 12, 7, 13, 5, 9}));
}

// Players send the date as month, day and year; older ones with two digits of year.
TEST(RcpSession, DatesWithTwoOrFourDigitsOfYearAreRead)
{
    struct Case {
        const char* date;
        int year;
    };
    const Case cases[] = {{"12-07-26", 2026}, {"12-07-2026", 2026}, {" 1- 2-05", 2005}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        ScriptedSession player({
            {"GetDate", ValueReply("GetDate", c.date) + OkReply("GetDate")},
            {"GetTime", ValueReply("GetTime", "13:05:09")},
        });
        ASSERT_EQ(player.opened(), S_OK);
        Date now;
        ASSERT_EQ(player.session()->get_Time(now), S_OK);
        const auto fields = now.ToCalendar();
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->year, c.year);
    }
}

TEST(RcpSession, WordsOutsideTheTablesAreNotTakenForAValue)
{
    ScriptedSession player({
        {"GetTransportState", ValueReply("GetTransportState", "Dancing")},
        {"Repeat", ValueReply("Repeat", "cycle")},
        {"GetVisualizerMode", ValueReply("GetVisualizerMode", "sideways") +
                                  OkReply("GetVisualizerMode")},
        {"GetVolume", ValueReply("GetVolume", "loud")},
    });
    ASSERT_EQ(player.opened(), S_OK);
    auto& session = *player.session();

    RCPTransportStates state = RCPTransportStates::TransportStatePlay;
    EXPECT_EQ(session.get_TransportState(state), E_INVALIDARG);
    EXPECT_EQ(state, RCPTransportStates::TransportStateError);
    RCPRepeatStates repeat{};
    EXPECT_EQ(session.get_RepeatState(repeat), S_OK);
    EXPECT_EQ(repeat, RCPRepeatStates::RepeatCycle);
    RCPVisualizerMode mode{};
    EXPECT_EQ(session.get_VisualizerMode(mode), E_UNEXPECTED);
    std::int32_t volume = 0;
    EXPECT_EQ(session.get_Volume(volume), E_UNEXPECTED);
    EXPECT_EQ(session.put_VisualizerMode(static_cast<RCPVisualizerMode>(9)), E_INVALIDARG);
}

TEST(RcpSession, UpgradeGivesUpOnAPlayerThatKeepsItsServer)
{
    ScriptedSession player({
        {"ExecuteSoftwareUpgrade",
         ValueReply("ExecuteSoftwareUpgrade", "ErrorCantRunWithServerConnected")},
        {"ServerDisconnect", OkReply("ServerDisconnect")},
    });
    ASSERT_EQ(player.opened(), S_OK);
    EXPECT_EQ(player.session()->ExecuteSoftwareUpgrade(), E_RCP_CANT_RUN_WITH_SERVER_CONNECTED);
    const auto sent = player.Sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "ExecuteSoftwareUpgrade"), 3);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "ServerDisconnect"), 2);
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [](const std::string& line) { return line.starts_with("Reboot"); }),
              0);
}

TEST(RcpSession, UpgradeWithNothingOnOfferDoesNotRestartThePlayer)
{
    ScriptedSession player({
        {"ExecuteSoftwareUpgrade",
         ValueReply("ExecuteSoftwareUpgrade", "TransactionInitiated") +
             ValueReply("ExecuteSoftwareUpgrade", "CheckingUpgradeAvailability") +
             ValueReply("ExecuteSoftwareUpgrade", "NoUpgradeAvailable") +
             ValueReply("ExecuteSoftwareUpgrade", "TransactionComplete")},
    });
    ASSERT_EQ(player.opened(), S_OK);
    EXPECT_EQ(player.session()->ExecuteSoftwareUpgrade(), S_OK);
    const auto sent = player.Sent();
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [](const std::string& line) { return line.starts_with("Reboot"); }),
              0);
}

} // namespace
} // namespace velk
