#include "rcp/control_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/apartment.h"
#include "rcp/testdata/scripted_player.h"

namespace velk {
namespace {

using testing::PlayerWith;
using testing::ScriptedPlayer;
using namespace std::chrono_literals;

constexpr FirmwareVersion kMinimum{3, 0, 24};

TEST(TelnetSession, ConnectReadsDisplayTypeAndShellReplies)
{
    ScriptedPlayer player([](std::string_view line, ScriptedPlayer& p) {
        if (p.AnswerShell(line))
            return;
        if (line == "ps")
            p.Send("  1 Shell\r\n  2 StandbyApp\r\nMelodeck>");
    });
    CTelnetSession session;
    ASSERT_EQ(session.Connect(CTelnetSession::kPlayerPort, player.address()), S_OK);
    EXPECT_EQ(session.display_type(), "Large VFD");
    std::vector<std::string> lines;
    ASSERT_EQ(session.SendCommand("ps\r\n", true, &lines), S_OK);
    EXPECT_EQ(lines, (std::vector<std::string>{"  1 Shell", "  2 StandbyApp"}));
    EXPECT_EQ(session.SendCommand("ps\r\nsketch -c clear\r\n", true), E_INVALIDARG);
    EXPECT_EQ(session.SendCommand("no line end", false), E_INVALIDARG);
}

TEST(TelnetSession, GreetingsThatAreNotAPlayerFailCleanly)
{
    struct Case {
        const char* greeting;
        HRESULT expected;
    };
    const Case cases[] = {
        {"Disabled by the owner\r\n", E_RCP_SHELL_DISABLED},
        {"Welcome\r\nDisabled features: none\r\nMelodeck>", S_OK},
        {"", E_RCP_TIMEOUT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.greeting);
        ScriptedPlayer player([](std::string_view line, ScriptedPlayer& p) { p.AnswerShell(line); },
                              c.greeting);
        CTelnetSession session;
        EXPECT_EQ(session.Connect(CTelnetSession::kPlayerPort, player.address()), c.expected);
        EXPECT_EQ(session.IsConnected(), c.expected == S_OK);
    }
}

TEST(TelnetSession, PeerThatClosesAtOnceIsASocketError)
{
    ScriptedPlayer player(nullptr, std::nullopt);
    CTelnetSession session;
    EXPECT_EQ(session.Connect(CTelnetSession::kPlayerPort, player.address()), E_RCP_SOCKET);
    EXPECT_FALSE(session.IsConnected());
    EXPECT_EQ(session.Connect(CTelnetSession::kPlayerPort, "not an address"), E_RCP_SOCKET);
}

TEST(ControlSession, OpenChecksTheFirmwareMinimum)
{
    struct Case {
        const char* version;
        HRESULT expected;
    };
    const Case cases[] = {{"3.1.2", S_OK}, {"3.0.24", S_OK}, {"3.0.23", E_RCP_FIRMWARE_TOO_OLD},
                          {"2.9.999", E_RCP_FIRMWARE_TOO_OLD}, {"banana", E_FAIL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        ScriptedPlayer player(PlayerWith(nullptr, c.version));
        CControlSession session;
        EXPECT_EQ(session.Open(player.address(), kMinimum), c.expected);
        EXPECT_EQ(session.IsOpen(), c.expected == S_OK);
        if (c.expected == S_OK) {
            EXPECT_GE(session.firmware_version(), kMinimum);
        }
    }
}

TEST(ControlSession, ExecuteSettlesByCommandWord)
{
    ScriptedPlayer player(PlayerWith([](std::string_view line, ScriptedPlayer& p) {
        if (line == "GetVolume")
            p.Send("GetVolume: 42\r\n");
        else if (line == "SetVolume 200")
            p.Send("SetVolume: ParameterError\r\n");
        else if (line == "GetFriendlyName")
            // An answer split across reads, after a line nobody asked for and one without colon.
            p.Send("Nobody: asked\r\nno colon\r\nGetFriendly"), p.Send("Name: Kitchen\r\n");
        else if (line == "GetDisplayData")
            p.Send("GetDisplayData: data bytes: 4\r\n"), p.Send("ff00"), p.Send("ff00\r\n");
    }));
    CControlSession session;
    ASSERT_EQ(session.Open(player.address(), kMinimum), S_OK);

    std::string value;
    EXPECT_EQ(session.Execute("GetVolume", {}, &value), S_OK);
    EXPECT_EQ(value, "42");
    EXPECT_EQ(session.Execute("SetVolume", "200"), E_RCP_PARAMETER_ERROR);
    EXPECT_EQ(session.Execute("GetFriendlyName", {}, &value), S_OK);
    EXPECT_EQ(value, "Kitchen");
    EXPECT_EQ(session.Execute("GetDisplayData", {}, &value), S_OK);
    EXPECT_EQ(value, "data bytes: 4\r\nff00ff00");
}

TEST(ControlSession, ArgumentsCannotCarryASecondLine)
{
    ScriptedPlayer player(PlayerWith(nullptr));
    CControlSession session;
    ASSERT_EQ(session.Open(player.address(), kMinimum), S_OK);
    const std::string_view bad[] = {"x\r\nReboot", "x\nReboot", "x\rReboot", std::string_view("x\0y", 3), "\x1b"};
    for (auto argument : bad) {
        EXPECT_EQ(session.Execute("SetFriendlyName", argument), E_INVALIDARG);
        EXPECT_EQ(session.PostCommand("SetFriendlyName", nullptr, argument), E_INVALIDARG);
    }
    EXPECT_EQ(session.Execute("Bad Word"), E_INVALIDARG);
    for (const auto& line : player.ReceivedLines())
        EXPECT_EQ(line.find("Reboot"), std::string::npos) << line;
}

TEST(ControlSession, ListCommandCollectsEveryLineWithIndexes)
{
    ScriptedPlayer player(PlayerWith([](std::string_view line, ScriptedPlayer& p) {
        if (line == "ListGenres ")
            p.Send("ListGenres: TransactionInitiated\r\nListGenres: ListResultSize 2\r\n"
                   "ListGenres: Jazz\r\nListGenres: OK\r\nListGenres: Rock\r\n"
                   "ListGenres: ListResultEnd\r\nListGenres: TransactionComplete\r\n");
    }));
    CControlSession session;
    ASSERT_EQ(session.Open(player.address(), kMinimum), S_OK);
    std::vector<std::pair<std::string, int>> lines;
    EXPECT_EQ(session.ExecuteList("ListGenres", [&](std::string_view value, std::int32_t index) {
        lines.emplace_back(value, index);
        return S_OK;
    }), S_OK);
    const std::vector<std::pair<std::string, int>> expected = {
        {"ListResultSize 2", 0}, {"Jazz", 1}, {"Rock", 2}};
    EXPECT_EQ(lines, expected);
    auto received = player.ReceivedLines();
    EXPECT_NE(std::find(received.begin(), received.end(), "SetListResultType full"), received.end());
}

TEST(ControlSession, SilenceTimesOutAndCancelsAnOpenTransaction)
{
    ScriptedPlayer player(PlayerWith([](std::string_view line, ScriptedPlayer& p) {
        if (line == "ServerConnect 1")
            p.Send("ServerConnect: TransactionInitiated\r\n");
    }));
    CControlSession session;
    ASSERT_EQ(session.Open(player.address(), kMinimum), S_OK);
    session.set_reply_timeouts(200, 300);
    EXPECT_EQ(session.Execute("GetVolume"), E_RCP_TIMEOUT);
    EXPECT_EQ(session.Execute("ServerConnect", "1"), E_RCP_TIMEOUT);
    // The cancel reaches the player.
    auto cancelled = [&] {
        auto received = player.ReceivedLines();
        return std::find(received.begin(), received.end(), "CancelTransaction ServerConnect") != received.end();
    };
    for (int i = 0; i < 500 && !cancelled(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(cancelled());
}

TEST(ControlSession, TasksRunWhileWaitingButDoNotExtendTheTimeOut)
{
    auto apartment = Apartment::Create();
    ScriptedPlayer player(PlayerWith(nullptr));
    CControlSession session;
    ASSERT_EQ(session.Open(player.address(), kMinimum), S_OK);
    session.set_reply_timeouts(300, 300);

    // A task that keeps queueing itself, as a provider's timer would.
    std::atomic<int> ticks = 0;
    std::function<void()> tick = [&] {
        ++ticks;
        apartment->Post(tick);
    };
    apartment->Post(tick);
    EXPECT_EQ(session.Execute("GetVolume"), E_RCP_TIMEOUT);
    EXPECT_GT(ticks, 0);
    session.Close();
    apartment->Close();
}

TEST(ControlSession, ReplacedPendingCommandFails)
{
    // The player answers only the second "GetVolume".
    int asked = 0;
    ScriptedPlayer player(PlayerWith([&asked](std::string_view line, ScriptedPlayer& p) {
        if (line == "GetVolume" && ++asked == 2)
            p.Send("GetVolume: 7\r\n");
    }));
    CControlSession session;
    ASSERT_EQ(session.Open(player.address(), kMinimum), S_OK);
    session.set_reply_timeouts(5000, 5000);
    HRESULT first = S_OK;
    std::thread waiter([&] { first = session.Execute("GetVolume"); });
    auto sent_once = [&] {
        auto lines = player.ReceivedLines();
        return std::count(lines.begin(), lines.end(), "GetVolume") == 1;
    };
    while (!sent_once())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::string value;
    const HRESULT second = session.Execute("GetVolume", {}, &value);
    waiter.join();
    EXPECT_EQ(first, E_ABORT);
    EXPECT_EQ(second, S_OK);
    EXPECT_EQ(value, "7");
}

TEST(ControlSession, SocketClosedUnderAWaitingCallerFailsItAndLaterCommands)
{
    ScriptedPlayer player(PlayerWith([](std::string_view line, ScriptedPlayer& p) {
        if (line == "GetVolume")
            p.CloseConnection();
    }));
    CControlSession session;
    ASSERT_EQ(session.Open(player.address(), kMinimum), S_OK);
    EXPECT_EQ(session.Execute("GetVolume"), E_RCP_SOCKET);
    EXPECT_FALSE(session.IsOpen());
    EXPECT_EQ(session.Execute("GetVolume"), E_RCP_SOCKET);
    EXPECT_EQ(session.Close(), S_OK);
    EXPECT_EQ(session.Close(), S_OK);
}

TEST(ControlSession, StandingSubscriptionReceivesEveryEventLine)
{
    ScriptedPlayer player(PlayerWith([](std::string_view line, ScriptedPlayer& p) {
        if (line == "IrDemodSubscribe ")
            p.Send("IrDemodSubscribe: OK\r\nIrDemod: CK_NORTH\r\nIrDemod: CK_EXIT\r\n");
        else if (line == "IrDemodUnsubscribe ")
            p.Send("IrDemodUnsubscribe: OK\r\nIrDemod: CK_SOUTH\r\n");
        else if (line == "GetVolume")
            p.Send("GetVolume: 1\r\n");
    }));
    CControlSession session;
    ASSERT_EQ(session.Open(player.address(), kMinimum), S_OK);
    std::mutex mutex;
    std::vector<std::string> keys;
    Event two_keys;
    ASSERT_EQ(session.Subscribe("IrDemodSubscribe", "IrDemod", [&](std::string_view key, std::int32_t) {
        std::lock_guard lock(mutex);
        keys.emplace_back(key);
        if (keys.size() == 2)
            two_keys.Set();
        return S_OK;
    }), S_OK);
    ASSERT_TRUE(two_keys.Wait(5000));
    EXPECT_EQ(session.Subscribe("IrDemodUnsubscribe", "IrDemod", nullptr), S_OK);
    EXPECT_EQ(session.Execute("GetVolume"), S_OK); // the unsubscribe's answer has arrived
    std::lock_guard lock(mutex);
    EXPECT_EQ(keys, (std::vector<std::string>{"CK_NORTH", "CK_EXIT"}));
    EXPECT_EQ(session.RemoveTransaction("IrDemod"), S_FALSE);
}

TEST(TelnetSession, CommandThatComesInWhileAnotherWaitsGoesOutAfterItsAnswer)
{
    auto apartment = Apartment::Create();
    ScriptedPlayer player([](std::string_view line, ScriptedPlayer& p) {
        if (line == "ps")
            p.Send("  1 Shell\r\nMelodeck>");
        else
            p.AnswerShell(line);
    });
    CTelnetSession session;
    ASSERT_EQ(session.Connect(CTelnetSession::kPlayerPort, player.address()), S_OK);

    // Runs while the first command waits, as a call into the apartment would; the player
    // answers the first command only then.
    HRESULT nested = E_FAIL;
    std::vector<std::string> nested_lines;
    apartment->Post([&] {
        player.Send("1.0\r\nMelodeck>");
        nested = session.SendCommand("ps\r\n", true, &nested_lines);
    });
    std::vector<std::string> lines;
    EXPECT_EQ(session.SendCommand("version\r\n", true, &lines), S_OK);
    EXPECT_EQ(lines, std::vector<std::string>{"1.0"});
    EXPECT_EQ(nested, S_OK);
    EXPECT_EQ(nested_lines, std::vector<std::string>{"  1 Shell"});
    EXPECT_EQ(player.ReceivedLines(), (std::vector<std::string>{"displaytype", "version", "ps"}));
    apartment->Close();
}

TEST(ControlSession, ListThatTricklesEndsAtItsWholeDeadline)
{
    ScriptedPlayer player(PlayerWith([](std::string_view line, ScriptedPlayer& p) {
        if (line == "ListGenres ") {
            p.Send("ListGenres: TransactionInitiated\r\nListGenres: ListResultSize 3\r\n");
            p.Stream("ListGenres: Jazz\r\n", 50ms);
        }
    }));
    CControlSession session;
    ASSERT_EQ(session.Open(player.address(), kMinimum), S_OK);
    // Each line comes well within the silence allowed; the whole is what runs out.
    session.set_reply_timeouts(5000, 5000, 500);
    EXPECT_EQ(
        session.ExecuteList("ListGenres", [](std::string_view, std::int32_t) { return S_OK; }),
        E_RCP_TIMEOUT);
}

// However the calls nest, a wait on a player ends once the apartment is asked to stop.
TEST(PlayerWaits, EndOnceTheApartmentIsAskedToStop)
{
    ScriptedPlayer player(PlayerWith([](std::string_view line, ScriptedPlayer& p) {
        if (line == "version" || line == "GetVolume")
            p.Stream("9", 100ms);
    }));
    CTelnetSession shell;
    ASSERT_EQ(shell.Connect(CTelnetSession::kPlayerPort, player.address()), S_OK);
    CControlSession control;
    ASSERT_EQ(control.Open(player.address(), kMinimum), S_OK);
    struct Case {
        const char* trigger;
        std::function<HRESULT()> wait;
    };
    const Case cases[] = {
        {"version", [&] { return shell.SendCommand("version\r\n", true); }},
        {"GetVolume", [&] { return control.Execute("GetVolume"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trigger);
        auto apartment = Apartment::Create();
        std::thread stopper([&] {
            if (player.WaitForLine(c.trigger))
                apartment->RequestStop();
        });
        EXPECT_EQ(c.wait(), E_VELK_SHUTTING_DOWN);
        stopper.join();
        apartment->Close();
    }
}

} // namespace
} // namespace velk
