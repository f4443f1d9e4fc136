// The shell of a real velk-sim process, over raw sockets: framing, commands, sketch drawing.
#include "tools/sim/shell_session.h"

#include <gtest/gtest.h>

#include <regex>

#include "tools/sim/sim_test_support.h"

namespace velk::sim {
namespace {

using testing::PlayerSocket;
using testing::SimProcess;

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim_.ready()) << "velk-sim did not start"; }

    // A shell connection past its greeting.
    std::unique_ptr<PlayerSocket> Shell(int player = 0)
    {
        auto socket = std::make_unique<PlayerSocket>(sim_.address(player));
        EXPECT_TRUE(socket->connected());
        socket->Greeting();
        return socket;
    }

    SimProcess sim_{{"--players", "2", "--display", "Large VFD,Small VFD", "--no-upnp"}};
};

TEST_F(ShellTest, GreetingAndEveryAnswerEndWithTheBarePromptAfterACrLf)
{
    PlayerSocket socket(sim_.address());
    const std::string greeting = socket.Greeting();
    EXPECT_TRUE(greeting.ends_with("\r\nMelodeck>")) << greeting;
    EXPECT_FALSE(greeting.starts_with("Disabled"));

    socket.Send("displaytype\r\n");
    EXPECT_EQ(socket.ReadUntil("Melodeck>"), "Large VFD\r\nMelodeck>");
    // A command without output still sends a line end before the prompt.
    socket.Send("sketch -c clear\r\n");
    EXPECT_EQ(socket.ReadUntil("Melodeck>"), "\r\nMelodeck>");
}

TEST_F(ShellTest, CommandsAnswerForTheirOwnPlayer)
{
    struct Case {
        int player;
        const char* command;
        const char* pattern; // every answer line joined with "|"
    };
    const Case kCases[] = {
        {0, "displaytype", "Large VFD"},
        {1, "displaytype", "Small VFD"},
        {0, "version", "3\\.1\\.2 .*"},
        {0, "ps", ".*\\|.*NowPlayingApp.*"},
        {0, "nonsense", "Unknown command: nonsense"},
        {0, "irman dispatch CK_NONSENSE", "irman: unknown key CK_NONSENSE"},
        {0, "audiotone 3 24", "audiotone: unsupported sample rate 24"},
        {0, "audiotone 3 44.1", ""},
        {0, "audiowarble", ""},
        {0, "htplay http://127.0.0.1/stream.mp3", ""},
        {0, "stop", ""},
        {0, "attract", ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.command);
        auto shell = Shell(c.player);
        std::string joined;
        for (const auto& line : shell->Shell(c.command))
            joined += (joined.empty() ? "" : "|") + line;
        EXPECT_TRUE(std::regex_match(joined, std::regex(c.pattern))) << "answer: " << joined;
    }
}

TEST_F(ShellTest, PsShowsStandbyAppOnlyInStandby)
{
    auto shell = Shell();
    const auto has_standby_app = [&shell] {
        for (const auto& line : shell->Shell("ps"))
            if (line.find("StandbyApp") != std::string::npos)
                return true;
        return false;
    };
    EXPECT_FALSE(has_standby_app());
    shell->Shell("irman dispatch CK_POWER_OFF");
    EXPECT_TRUE(has_standby_app());
    shell->Shell("irman dispatch CK_POWER");
    EXPECT_FALSE(has_standby_app());
}

TEST_F(ShellTest, FontListNamesEndInTheirPixelHeights)
{
    auto shell = Shell();
    std::set<int> heights;
    const std::regex line_format("(\\d+) - ([A-Za-z]+?)(\\d{1,2})");
    for (const auto& line : shell->Shell("sketch -c font list")) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, line_format)) << line;
        heights.insert(std::stoi(match[3]));
    }
    EXPECT_TRUE(heights.count(8) && heights.count(16) && heights.count(32));
}

