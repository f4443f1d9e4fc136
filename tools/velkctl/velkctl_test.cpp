// velkctl as a script runs it: the real program against the simulated player, and against a
// hostile one that greets as a player and then misbehaves.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "platform/event.h"
#include "rcp/testdata/scripted_player.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;
using testing::MisbehavingPlayer;
using testing::ScriptedPlayer;
using namespace std::chrono_literals;

// Generous: only a velkctl that hangs takes this long; it is killed then.
constexpr std::uint32_t kBoundMs = 60000;

struct Outcome {
    int status = -1; // -1: killed at the bound, or ended by a signal
    std::string out;
    std::string err;
    long max_rss_kib = 0;
};

// Reads until the end, or until the deadline passes (false).
bool ReadAll(int fd, std::string& text, const Deadline& deadline)
{
    std::array<char, 4096> buffer;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(deadline.RemainingMs())) != 1)
            return false;
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n <= 0)
            return true;
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

// Runs velkctl with the arguments; standard error goes to a file so that neither pipe can fill.
Outcome Velkctl(const std::vector<std::string>& args)
{
    int out_pipe[2];
    if (pipe(out_pipe) != 0)
        return {};
    char err_name[] = "/tmp/velkctl-test-XXXXXX";
    const int err_fd = mkstemp(err_name);
    unlink(err_name);

    std::vector<std::string> argv = {VELKCTL_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (auto& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_fd, STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, VELKCTL_BINARY, &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out_pipe[1]);

    Outcome outcome;
    if (!ReadAll(out_pipe[0], outcome.out, Deadline(kBoundMs)) && spawned == 0)
        kill(pid, SIGKILL);
    close(out_pipe[0]);
    int status = 0;
    rusage usage{};
    if (spawned == 0 && wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status))
        outcome.status = WEXITSTATUS(status);
    outcome.max_rss_kib = usage.ru_maxrss;
    lseek(err_fd, 0, SEEK_SET);
    ReadAll(err_fd, outcome.err, Deadline(kBoundMs));
    close(err_fd);
    return outcome;
}

std::vector<std::string> Player(const SimProcess& sim, std::vector<std::string> expressions)
{
    std::vector<std::string> args = {"--player", sim.address()};
    args.insert(args.end(), expressions.begin(), expressions.end());
    return args;
}

TEST(Velkctl, RunsExpressionsInOrderAgainstOnePlayer)
{
    SimProcess sim({"--songs", "300", "--name", "Den"});
    ASSERT_TRUE(sim.ready());
    const auto outcome = Velkctl(Player(sim, {
        "Name",
        "RCPSession.Volume = 35",
        "RCPSession.Volume",
        "ScreenWidth",
        "RCPSession.Shuffle",
        "RCPSession.BrowseFilterServer = ServerTypeDAAP|ServerTypeFM",
        "RCPSession.BrowseFilterServer",
        "RCPSession.Version",
        "RCPSession.Version.Text",
        "UDN",
    }));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, sim.address() + "\n35\n512\nFALSE\n257\n[object IRCPVersion]\n3.1.2\nuuid:" +
                               sim.address() + "\n");
}

TEST(Velkctl, StateCarriesFromOneExpressionToTheNext)
{
    SimProcess sim({"--songs", "300"});
    ASSERT_TRUE(sim.ready());
    const auto all = Velkctl(Player(sim, {"RCPSession.Songs.Count"}));
    ASSERT_EQ(all.status, 0) << all.err;
    const auto genres = Velkctl(Player(sim, {"RCPSession.Genres.Item(0).Name"}));
    ASSERT_EQ(genres.status, 0) << genres.err;
    std::string genre = genres.out.substr(0, genres.out.size() - 1);

    const auto filtered = Velkctl(Player(sim, {"RCPSession.BrowseFilterGenre = \"" + genre + "\"",
                                               "RCPSession.Songs.Count"}));
    ASSERT_EQ(filtered.status, 0) << filtered.err;
    EXPECT_LT(std::stoi(filtered.out), std::stoi(all.out));
    EXPECT_GT(std::stoi(filtered.out), 0);
}

TEST(Velkctl, PostedLinesReachThePlayerBeforeItExits)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    const auto outcome = Velkctl(Player(sim, {"RCPSession.PressRemoteKey(CK_VOLUME_UP)"}));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    bool seen = false;
    for (const auto& line : sim.Control("received " + sim.address()))
        seen = seen || line.ends_with(" IrDispatchCommand CK_VOLUME_UP");
    EXPECT_TRUE(seen);
}

TEST(Velkctl, FailuresAndBadExpressionsHaveTheirExitStatus)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    struct Case {
        std::vector<std::string> expressions;
        int status;
        std::string err_begins;
    };
    const Case cases[] = {
        // The player refuses the value: its error word's message.
        {{"RCPSession.Volume = 500"}, 1, "0xC0040205 "},
        // Text that would smuggle a second command line to the player.
        {{"Sketch(SketchText, 0, 0, \"a\\\"\")", "RCPSession.FriendlyName = \"x\u0001\""}, 1,
         "0x80070057 "},
        {{"RCPSession.NoSuchMember"}, 2, ""},
        {{"RCPSession.Volume = "}, 2, ""},
        {{"RCPSession.Presets.Item(99)"}, 1, "0x80070057 "},
        {{"GiveUpDisplay(-1)"}, 1, "0x80070057 "},
        // The clipboard belongs to the desktop program that shows the display.
        {{"RCPSession.Display.SaveToFile(\"clipboard\")"}, 1, "0x80004001 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expressions.front());
        const auto outcome = Velkctl(Player(sim, c.expressions));
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_TRUE(outcome.err.starts_with(c.err_begins)) << outcome.err;
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    }
}

