// The data service as users run it, inside a private network namespace with simulated players:
// `velk` in plain-server and in service mode finds the players, `velkctl --server` drives
// them through its automation endpoint, a provider listed in the registry draws on them, and a
// hostile player stalls nobody but itself.
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <limits>
#include <thread>

#include "platform/date.h"
#include "platform/nls.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "providers/time/testdata/device_state_bytes.h"
#include "rcp/testdata/scripted_player.h"
#include "tools/sim/sim_test_support.h"
#include "tools/sim/sketch.h"

namespace velk {
namespace {

using sim::testing::SimProcess;
using testing::MisbehavingPlayer;
using testing::ScriptedPlayer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kDiscoveryWait = std::chrono::seconds(30);
// Generous: only a program that does not act on its stop takes this long.
constexpr auto kStopWait = std::chrono::seconds(30);

// A program left running in the background, stopped with SIGTERM when the test ends.
class Background {
public:
    // Its output goes to the file named, or nowhere.
    explicit Background(const std::vector<std::string>& argv, const std::string& output = "/dev/null")
    {
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            if (WaitExit(kStopWait) == -1 && pid_ > 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
            }
        }
    }

    // The exit status once it ends within the time; -1 otherwise.
    int WaitExit(std::chrono::seconds timeout)
    {
        const auto until = Clock::now() + timeout;
        while (Clock::now() < until) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }
    void Terminate() { kill(pid_, SIGTERM); }

    // The most memory the running program has held so far (VmHWM), in KiB; -1 when unknown.
    long PeakMemoryKib() const
    {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmHWM:"))
                return std::stol(line.substr(6));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
};

class ServiceTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        // Inside the namespace the service looks for players.
        unsetenv("VELK_DISCOVERY");
        setenv("VELK_SYSTEMD_UNIT_DIR", folder().c_str(), 1);
    }

    static std::string Velk() { return (ProgramFolder() / "velk").string(); }

    ProgramResult Velkctl(std::vector<std::string> args)
    {
        args.insert(args.begin(), (ProgramFolder() / "velkctl").string());
        return RunProgram(args);
    }

