// The mail provider hosted by the real root object, as the service hosts it, on a simulated
// player, with its accounts on a real POP3 server (Dovecot on loopback): the player browses
// the mail with its remote, and what it was sent is what a user would see.
#include "providers/mail/velk_mail_server.h"

#include <gtest/gtest.h>

#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "providers/common/testdata/hosting_fixture.h"
#include "providers/mail/testdata/dovecot_server.h"
#include "providers/mail/testdata/scripted_pop3_peer.h"
#include "service/provider_hosting.h"
#include "service/velk_data_service.h"
#include "service/velk_device.h"
#include "service/velk_devices.h"

namespace velk {
namespace {

using testing::DovecotServer;

// The root object with the provider's event-log records kept for the test to read.
class RecordingDataService : public CVelkDataService {
public:
    HRESULT ReportVelkEvent(EventTypes type, EventCategories category, std::uint32_t id,
                            const Variant& fields) override
    {
        if (id == CVelkMailServer::kEventMailFailed && type == EventTypes::EventLogError) {
            const auto* strings = fields.Get<VariantArray>();
            std::string message;
            if (strings && strings->elements.size() == 2)
                strings->elements[1].ToString(message);
            reports.push_back(message);
        }
        return CVelkDataService::ReportVelkEvent(type, category, id, fields);
    }

    std::vector<std::string> reports;
};

std::string TextLine(int y, std::string_view text)
{
    return "sketch -c text 0 " + std::to_string(y) + " \"" + std::string(text) + "\"";
}

class MailServiceTest : public testing::HostingFixture<RecordingDataService> {
protected:
    MailServiceTest() : HostingFixture(VELK_MAIL_MODULE, {"--players", "1"}) {}

    void SetUp() override
    {
        HostingFixture::SetUp();
        ASSERT_TRUE(dovecot_.ready()) << "Dovecot did not start: " << dovecot_.Log();
    }

    std::shared_ptr<CPOP3Server> Account(std::string password = testing::kMailPassword)
    {
        auto server = std::make_shared<CPOP3Server>();
        server->host = "127.0.0.1";
        server->port = dovecot_.tls_port();
        server->security = MailSecurity::Tls;
        server->trusted_pem = DovecotServer::Certificate();
        server->user_name = testing::kMailUser;
        server->password = std::move(password);
        return server;
    }

    // The accounts as the provider's object state, the player listing the provider (font 2,
    // menu time-out 1 s, content always; an empty device state), and the player's arrival.
    void ShowMail(const MailServers& servers)
    {
        MemoryStream state;
        ASSERT_EQ(WriteMailServers(state, DataProtection(), servers), S_OK);
        RegKey globals;
        ASSERT_EQ(globals.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer\\Globals\\" +
                                                         CLSID_VelkMailServer.ToString()),
                  S_OK);
        ASSERT_EQ(globals.SetBinaryValue("Parameters", state.bytes()), S_OK);

        const std::string player_key = std::string(ProviderHosting::kDataProvidersKey) + "\\player-0";
        RegKey key;
        ASSERT_EQ(key.Create(Hive::LocalMachine, player_key), S_OK);
        ASSERT_EQ(key.SetStringValue(ProviderHosting::kClassesValue, CLSID_VelkMailServer.ToString()), S_OK);
        RegKey provider_key;
        ASSERT_EQ(provider_key.Create(Hive::LocalMachine, player_key + "\\" + CLSID_VelkMailServer.ToString()),
                  S_OK);
        const std::vector<std::uint8_t> host_header = {3, 0, 2, 0, 0xE8, 0x03, 0, 0, 0, 0};
        ASSERT_EQ(provider_key.SetBinaryValue("Parameters", host_header), S_OK);

        auto player = std::make_shared<CVelkDevice>();
        ASSERT_EQ(player->Connect(sim_.address(), "uuid:player-0", "Player", service_->service_cookie()), S_OK);
        service_->AddPlayer(player);
        ASSERT_TRUE(PumpUntil([&] { return ReceivedSince(0, "IrDemodSubscribe"); }));
    }