TEST(Velkctl, UsageErrorsAndHelp)
{
    const auto help = Velkctl({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("EXPR   := CHAIN"), std::string::npos);
    EXPECT_NE(help.out.find("LoadPicture"), std::string::npos);

    EXPECT_EQ(Velkctl({}).status, 2);
    EXPECT_EQ(Velkctl({"--player"}).status, 2);
    EXPECT_EQ(Velkctl({"--frobnicate", "Name"}).status, 2);
    EXPECT_EQ(Velkctl({"--player", "127.0.0.2", "--server", "localhost", "Name"}).status, 2);
    EXPECT_EQ(Velkctl({"--server", "127.0.0.1:http", "Name"}).status, 2);
    EXPECT_EQ(Velkctl({"--player", "127.0.0.2", "--events", "Name"}).status, 2);
    // No data service answers on this port: the server is unavailable, and said so in words.
    const auto service = Velkctl({"--server", "127.0.0.1:9", "Version"});
    EXPECT_EQ(service.status, 1);
    EXPECT_TRUE(service.err.starts_with("0x800706BA ")) << service.err;
    EXPECT_NE(service.err.find("Cannot reach the Velk service at 127.0.0.1:9 (connection "
                               "refused): is velk running?"),
              std::string::npos)
        << service.err;
    // A typo is told before anything is reached, whatever comes first on the line.
    for (const auto& where : {std::vector<std::string>{"--server", "127.0.0.1:9"},
                              std::vector<std::string>{"--player", "127.0.0.1"}}) {
        auto args = where;
        args.insert(args.end(), {"Version", "Foo("});
        const auto typo = Velkctl(args);
        EXPECT_EQ(typo.status, 2) << typo.err;
        EXPECT_EQ(typo.out, "");
    }
    // No player answers there: a connection failure, reported as one.
    const auto nobody = Velkctl({"--player", "127.0.0.1", "Name"});
    EXPECT_EQ(nobody.status, 1);
    EXPECT_TRUE(nobody.err.starts_with("0x")) << nobody.err;
    const auto not_an_address = Velkctl({"--player", "player.example", "Name"});
    EXPECT_EQ(not_an_address.status, 1);
}

// A shell reply that never ends, however it trickles, fails the command at its deadline.
TEST(Velkctl, ShellReplyThatNeverEndsFailsAtItsDeadline)
{
    struct Case {
        const char* name;
        const char* unit;
    };
    const Case cases[] = {{"a byte at a time", "L"}, {"a line at a time", "Large VFD\r\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPlayer player(
            MisbehavingPlayer("displaytype", [&](ScriptedPlayer& p) { p.Stream(c.unit, 300ms); }));
        const auto outcome = Velkctl({"--player", player.address(), "DeviceType"});
        EXPECT_EQ(outcome.status, 1) << outcome.err;
        EXPECT_TRUE(outcome.err.starts_with("0xC0040209 ")) << outcome.err;
        EXPECT_NE(outcome.err.find("\"displaytype\" did not end in time"), std::string::npos)
            << outcome.err;
    }
}

// Replies past their bounds or numbers that do not fit fail clearly, whatever the pace; a
// reply past its bounds resets the connection, and memory stays small.
TEST(Velkctl, HostileRepliesFailClearlyWithBoundedMemory)
{
    constexpr long kMaxRssKib = 384 * 1024;
    struct Case {
        const char* name;
        const char* expression;
        const char* trigger;
        std::string reply;
        // Sent as fast as velkctl takes it, up to stream_bytes: far more than the bounds and
        // than the sockets hold, so that a reset cuts it short.
        std::string stream;
        std::size_t stream_bytes;
        const char* err_begins;
        const char* err_says;
    };
    const Case cases[] = {
        {"endless line", "RCPSession.Volume", "GetVolume", "GetVolume: ", "9", 1ull << 30,
         "0x8007000D ", "a line longer than 262144 bytes: \"GetVolume: 999"},
        {"endless list", "RCPSession.Genres.Count", "ListGenres ",
         "ListGenres: TransactionInitiated\r\nListGenres: ListResultSize 3\r\n",
         "ListGenres: Jazz\r\n", 1500000 * 18, "0x8007000D ",
         "answer to ListGenres goes on past 400000 lines"},
        {"number too large", "RCPSession.Volume", "GetVolume",
         "GetVolume: 99999999999999999999\r\n", "", 0, "0x8000FFFF ",
         "answered GetVolume with \"99999999999999999999\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPlayer player(MisbehavingPlayer(c.trigger, [&](ScriptedPlayer& p) {
            p.Send(c.reply);
            if (!c.stream.empty())
                p.Stream(c.stream, 0ms, c.stream_bytes);
        }));
        const auto outcome = Velkctl({"--player", player.address(), c.expression});
        EXPECT_EQ(outcome.status, 1) << outcome.err;
        EXPECT_TRUE(outcome.err.starts_with(c.err_begins)) << outcome.err;
        EXPECT_NE(outcome.err.find(c.err_says), std::string::npos) << outcome.err;
        EXPECT_LT(outcome.max_rss_kib, kMaxRssKib);
        if (!c.stream.empty()) {
            EXPECT_TRUE(player.WaitStreamCut()) << "the connection stayed open";
        }
    }
}

} // namespace
} // namespace velk
