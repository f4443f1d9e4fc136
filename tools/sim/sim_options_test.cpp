#include "tools/sim/sim_options.h"

#include <gtest/gtest.h>

namespace velk::sim {
namespace {

bool Parse(std::vector<std::string_view> args, SimOptions& options, std::string& error)
{
    return ParseSimOptions(args, options, error);
}

TEST(SimOptions, AcceptsTheDocumentedOptions)
{
    SimOptions options;
    std::string error;
    ASSERT_TRUE(
        Parse({"--players", "3", "--address", "127.0.0.10", "--display", "Large VFD, Small VFD",
               "--firmware", "3.1.2,3.0.24", "--songs", "20000", "--upgrade", "3.2.0", "--no-upnp",
               "--renderer-only", "--control", "/tmp/x.sock"},
              options, error))
        << error;
    EXPECT_EQ(options.players, 3);
    EXPECT_EQ(options.address, "127.0.0.10");
    EXPECT_EQ(options.displays, (std::vector<std::string>{"Large VFD", "Small VFD"}));
    EXPECT_EQ(options.firmware, (std::vector<std::string>{"3.1.2", "3.0.24"}));
    EXPECT_EQ(options.songs, 20000);
    EXPECT_EQ(options.upgrade, "3.2.0");
    EXPECT_TRUE(options.no_upnp && options.renderer_only);
    EXPECT_EQ(options.control, "/tmp/x.sock");
    EXPECT_TRUE(options.command.empty());
}

TEST(SimOptions, SubcommandsKeepTheirWords)
{
    SimOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"key", "127.0.0.2", "CK_EXIT", "--control", "/tmp/c"}, options, error))
        << error;
    EXPECT_EQ(options.command, "key");
    EXPECT_EQ(options.command_args, (std::vector<std::string>{"127.0.0.2", "CK_EXIT"}));
}

TEST(SimOptions, RefusesWhatCannotWork)
{
    const std::vector<std::vector<std::string_view>> kBad = {
        {"--players", "0"},
        {"--players", "65"},
        {"--players"},
        {"--address", "192.168.1.20"}, // only loopback: nothing may reach a network
        {"--address", "127.0.0.250", "--players", "10"},
        {"--address", "localhost"},
        {"--display", "Huge OLED"},
        {"--firmware", "3.1"},
        {"--upgrade", "three"},
        {"--songs", "-1"},
        {"--port", "70000"},
        {"--name", "A,,B"},
        {"--frobnicate"},
        {"dance"},
    };
    for (const auto& args : kBad) {
        SimOptions options;
        std::string error;
        std::string joined;
        for (auto arg : args)
            joined += std::string(arg) + " ";
        SCOPED_TRACE(joined);
        EXPECT_FALSE(Parse(args, options, error));
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
} // namespace velk::sim