    bool ReceivedSince(std::size_t since, std::string_view line)
    {
        const auto lines = sim_.Received();
        return std::find(lines.begin() + std::min(since, lines.size()), lines.end(), line) != lines.end();
    }

    // Presses the key and waits until the player was sent every line.
    void PressAndSee(const char* key, const std::vector<std::string>& lines)
    {
        SCOPED_TRACE(key);
        const std::size_t before = sim_.Received().size();
        sim_.Control("key " + sim_.address() + " " + key);
        See(lines, before);
    }

    // With VELK_DOCS_DIR set, keeps what the player shows now as a picture there.
    void Snapshot(const std::string& name)
    {
        if (const char* docs = std::getenv("VELK_DOCS_DIR"))
            sim::testing::RunSim({"snapshot", "--control", sim_.control(), sim_.address(),
                                  std::string(docs) + "/" + name + ".bmp"});
    }

    void See(const std::vector<std::string>& lines, std::size_t since = 0)
    {
        for (const auto& line : lines) {
            EXPECT_TRUE(PumpUntil([&] { return ReceivedSince(since, line); }))
                << "not drawn: " << line;
        }
    }

    DovecotServer dovecot_{testing::RealWorldMessages()};
};

TEST_F(MailServiceTest, ThePlayerBrowsesAnAccountWithTheRemoteAndExitGivesTheDisplayBack)
{
    ShowMail({Account()});
    // One account: its messages at once, two lines of font 2 on the 32-pixel display.
    See({TextLine(0, "* Lunch on Friday"), TextLine(16, "  Winter sale starts today")});
    Snapshot("mail_messages");

    PressAndSee("CK_SOUTH", {TextLine(0, "  Lunch on Friday"), TextLine(16, "* Winter sale starts today")});
    PressAndSee("CK_SOUTH", {TextLine(0, "  Winter sale starts today"),
                             TextLine(16, "* Re: the figures for December")});
    // The plain part of the alternative, wrapped at 51 characters on the "Large VFD".
    PressAndSee("CK_SELECT", {TextLine(0, "The figures for December are in the shared folder."),
                              TextLine(16, "Sales went up by twelve per cent against November,")});
    Snapshot("mail_text");
    // Shell lines are in the player's code page (WINDOWS-1252).
    PressAndSee("CK_SOUTH", {TextLine(0, "Sales went up by twelve per cent against November,"),
                             TextLine(16, "mostly from the caf\xE9 in the station.")});
    PressAndSee("CK_EXIT", {TextLine(16, "* Re: the figures for December")});
    PressAndSee("CK_SOUTH", {TextLine(16, "* Your link")});
    PressAndSee("CK_SOUTH", {TextLine(16, "* Scan from the third floor")});
    PressAndSee("CK_EAST", {TextLine(0, "Unsupported mail format.")});
    PressAndSee("CK_WEST", {TextLine(0, "  Your link")});
    PressAndSee("CK_EXIT", {TextLine(0, "* 127.0.0.1")});
    Snapshot("mail_accounts");

    // Every key so far was the view's: none reached the player's own menus.
    for (const auto& line : sim_.Received())
        EXPECT_FALSE(line.starts_with("IrDispatchCommand")) << line;

    // At the account list EXIT gives the display back to the player.
    const std::size_t before_exit = sim_.Received().size();
    sim_.Control("key " + sim_.address() + " CK_EXIT");
    EXPECT_TRUE(PumpUntil([&] { return ReceivedSince(before_exit, "sketch -c marquee -stop"); }))
        << "EXIT did not give the display back";
    EXPECT_TRUE(service_->reports.empty());
}

// A reload makes the provider anew and loads the player's device state after starting it: the
// player keeps its key subscription, and the view starts afresh.
TEST_F(MailServiceTest, KeysStillReachTheViewAfterAReload)
{
    ShowMail({Account()});
    See({TextLine(0, "* Lunch on Friday")});
    PressAndSee("CK_SOUTH", {TextLine(16, "* Winter sale starts today")});

    const std::size_t before = sim_.Received().size();
    ASSERT_EQ(service_->Reload(), S_OK);
    See({TextLine(0, "* Lunch on Friday")}, before);
    PressAndSee("CK_SOUTH", {TextLine(16, "* Winter sale starts today")});
    for (const auto& line : sim_.Received())
        EXPECT_FALSE(line.starts_with("IrDispatchCommand")) << line;
}

TEST_F(MailServiceTest, AnAccountThatRefusesTheLoginIsReportedOnceAndTheOthersGoOn)
{
    ShowMail({Account("wrong"), Account()});
    See({TextLine(0, "* 127.0.0.1"), TextLine(16, "  127.0.0.1")});
    EXPECT_TRUE(PumpUntil([&] { return !service_->reports.empty(); }));
    ASSERT_EQ(service_->reports.size(), 1u);
    EXPECT_NE(service_->reports[0].find("refused the login of \"bob\""), std::string::npos)
        << service_->reports[0];

    // The refused account has no messages to open; the other one has.
    PressAndSee("CK_SELECT", {});
    PressAndSee("CK_EXIT", {TextLine(0, "* 127.0.0.1")});
    PressAndSee("CK_SOUTH", {TextLine(16, "* 127.0.0.1")});
    PressAndSee("CK_SELECT", {TextLine(0, "* Lunch on Friday")});
    EXPECT_EQ(service_->reports.size(), 1u);
}

// Serves no player: the provider only polls its accounts.
class NoPlayersHost : public DispatchImpl<NoPlayersHost, IVelkDataHost> {
public:
    static const Dispatcher<NoPlayersHost>& Dispatch()
    {
        static const auto dispatcher = DispatchBuilder<NoPlayersHost>("IVelkDataHost").Build();
        return dispatcher;
    }

