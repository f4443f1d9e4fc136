// POP3 sessions against a real server (Dovecot on loopback, plain, POP3S and STLS) and, for
// what a real server will not do, against a scripted hostile one.
#include "providers/mail/mail_session.h"

#include <gtest/gtest.h>

#include "providers/mail/testdata/dovecot_server.h"
#include "providers/mail/testdata/scripted_pop3_peer.h"

namespace velk {
namespace {

using testing::DovecotServer;
using testing::PeerStep;
using testing::ScriptedPop3Peer;

// Short waits: the scripted peer's stalls end the tests quickly.
Pop3Limits ShortLimits()
{
    Pop3Limits limits;
    limits.connect_ms = 2000;
    limits.reply_ms = 1000;
    limits.fetch_ms = 700;
    return limits;
}

MailSession SessionOn(std::uint16_t port, MailSecurity security = MailSecurity::Plain,
                      std::string trusted = {}, std::string host = "127.0.0.1")
{
    MailSession session;
    session.endpoint = {std::move(host), port, security, std::move(trusted)};
    session.credentials.user_name = testing::kMailUser;
    session.credentials.password = testing::kMailPassword;
    return session;
}

class DovecotSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.ready()) << "Dovecot did not start: " << server_.Log(); }

    DovecotServer server_{testing::RealWorldMessages()};
    Event stop_;
};

