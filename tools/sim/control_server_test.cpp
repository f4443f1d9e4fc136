// The control socket and the velk-sim subcommands, run as a user would run them.
#include "tools/sim/control_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "platform/bitmap.h"
#include "tools/sim/control_client.h"
#include "tools/sim/sim_test_support.h"

namespace velk::sim {
namespace {

using testing::CommandResult;
using testing::PlayerSocket;
using testing::RunSim;
using testing::SimProcess;

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim_.ready()) << "velk-sim did not start"; }

    CommandResult Run(std::vector<std::string> args)
    {
        args.push_back("--control");
        args.push_back(sim_.control());
        return RunSim(args);
    }

    SimProcess sim_{
        {"--players", "2", "--no-upnp", "--name", "Hall,Attic", "--firmware", "3.1.2,3.0.24"}};
};

TEST_F(ControlTest, PlayersListsEveryDeviceWithItsIdentity)
{
    const CommandResult result = Run({"players"});
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.out.find(sim_.address(0) + "\tHall\tKD-40\tLarge VFD\t3.1.2\tuuid:"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find(sim_.address(1) + "\tAttic\tKD-20\tSmall VFD\t3.0.24\tuuid:"),
              std::string::npos)
        << result.out;
}

TEST_F(ControlTest, KeyActsOnThePlayerAndStateShowsIt)
{
    ASSERT_EQ(Run({"key", sim_.address(1), "CK_POWER_OFF"}).status, 0);
    const CommandResult state = Run({"state", sim_.address(1)});
    ASSERT_EQ(state.status, 0);
    EXPECT_NE(state.out.find("\"power\":\"standby\""), std::string::npos) << state.out;
    EXPECT_NE(Run({"key", sim_.address(1), "CK_NOPE"}).status, 0);
    EXPECT_NE(Run({"state", "127.0.0.99"}).status, 0);
}

TEST_F(ControlTest, SnapshotWritesTheDisplayAsABmp)
{
    PlayerSocket shell(sim_.address());
    shell.Greeting();
    shell.Shell("sketch -c clear");
    shell.Shell("sketch -c rect 0 0 9 9");
    const std::string path = std::filesystem::temp_directory_path() /
                             ("velk-sim-snapshot-" + std::to_string(getpid()) + ".bmp");
    ASSERT_EQ(Run({"snapshot", sim_.address(), path}).status, 0);
    Bitmap picture;
    ASSERT_EQ(Bitmap::LoadBmpFile(path, picture), S_OK);
    std::filesystem::remove(path);
    EXPECT_EQ(picture.width(), 512);
    EXPECT_EQ(picture.height(), 32);
    EXPECT_NE(picture.Pixel(5, 5), picture.Pixel(20, 20));
    EXPECT_EQ(picture.Pixel(20, 20), 0xFF000000u);
}

TEST_F(ControlTest, ShowOncePrintsTheDisplayInBlockCharacters)
{
    PlayerSocket shell(sim_.address(1));
    shell.Greeting();
    shell.Shell("sketch -c clear");
    shell.Shell("sketch -c rect 0 0 279 15");
    const CommandResult result = Run({"show", sim_.address(1), "--once"});
    ASSERT_EQ(result.status, 0);
    // A fully lit 280 x 16 display: 8 rows of full blocks inside the frame.
    EXPECT_NE(result.out.find("│█"), std::string::npos) << result.out;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 10);
    EXPECT_EQ(result.out.find("▀"), std::string::npos);
}

TEST_F(ControlTest, ReceivedListsTheLinesAPlayerGot)
{
    PlayerSocket shell(sim_.address());
    shell.Greeting();
    shell.Shell("displaytype");
    shell.EnterRcp();
    shell.Rcp("GetVolume", true);
    const CommandResult result = Run({"received", sim_.address(), "--count", "3"});
    ASSERT_EQ(result.status, 0);
    // Each line: the connection's number, a blank, the line as received.
    const std::regex expected("(\\d+) displaytype\n\\1 mmc\n\\1 GetVolume\n");
    EXPECT_TRUE(std::regex_match(result.out, expected)) << result.out;
}

TEST_F(ControlTest, WatchStreamsAFrameAtEveryChange)
{
    ControlClient watch;
    std::string error;
    ASSERT_EQ(watch.Connect(sim_.control(), error), S_OK) << error;
    ASSERT_EQ(watch.Send("watch " + sim_.address()), S_OK);
    std::string first;
    ASSERT_TRUE(watch.ReadLine(first));
    EXPECT_TRUE(first.starts_with("frame 512 32 ")) << first.substr(0, 40);
    PlayerSocket shell(sim_.address());
    shell.Greeting();
    shell.Shell("sketch -c clear");
    shell.Shell("sketch -c rect 0 0 511 31");
    std::string next;
    ASSERT_TRUE(watch.ReadLine(next));
    EXPECT_NE(next, first);
}

TEST_F(ControlTest, FaultsChangeHowThePlayerAnswers)
{
    ASSERT_EQ(Run({"fault", sim_.address(), "disabled", "on"}).status, 0);
    {
        PlayerSocket socket(sim_.address());
        EXPECT_TRUE(socket.ReadLine().starts_with("Disabled"));
    }
    ASSERT_EQ(Run({"fault", sim_.address(), "clear"}).status, 0);
    {
        PlayerSocket socket(sim_.address());
        EXPECT_TRUE(socket.Greeting().ends_with("Melodeck>"));
    }
    EXPECT_NE(Run({"fault", sim_.address(), "sideways"}).status, 0);
    EXPECT_NE(Run({"fault", sim_.address(), "slow", "-5"}).status, 0);
}

} // namespace
} // namespace velk::sim