    HRESULT get_VelkDevices(std::shared_ptr<IVelkDevices>& devices) override
    {
        devices = std::make_shared<CVelkDevices>(std::vector<std::shared_ptr<IVelkDevice>>{});
        return S_OK;
    }
    HRESULT get_Object(std::shared_ptr<IVelkDataObject>&) override { return E_NOTIMPL; }
    HRESULT get_CLSID(Guid&) override { return E_NOTIMPL; }
    HRESULT get_PollingFrequency(std::uint32_t&) override { return E_NOTIMPL; }
    HRESULT Terminate() override { return E_NOTIMPL; }
    HRESULT get_Parent(std::shared_ptr<IVelkDataService>&) override { return E_NOTIMPL; }
    HRESULT get_Cookie(std::uint32_t&) override { return E_NOTIMPL; }
    HRESULT get_Handle(std::shared_ptr<Event>&) override { return E_NOTIMPL; }
    HRESULT get_Status(HostStatus&) override { return E_NOTIMPL; }
    HRESULT Reload() override { return E_NOTIMPL; }
};

// A server that does not answer is tried again at the next count: the account is not given up
// for a network failure.
TEST(MailServerPollTest, AnAccountWhoseServerDidNotAnswerIsCountedAgain)
{
    const auto apartment = Apartment::Create();
    ASSERT_TRUE(apartment);
    testing::ScriptedPop3Peer silent({{"", "", true}});
    auto provider = std::make_shared<CVelkMailServer>();
    provider->AddServer({"127.0.0.1", "bob", "secret", MailSecurity::Plain, silent.port(), ""});
    Pop3Limits limits;
    limits.reply_ms = 200;
    provider->SetLimits(limits);
    provider->SetPollInterval(100);
    const auto host = std::make_shared<NoPlayersHost>();
    std::uint32_t poll = 0;
    EXPECT_EQ(provider->Initialize(host, poll), E_PENDING);
    EXPECT_EQ(poll, CVelkMailServer::kPollIntervalMs);
    ASSERT_EQ(provider->Start(host), S_OK);
    EXPECT_TRUE(RunApartmentUntil(*apartment, [&] { return silent.connections() >= 2; }, 10000))
        << "the account was not counted again";
    provider->Terminate();
    apartment->Close();
}

} // namespace
} // namespace velk