TEST_F(DovecotSessionTest, EachWayOfConnectingCountsAndFetches)
{
    struct Case {
        const char* name;
        MailSecurity security;
        bool tls_port;
        const char* host;
    };
    const Case cases[] = {
        {"plain", MailSecurity::Plain, false, "127.0.0.1"},
        {"POP3S", MailSecurity::Tls, true, "127.0.0.1"},
        {"STLS", MailSecurity::StartTls, false, "localhost"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MailSession session = SessionOn(c.tls_port ? server_.tls_port() : server_.plain_port(),
                                              c.security, DovecotServer::Certificate(), c.host);
        const auto polled = session.Poll(stop_);
        EXPECT_EQ(polled.hr, S_OK) << polled.error;
        EXPECT_EQ(polled.count, 6);

        const auto subjects = session.Subjects(stop_, {1, 6, 7});
        EXPECT_EQ(subjects.hr, S_OK) << subjects.error;
        const std::map<std::uint32_t, std::string> expected = {
            {1, "Lunch on Friday"}, {6, "Grüße aus Köln"}};
        EXPECT_EQ(subjects.subjects, expected);

        const auto message = session.Message(stop_, 1);
        EXPECT_EQ(message.hr, S_OK) << message.error;
        ASSERT_TRUE(message.has_message);
        EXPECT_EQ(message.message.Property(kTagFrom), "Ann Example <ann@example.org>");
        // The server's dot-stuffing is undone.
        EXPECT_NE(message.message.body.find("\r\n.A line that starts with a dot.\r\n"), std::string::npos);
    }
}

TEST_F(DovecotSessionTest, ACertificateNotTrustedIsRefusedWithAClearReport)
{
    struct Case {
        const char* name;
        MailSecurity security;
        std::string trusted;
        const char* host;
        const char* report;
    };
    const Case cases[] = {
        {"self-signed, not trusted", MailSecurity::Tls, "", "127.0.0.1", "is not trusted: self-signed certificate"},
        {"another certificate trusted", MailSecurity::StartTls, DovecotServer::OtherCertificate(), "127.0.0.1",
         "is not trusted: self-signed certificate"},
        // 127.0.0.2 reaches the same server: only the name differs.
        {"trusted, but for another name", MailSecurity::Tls, DovecotServer::Certificate(), "127.0.0.2",
         "is not trusted: IP address mismatch"},
        {"no certificate in the setting", MailSecurity::Tls, "not a certificate", "127.0.0.1",
         "trusted certificate of the account 127.0.0.1 cannot be read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint16_t port = c.security == MailSecurity::Tls ? server_.tls_port() : server_.plain_port();
        const auto result = SessionOn(port, c.security, c.trusted, c.host).Poll(stop_);
        EXPECT_EQ(result.hr, E_MAIL_UNTRUSTED);
        EXPECT_NE(result.error.find(c.report), std::string::npos) << result.error;
        EXPECT_EQ(result.count, -1);
    }
}

TEST_F(DovecotSessionTest, AWrongPasswordIsARefusedLoginAndTheCountStaysUnknown)
{
    MailSession session = SessionOn(server_.plain_port());
    session.credentials.password = "wrong";
    const auto result = session.Poll(stop_);
    EXPECT_EQ(result.login, E_ACCESSDENIED);
    EXPECT_EQ(result.hr, E_FAIL); // Dovecot refuses STAT before a login
    EXPECT_EQ(result.count, -1);
    EXPECT_NE(result.error.find("refused the login of \"bob\""), std::string::npos) << result.error;
}

TEST(ScriptedSessionTest, ANegativeReplyToPassLeavesTheCountToStat)
{
    ScriptedPop3Peer peer({{"", "+OK ready\r\n"},
                           {"USER", "+OK\r\n"},
                           {"PASS", "-ERR [AUTH] not today\r\n"},
                           {"STAT", "+OK 3 1200\r\n"},
                           {"QUIT", "+OK bye\r\n"}});
    Event stop;
    const auto result = SessionOn(peer.port()).Poll(stop);
    EXPECT_EQ(result.login, E_ACCESSDENIED);
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.count, 3);
    EXPECT_NE(peer.received().find("QUIT\r\n"), std::string::npos);
}

TEST(ScriptedSessionTest, RepliesThatAreNoPop3AreRefused)
{
    struct Case {
        const char* name;
        std::vector<PeerStep> script;
        HRESULT hr;
        const char* report;
    };
    const Case cases[] = {
        {"a greeting that is no +OK", {{"", "* OK IMAP4 ready\r\n"}}, E_MAIL_GARBLED, "greeted with \"* OK IMAP4 ready\""},
        {"STAT answered with -ERR", {{"", "+OK\r\n"}, {"USER", "+OK\r\n"}, {"PASS", "+OK\r\n"}, {"STAT", "-ERR busy\r\n"}},
         E_FAIL, "did not count: \"busy\""},
        {"STAT without a number", {{"", "+OK\r\n"}, {"USER", "+OK\r\n"}, {"PASS", "+OK\r\n"}, {"STAT", "+OK many\r\n"}},
         E_MAIL_GARBLED, "answered STAT with \"many\""},
        {"a count beyond belief", {{"", "+OK\r\n"}, {"USER", "+OK\r\n"}, {"PASS", "+OK\r\n"}, {"STAT", "+OK 4000000000 1\r\n"}},
         E_MAIL_GARBLED, "answered STAT"},
        {"a reply line without end", {{"", "+OK " + std::string(70000, 'x')}}, E_MAIL_GARBLED, "longer than 65536 bytes"},
        {"a greeting that never comes", {{"", "", true}}, E_MAIL_TIMEOUT, "did not answer in time"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPop3Peer peer(c.script);
        Event stop;
        MailSession session = SessionOn(peer.port());
        session.limits = ShortLimits();
        const auto result = session.Poll(stop);
        EXPECT_EQ(result.hr, c.hr);
        EXPECT_EQ(result.count, -1);
        EXPECT_NE(result.error.find(c.report), std::string::npos) << result.error;
    }
}

// A fetch that never sees its terminator, or stalls mid-message, ends in time with what came.
TEST(ScriptedSessionTest, AFetchWithoutItsEndStopsInTimeWithWhatArrived)
{
    const std::vector<PeerStep> begin = {
        {"", "+OK\r\n"}, {"USER", "+OK\r\n"}, {"PASS", "+OK\r\n"}, {"STAT", "+OK 1 100\r\n"}};
    struct Case {
        const char* name;
        PeerStep fetch;
    };
    const Case cases[] = {
        {"no terminator", {"RETR", "+OK\r\nSubject: cut\r\n\r\nfirst line\r\nsecond\r\n", true}},
        {"stalled inside a line", {"RETR", "+OK\r\nSubject: cut\r\n\r\nfirst line\r\nsecond\r\nthird li", true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto script = begin;
        script.push_back(c.fetch);
        ScriptedPop3Peer peer(script);
        Event stop;
        MailSession session = SessionOn(peer.port());
        session.limits = ShortLimits();
        const auto result = session.Message(stop, 1);
        EXPECT_EQ(result.hr, S_OK);
        ASSERT_TRUE(result.has_message);
        EXPECT_EQ(result.message.Property(kTagSubject), "cut");
        EXPECT_EQ(result.message.body, "first line\r\nsecond\r\n");
    }
}

TEST(ScriptedSessionTest, LineBreaksInCredentialsNeverReachTheWire)
{
    const std::pair<std::string, std::string> credentials[] = {
        {"bob\r\nDELE 1", "x"}, {"bob", "pw\nDELE 1"}, {std::string("bob\0x", 5), "pw"}, {"bob", "pw\r"}};
    for (const auto& [user, password] : credentials) {
        SCOPED_TRACE(user + "/" + password);
        ScriptedPop3Peer peer({{"", "+OK\r\n"}, {"USER", "+OK\r\n"}, {"PASS", "+OK\r\n"}});
        Event stop;
        MailSession session = SessionOn(peer.port());
        session.credentials.user_name = user;
        session.credentials.password = password;
        const auto result = session.Poll(stop);
        EXPECT_EQ(result.hr, E_INVALIDARG);
        EXPECT_EQ(peer.connections(), 0);
        EXPECT_EQ(peer.received(), "");
        // The client on its own refuses them too, before sending.
        Pop3Client client(stop);
        EXPECT_EQ(client.Login(user, password), E_INVALIDARG);
    }
}

TEST(ScriptedSessionTest, TheStopEventEndsAStalledSessionAtOnce)
{
    ScriptedPop3Peer peer({{"", "", true}});
    Event stop;
    stop.Set();
    MailSession session = SessionOn(peer.port());
    const auto result = session.Poll(stop);
    EXPECT_EQ(result.hr, E_ABORT);
}

} // namespace
} // namespace velk
