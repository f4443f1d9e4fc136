// The mail on a player end to end, as a user runs it: `velk` finds a simulated player over
// UPnP inside a private network namespace, shows it the mail of an account on Dovecot (POP3S
// on loopback), and the simulated remote browses it: the account's messages, a message, its
// text scrolled, and EXIT gives the display back.
#include <gtest/gtest.h>

#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "providers/common/testdata/velk_service_process.h"
#include "providers/mail/mail_servers_state.h"
#include "providers/mail/testdata/dovecot_server.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;
using testing::DovecotServer;

constexpr const char* kMailServer = "{DC347D9C-CCC6-4F9A-AEF7-F69365E7F635}";

using testing::VelkProcess;
using testing::WaitFor;

std::string TextLine(int y, std::string_view text)
{
    return "sketch -c text 0 " + std::to_string(y) + " \"" + std::string(text) + "\"";
}

class MailEndToEndTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        unsetenv("VELK_DISCOVERY"); // inside the namespace the service looks for players
        ASSERT_TRUE(dovecot_.ready()) << "Dovecot did not start: " << dovecot_.Log();
        ASSERT_TRUE(sim_.ready());
        const auto registered = RunProgram({(ProgramFolder() / "velk").string(), "--regserver"});
        ASSERT_EQ(registered.status, 0) << registered.output;
    }

    bool Sees(std::size_t since, const std::string& line)
    {
        return WaitFor([&] {
            const auto lines = sim_.Received();
            return std::find(lines.begin() + std::min(since, lines.size()), lines.end(), line) != lines.end();
        });
    }

    void Press(const char* key, const std::vector<std::string>& shown)
    {
        SCOPED_TRACE(key);
        const std::size_t before = sim_.Received().size();
        sim_.Control("key " + sim_.address() + " " + key);
        for (const auto& line : shown)
            EXPECT_TRUE(Sees(before, line)) << "not drawn: " << line;
    }

    DovecotServer dovecot_{testing::RealWorldMessages()};
    SimProcess sim_{{"--players", "1"}};
};

TEST_F(MailEndToEndTest, TheRemoteBrowsesTheMailAndExitGivesTheDisplayBack)
{
    auto account = std::make_shared<CPOP3Server>();
    account->host = "127.0.0.1";
    account->port = dovecot_.tls_port();
    account->security = MailSecurity::Tls;
    account->trusted_pem = DovecotServer::Certificate();
    account->user_name = testing::kMailUser;
    account->password = testing::kMailPassword;
    MemoryStream state;
    ASSERT_EQ(WriteMailServers(state, DataProtection(), {account}), S_OK);
    ASSERT_NO_FATAL_FAILURE(testing::WriteObjectState(kMailServer, state.bytes()));
    // Font 2, menu time-out 1 s, content always; the mail's own device state is empty.
    ASSERT_NO_FATAL_FAILURE(testing::ListOnOnlyPlayer(sim_, kMailServer, {3, 0, 2, 0, 0xE8, 0x03, 0, 0, 0, 0}));

    VelkProcess velk;
    ASSERT_TRUE(velk.started());
    // One account: its messages at once.
    ASSERT_TRUE(Sees(0, TextLine(0, "* Lunch on Friday"))) << "the player never showed the mail";
    ASSERT_TRUE(Sees(0, "IrDemodSubscribe"));

    Press("CK_SOUTH", {TextLine(16, "* Winter sale starts today")});
    Press("CK_SOUTH", {TextLine(16, "* Re: the figures for December")});
    Press("CK_SELECT", {TextLine(0, "The figures for December are in the shared folder.")});
    Press("CK_SOUTH", {TextLine(0, "Sales went up by twelve per cent against November,")});
    Press("CK_EXIT", {TextLine(16, "* Re: the figures for December")});
    Press("CK_EXIT", {TextLine(0, "* 127.0.0.1")});
    for (const auto& line : sim_.Received())
        EXPECT_FALSE(line.starts_with("IrDispatchCommand")) << line;

    const std::size_t before_exit = sim_.Received().size();
    sim_.Control("key " + sim_.address() + " CK_EXIT");
    EXPECT_TRUE(Sees(before_exit, "sketch -c marquee -stop")) << "EXIT did not give the display back";
}

} // namespace
} // namespace velk