    // Asks until the service has found count players.
    bool WaitForPlayers(int count)
    {
        const auto until = Clock::now() + kDiscoveryWait;
        while (Clock::now() < until) {
            if (Velkctl({"VelkDevices.Count"}).output == std::to_string(count) + "\n")
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return false;
    }
};

TEST_F(ServiceTest, PlainServerServesPlayersAndEndsAfterItsLastClient)
{
    SimProcess sim({"--players", "2", "--renderer-only"});
    ASSERT_TRUE(sim.ready());
    Background velk({Velk()});
    ASSERT_TRUE(WaitForPlayers(2));

    auto set = Velkctl({"VelkDevices.Item(0).RCPSession.Volume = 33",
                        "VelkDevices.Item(0).RCPSession.Volume", "Version"});
    EXPECT_EQ(set.status, 0) << set.output;
    EXPECT_EQ(set.output, "33\n0.1.0.0\n");

    // A client that asked for remote keys and went away leaves the count as it found it.
    EXPECT_EQ(Velkctl({"VelkDevices.Item(0).RCPSession.MonitorRemoteKey = TRUE",
                       "VelkDevices.Item(0).RCPSession.MonitorRemoteKey"})
                  .output,
              "TRUE\n");
    EXPECT_EQ(Velkctl({"VelkDevices.Item(0).RCPSession.MonitorRemoteKey"}).output, "FALSE\n");

    const auto unknown = Velkctl({"RemoveDevice(\"uuid:nobody\")"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(unknown.output.starts_with("0x80004005 ")) << unknown.output;

    // Quiet for the shutdown delay after the last client: the plain server ends by itself.
    EXPECT_EQ(velk.WaitExit(std::chrono::seconds(20)), 0);
}

TEST_F(ServiceTest, ServiceModeRunsUntilStopped)
{
    const auto registered = RunProgram({Velk(), "--service"});
    ASSERT_EQ(registered.status, 0) << registered.output;
    SimProcess sim({"--players", "1"});
    ASSERT_TRUE(sim.ready());
    Background velk({Velk()});
    ASSERT_TRUE(WaitForPlayers(1));
    const auto name = Velkctl({"VelkDevices.Item(0).Name"});
    EXPECT_EQ(name.status, 0) << name.output;
    // A service does not end with its clients.
    EXPECT_EQ(velk.WaitExit(std::chrono::seconds(7)), -1);

    // A client that follows the players sees them leave when the service stops.
    const std::string events_file = (folder() / "events.txt").string();
    Background events({(ProgramFolder() / "velkctl").string(), "--events", "VelkDevices.Count"},
                      events_file);
    const auto printed = [&] {
        std::ifstream in(events_file);
        return std::string{std::istreambuf_iterator<char>(in), {}};
    };
    const auto until = Clock::now() + kStopWait;
    while (printed().empty() && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(printed(), "1\n");
    velk.Terminate();
    EXPECT_EQ(velk.WaitExit(std::chrono::seconds(20)), 0);
    EXPECT_NE(printed().find("OnRemoveDevice"), std::string::npos) << printed();
}

// The player's last lines, one a line, for failure messages.
std::string ReceivedText(const SimProcess& sim)
{
    std::string text;
    for (const auto& line : sim.Received())
        text += line + "\n";
    return text;
}

// The simulated player's display showing the time provider's line for one of the moments.
bool ShowsTimeLine(const sim::FrameBuffer& shown, const std::string& display_type,
                   const std::vector<CalendarTime>& moments)
{
    const auto model = sim::Display::FindModel(display_type);
    if (!model)
        return false;
    for (const auto& when : moments) {
        std::string date;
        std::string time;
        Nls::UserDefault().GetDateFormat(when, "yyyy-MM-dd", date);
        Nls::UserDefault().GetTimeFormat(when, "HH:mm:ss", time);
        sim::Display expected(*model);
        for (const auto& command : {std::string("-c clear"), std::string("-c font 2"),
                                    "-c text 0 0 \"" + date + " " + time + "\""})
            sim::Sketch::Run(command, expected, 1);
        if (expected.frame().ColumnHex() == shown.ColumnHex())
            return true;
    }
    return false;
}

TEST_F(ServiceTest, TimeProviderShowsTheTimeAndGivesWayToExit)
{
    const auto registered = RunProgram({Velk(), "--service"});
    ASSERT_EQ(registered.status, 0) << registered.output;
    SimProcess sim({"--players", "1"});
    ASSERT_TRUE(sim.ready());
    // address, name, model, display type, firmware, UDN, kind
    const auto players = sim.Control("players");
    ASSERT_EQ(players.size(), 1u);
    std::vector<std::string> fields;
    for (std::size_t start = 0, tab; start <= players[0].size(); start = tab + 1) {
        tab = std::min(players[0].find('\t', start), players[0].size());
        fields.push_back(players[0].substr(start, tab - start));
    }
    ASSERT_EQ(fields.size(), 7u) << players[0];
    const std::string display_type = fields[3];
    const std::string udn = fields[5];
    ASSERT_TRUE(udn.starts_with("uuid:")) << udn;

    const std::string time_server = "{D4759F97-ABB6-4DBA-8ECD-9B2B0CEE91DE}";
    const std::string player_key = "SOFTWARE\\Velk\\DataServer\\DataProviders\\" + udn.substr(5);
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, player_key), S_OK);
    ASSERT_EQ(key.SetStringValue("Classes", time_server), S_OK);
    RegKey state;
    ASSERT_EQ(state.Create(Hive::LocalMachine, player_key + "\\" + time_server), S_OK);
    ASSERT_EQ(state.SetBinaryValue("Parameters",
                                   testing::TimeDeviceState({"yyyy-MM-dd", "HH:mm:ss"},
                                                            {.menu_timeout_ms = 2000})),
              S_OK);

    Background velk({Velk()});
    const auto shows_time = [&] {
        const auto before = *Date::Now().ToCalendar();
        const auto frame = sim.Frame();
        const auto after = *Date::Now().ToCalendar();
        return ShowsTimeLine(frame, display_type, {before, after});
    };
    const auto wait_for = [](const std::function<bool()>& condition) {
        const auto until = Clock::now() + kDiscoveryWait;
        while (!condition()) {
            if (Clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return true;
    };
    ASSERT_TRUE(wait_for(shows_time)) << "the display never showed the date and time";

    // EXIT gives the display back to the player for the menu time-out; then the time returns.
    sim.Control("key " + sim.address() + " CK_EXIT");
    EXPECT_TRUE(wait_for([&] { return !shows_time(); }));
    EXPECT_TRUE(wait_for(shows_time)) << "the time did not come back; the player received:\n"
                                      << ReceivedText(sim);
}

// A player that trickles or floods its answer stalls only the call that reached it: other
// clients are served meanwhile, memory stays small, and a stop ends the service while the call
// still waits.
TEST_F(ServiceTest, HostilePlayerStallsOnlyItselfAndTheServiceStillStops)
{
    constexpr long kMaxMemoryKib = 384 * 1024;
    constexpr auto kForever = std::numeric_limits<std::size_t>::max();
    struct Case {
        const char* name;
        const char* expression;
        const char* trigger;
        std::string reply;
        std::string stream;
        std::chrono::milliseconds interval;
        std::size_t stream_bytes;
        const char* fails_with; // the call's code, when it ends before the stop
    };
    const Case cases[] = {
        {"shell answer a byte at a time", "VelkDevices.Item(0).Version", "version", "", "1", 300ms,
         kForever, ""},
        {"list a line at a time", "VelkDevices.Item(0).RCPSession.Genres.Count", "ListGenres ",
         "ListGenres: TransactionInitiated\r\nListGenres: ListResultSize 3\r\n",
         "ListGenres: Jazz\r\n", 300ms, kForever, ""},
        {"endless line, fast", "VelkDevices.Item(0).RCPSession.Volume", "GetVolume",
         "GetVolume: ", "9", 0ms, std::size_t{1} << 30, "0x8007000D "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The simulated player's UPnP device leads the service to its address, where the
        // hostile player answers on the shell's port instead.
        SimProcess sim({"--players", "1", "--port", "5444"});
        ASSERT_TRUE(sim.ready());
        ScriptedPlayer player(MisbehavingPlayer(c.trigger,
                                                [&](ScriptedPlayer& p) {
                                                    p.Send(c.reply);
                                                    p.Stream(c.stream, c.interval, c.stream_bytes);
                                                }),
                              "Melodeck shell 1.0\r\nMelodeck>", sim.address());
        Background velk({Velk()});
        ASSERT_TRUE(WaitForPlayers(1));

        std::atomic<bool> answered = false;
        ProgramResult stalled;
        std::thread caller([&] {
            stalled = Velkctl({c.expression});
            answered = true;
        });
        EXPECT_TRUE(player.WaitForLine(c.trigger));
        const auto count = Velkctl({"VelkDevices.Count"});
        EXPECT_EQ(count.output, "1\n") << "another client was not served";
        if (c.interval.count() > 0) {
            EXPECT_FALSE(answered) << "the call did not wait for the player";
        }
        EXPECT_LT(velk.PeakMemoryKib(), kMaxMemoryKib);

        velk.Terminate();
        EXPECT_EQ(velk.WaitExit(kStopWait), 0) << "the stop was not acted on";
        caller.join();
        EXPECT_EQ(stalled.status, 1) << stalled.output;
        EXPECT_TRUE(stalled.output.starts_with(c.fails_with)) << stalled.output;
    }
}

} // namespace
} // namespace velk