TEST_F(ShellTest, SketchVerbsDrawIntoTheDisplay)
{
    auto shell = Shell();
    shell->Shell("sketch -c clear");
    shell->Shell("sketch -c rect 10 2 20 5");
    shell->Shell("sketch -c line 30 0 30 31");
    shell->Shell("sketch -c point 40 7");
    shell->Shell("sketch -c font 1");
    shell->Shell("sketch -c text 100 10 \"I\"");
    shell->Shell("sketch -c color 0");
    shell->Shell("sketch -c point 15 3");
    const FrameBuffer frame = sim_.Frame();
    struct Pixel {
        int x, y;
        bool lit;
    };
    const Pixel kPixels[] = {
        {10, 2, true},   {20, 5, true},    {21, 5, false},
        {9, 2, false},   {15, 3, false},                    // rect, dark point
        {30, 0, true},   {30, 31, true},   {31, 15, false}, // line
        {40, 7, true},   {41, 7, false},                    // point
        {101, 10, true}, {103, 10, true},  {100, 10, false},
        {102, 13, true}, {101, 13, false}, // the "I"
    };
    ASSERT_EQ(frame.width(), 512);
    for (const auto& p : kPixels)
        EXPECT_EQ(frame.Pixel(p.x, p.y), p.lit) << "pixel " << p.x << "," << p.y;
}

TEST_F(ShellTest, QuitAndClosingHandTheDisplayBackToThePlayer)
{
    for (const bool by_quit : {true, false}) {
        SCOPED_TRACE(by_quit ? "quit" : "close");
        auto shell = Shell();
        shell->Shell("sketch -c clear");
        shell->Shell("sketch -c rect 0 0 511 31");
        EXPECT_TRUE(sim_.Frame().Pixel(256, 16));
        if (by_quit) {
            shell->Shell("sketch -c quit");
            EXPECT_FALSE(sim_.Frame().Pixel(256, 16));
        }
        shell.reset();
        // The player's own screen never lights the whole display.
        const auto state = sim_.Control("state " + sim_.address());
        ASSERT_EQ(state.size(), 1u);
        EXPECT_NE(state[0].find("\"sketching\":false"), std::string::npos) << state[0];
        EXPECT_FALSE(sim_.Frame().Pixel(256, 16));
    }
}

TEST_F(ShellTest, BadSketchArgumentsAreRefusedWithoutDrawing)
{
    auto shell = Shell();
    for (const char* command :
         {"sketch -c rect 1 2 3", "sketch -c line a b c d", "sketch -c font 99",
          "sketch -c text 0 0", "sketch rect 0 0 1 1", "sketch -c point 99999999999 0"}) {
        SCOPED_TRACE(command);
        const auto lines = shell->Shell(command);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(lines[0].starts_with("sketch: ")) << lines[0];
    }
}

TEST_F(ShellTest, SeveralConnectionsStayInShellModeUntilMmc)
{
    auto first = Shell();
    auto second = Shell();
    EXPECT_EQ(first->EnterRcp(), "RCP mode");
    EXPECT_EQ(second->Shell("displaytype"), std::vector<std::string>{"Large VFD"});
    EXPECT_EQ(first->Rcp("GetVolume", true).size(), 1u);
}

TEST_F(ShellTest, OverlongLineIsRefusedAndTheConnectionGoesOn)
{
    auto shell = Shell();
    const auto lines = shell->Shell(std::string(20000, 'x'));
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines[0].starts_with("Error: line too long")) << lines[0];
    EXPECT_EQ(shell->Shell("displaytype"), std::vector<std::string>{"Large VFD"});
}

TEST(ShellDisabled, DisabledPlayerGreetsDisabledAndHangsUp)
{
    SimProcess sim({"--disabled", "--no-upnp"});
    ASSERT_TRUE(sim.ready());
    PlayerSocket socket(sim.address());
    EXPECT_TRUE(socket.ReadLine().starts_with("Disabled"));
    EXPECT_TRUE(socket.WaitClosed());
}

TEST(ShellLifetime, SimulatorExitsCleanlyOnSigterm)
{
    SimProcess sim({"--no-upnp"});
    ASSERT_TRUE(sim.ready());
    PlayerSocket socket(sim.address());
    socket.Greeting();
    EXPECT_EQ(sim.Stop(), 0);
}

} // namespace
} // namespace velk::sim
