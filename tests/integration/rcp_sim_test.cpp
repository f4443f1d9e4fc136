// The player connection against the simulated player: what the service sees of a real one.
#include <gtest/gtest.h>

#include <thread>

#include "platform/event.h"
#include "rcp/control_session.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;

constexpr FirmwareVersion kMinimum{3, 0, 24};

TEST(RcpAgainstSimulator, OpensAndSendsCommandsAndLists)
{
    SimProcess sim({"--songs", "500"});
    ASSERT_TRUE(sim.ready());
    CControlSession session;
    ASSERT_EQ(session.Open(sim.address(), kMinimum), S_OK);
    EXPECT_EQ(session.display_type(), "Large VFD");
    EXPECT_EQ(session.firmware_version(), (FirmwareVersion{3, 1, 2}));
    EXPECT_FALSE(session.connected_server().name.empty());

    ASSERT_EQ(session.Execute("SetVolume", "37"), S_OK);
    std::string value;
    ASSERT_EQ(session.Execute("GetVolume", {}, &value), S_OK);
    EXPECT_EQ(value, "37");
    EXPECT_EQ(session.Execute("SetVolume", "banana"), E_RCP_PARAMETER_ERROR);
    EXPECT_EQ(session.Execute("NoSuchCommand"), E_RCP_UNKNOWN_COMMAND);

    int songs = 0;
    std::string size_line;
    ASSERT_EQ(session.ExecuteList("ListSongs", [&](std::string_view line, std::int32_t index) {
        if (index == 0)
            size_line = line;
        else
            ++songs;
        return S_OK;
    }), S_OK);
    EXPECT_EQ(size_line, "ListResultSize 500");
    EXPECT_EQ(songs, 500);

    ASSERT_EQ(session.Execute("GetDisplayData", {}, &value), S_OK);
    EXPECT_TRUE(value.starts_with("data bytes: ")) << value;
    const auto line_end = value.find("\r\n");
    ASSERT_NE(line_end, std::string::npos);
    EXPECT_EQ(value.size() - line_end - 2, 2 * std::stoul(value.substr(12, line_end - 12)));
}

TEST(RcpAgainstSimulator, RefusesWhatIsNotAUsablePlayer)
{
    struct Case {
        std::vector<std::string> args;
        HRESULT expected;
    };
    const Case cases[] = {
        {{"--firmware", "3.0.23"}, E_RCP_FIRMWARE_TOO_OLD},
        {{"--disabled"}, E_RCP_SHELL_DISABLED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        SimProcess sim(c.args);
        ASSERT_TRUE(sim.ready());
        CControlSession session;
        EXPECT_EQ(session.Open(sim.address(), kMinimum), c.expected);
        EXPECT_FALSE(session.IsOpen());
    }
}

TEST(RcpAgainstSimulator, SilentPlayerTimesOutAndDroppedConnectionFailsTheWaiter)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    CControlSession session;
    ASSERT_EQ(session.Open(sim.address(), kMinimum), S_OK);
    session.set_reply_timeouts(300, 300);

    sim.Control("fault " + sim.address() + " silent on");
    EXPECT_EQ(session.Execute("GetVolume"), E_RCP_TIMEOUT);

    session.set_reply_timeouts(10000, 10000);
    std::thread dropper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sim.Control("fault " + sim.address() + " drop");
    });
    EXPECT_EQ(session.Execute("GetVolume"), E_RCP_SOCKET);
    dropper.join();
}

TEST(RcpAgainstSimulator, RemoteKeyReachesTheSubscription)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    CControlSession session;
    ASSERT_EQ(session.Open(sim.address(), kMinimum), S_OK);
    Event pressed;
    std::string key;
    ASSERT_EQ(session.Subscribe("IrDemodSubscribe", "IrDemod", [&](std::string_view line, std::int32_t) {
        key = line;
        pressed.Set();
        return S_OK;
    }), S_OK);
    // The subscription is in place once a later command has its answer.
    ASSERT_EQ(session.Execute("GetVolume"), S_OK);
    sim.Control("key " + sim.address() + " CK_EXIT");
    ASSERT_TRUE(pressed.Wait(5000));
    EXPECT_NE(key.find("CK_EXIT"), std::string::npos) << key;
}

} // namespace
} // namespace velk
