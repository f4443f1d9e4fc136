// A call on a player end to end, as a user runs it: `velk` finds a simulated player over UPnP
// inside a private network namespace, and a ring with caller ID on a modem (a pseudo-terminal
// that plays one) appears on the player's display and pauses its music.
#include <gtest/gtest.h>

#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "platform/testdata/pty_modem.h"
#include "providers/callerid/tapi_settings.h"
#include "providers/common/testdata/velk_service_process.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using testing::VelkProcess;
using testing::WaitFor;

constexpr const char* kCallerIdServer = "{71BBF737-52C6-49EB-855A-6F957546B3BC}";

class CallerIdEndToEndTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        unsetenv("VELK_DISCOVERY"); // inside the namespace the service looks for players
        ASSERT_TRUE(sim_.ready());
        ASSERT_TRUE(modem_.ready());
        const auto registered = RunProgram({(ProgramFolder() / "velk").string(), "--regserver"});
        ASSERT_EQ(registered.status, 0) << registered.output;
    }

    bool Sees(const std::string& line)
    {
        return WaitFor([&] {
            const auto lines = sim_.Received();
            return std::find(lines.begin(), lines.end(), line) != lines.end();
        });
    }

    sim::testing::SimProcess sim_{{"--players", "1"}};
    testing::PtyModem modem_;
};

TEST_F(CallerIdEndToEndTest, ARingWithCallerIdShowsOnThePlayerAndPausesTheMusic)
{
    MemoryStream state;
    ASSERT_EQ(WriteTapiSettings(state, {kPauseOnCall, ""}), S_OK);
    ASSERT_NO_FATAL_FAILURE(testing::WriteObjectState(kCallerIdServer, state.bytes()));
    RegKey globals;
    ASSERT_EQ(globals.Create(Hive::LocalMachine, std::string("SOFTWARE\\Velk\\DataServer\\Globals\\") + kCallerIdServer),
              S_OK);
    ASSERT_EQ(globals.SetStringValue("Lines", modem_.device()), S_OK);
    // Font 3, menu time-out 1 s, content always: name and number on two lines.
    ASSERT_NO_FATAL_FAILURE(testing::ListOnOnlyPlayer(sim_, kCallerIdServer, {3, 0, 3, 0, 0xE8, 0x03, 0, 0, 0, 0}));

    sim_.Control("key " + sim_.address() + " CK_PLAY");
    VelkProcess velk;
    ASSERT_TRUE(velk.started());
    ASSERT_TRUE(modem_.AnswerSetUp()) << "the service never switched the modem into caller-ID mode";
    ASSERT_TRUE(Sees("IrDemodSubscribe")) << "the service never took on the player";

    modem_.Send("\r\nRING\r\n\r\nDATE = 1210\r\nTIME = 2130\r\nNMBR = 5551234\r\nNAME = JOHN DOE\r\n\r\nRING\r\n");
    EXPECT_TRUE(Sees("sketch -c text 0 0 \"JOHN DOE\""));
    EXPECT_TRUE(Sees("sketch -c text 0 16 \"5551234\""));
    EXPECT_TRUE(WaitFor([&] {
        const auto player_state = sim_.Control("state " + sim_.address());
        return !player_state.empty() && player_state[0].find("\"transport\":\"Pause\"") != std::string::npos;
    })) << "the music was not paused";
    // What the display shows now, as a picture beside the documentation's.
    if (const char* docs = std::getenv("VELK_DOCS_DIR"))
        sim::testing::RunSim({"snapshot", "--control", sim_.control(), sim_.address(),
                              std::string(docs) + "/callerid_call.bmp"});
}

} // namespace
} // namespace velk
