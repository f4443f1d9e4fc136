// The mail provider's accounts as its object state keeps them: the stored layout, the
// credentials sealed for the machine and bound to the host, and the connection settings after
// the accounts, which streams written before them lack.
#include "providers/mail/mail_servers_state.h"

#include <gtest/gtest.h>

#include "platform/memory_stream.h"
#include "platform/registry_test_fixture.h"
#include "platform/stream_fields.h"

namespace velk {
namespace {

std::shared_ptr<CPOP3Server> Server(std::string host, std::string user, std::string password)
{
    auto server = std::make_shared<CPOP3Server>();
    server->host = std::move(host);
    server->user_name = std::move(user);
    server->password = std::move(password);
    return server;
}

// One account as the layout without connection settings writes it.
void WriteAccount(IStream& stream, std::uint16_t type, std::string_view host, std::string_view blob)
{
    WriteUInt16(stream, type);
    WriteCountedBytes(stream, host);
    WriteCountedBytes(stream, blob);
}

class MailServersStateTest : public RegistryFixture {
protected:
    MailServers RoundTrip(const MailServers& servers)
    {
        MemoryStream stream;
        EXPECT_EQ(WriteMailServers(stream, protection_, servers), S_OK);
        MemoryStream read(stream.bytes());
        MailServers loaded;
        EXPECT_EQ(ReadMailServers(read, protection_, loaded), S_OK);
        return loaded;
    }

    std::string Blob(std::string_view plain, std::string_view host)
    {
        std::vector<std::uint8_t> blob;
        EXPECT_EQ(protection_.Protect(BytesOf(plain), BytesOf(host), blob), S_OK);
        return std::string(blob.begin(), blob.end());
    }

    DataProtection protection_;
};

TEST_F(MailServersStateTest, AccountsComeBackInOrderWithCredentialsAndConnections)
{
    auto tls = Server("pop.example.org", "ann", "pa:ss word");
    tls->security = MailSecurity::Tls;
    tls->port = 995;
    tls->trusted_pem = "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";
    auto plain = Server("127.0.0.1", "bob", "");
    auto stls = Server("mail.example.net", "", "secret");
    stls->security = MailSecurity::StartTls;
    const auto loaded = RoundTrip({tls, plain, stls});
    ASSERT_EQ(loaded.size(), 3u);
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        const auto& expected = *std::vector{tls, plain, stls}[i];
        SCOPED_TRACE(expected.host);
        EXPECT_EQ(loaded[i]->host, expected.host);
        EXPECT_EQ(loaded[i]->user_name, expected.user_name);
        EXPECT_EQ(loaded[i]->password, expected.password);
        EXPECT_EQ(loaded[i]->security, expected.security);
        EXPECT_EQ(loaded[i]->port, expected.port);
        EXPECT_EQ(loaded[i]->trusted_pem, expected.trusted_pem);
        EXPECT_EQ(loaded[i]->last_count, -1);
    }
}

TEST_F(MailServersStateTest, TheAccountsComeFirstInTheirOwnLayoutAndThePasswordIsSealed)
{
    MemoryStream stream;
    ASSERT_EQ(WriteMailServers(stream, protection_, {Server("pop.example.org", "ann", "hunter2")}), S_OK);
    MemoryStream read(stream.bytes());
    std::uint16_t version = 9;
    std::uint16_t count = 0;
    std::uint16_t type = 9;
    std::string host;
    std::string blob;
    ASSERT_EQ(ReadUInt16(read, version), S_OK);
    ASSERT_EQ(ReadUInt16(read, count), S_OK);
    ASSERT_EQ(ReadUInt16(read, type), S_OK);
    ASSERT_EQ(ReadCountedBytes(read, host), S_OK);
    ASSERT_EQ(ReadCountedBytes(read, blob), S_OK);
    EXPECT_EQ(version, 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(host, "pop.example.org");
    EXPECT_EQ(blob.find("hunter2"), std::string::npos) << "the password is in the clear";
    std::vector<std::uint8_t> plain;
    ASSERT_EQ(protection_.Unprotect(BytesOf(blob), BytesOf(host), plain), S_OK);
    EXPECT_EQ(std::string(plain.begin(), plain.end()), "ann\thunter2");
}

// Streams written before the connection settings existed: the accounts load, on port 110
// without TLS.
TEST_F(MailServersStateTest, AStreamWithoutConnectionSettingsLoadsPlainAccounts)
{
    MemoryStream stream;
    WriteUInt16(stream, 0);
    WriteUInt16(stream, 2);
    WriteAccount(stream, 0, "a.example", Blob("ann\tone", "a.example"));
    WriteAccount(stream, 0, "b.example", Blob("bob", "b.example"));
    MemoryStream read(stream.bytes());
    MailServers loaded;
    ASSERT_EQ(ReadMailServers(read, protection_, loaded), S_OK);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0]->user_name, "ann");
    EXPECT_EQ(loaded[0]->password, "one");
    // No tab: all of it is the user name.
    EXPECT_EQ(loaded[1]->user_name, "bob");
    EXPECT_EQ(loaded[1]->password, "");
    for (const auto& server : loaded) {
        EXPECT_EQ(server->port, 110);
        EXPECT_EQ(server->security, MailSecurity::Plain);
    }
}

TEST_F(MailServersStateTest, DamagedOrForeignStreamsLoadWhatCanBeTrusted)
{
    struct Case {
        const char* name;
        std::uint16_t version;
        std::uint16_t count;
        std::vector<std::uint16_t> types; // one account per entry
        bool cut_last = false;
        std::size_t loaded;
    };
    const Case cases[] = {
        {"another version loads nothing", 1, 1, {0}, false, 0},
        {"a count of 0 loads nothing", 0, 0, {0}, false, 0},
        {"a negative count loads nothing", 0, 0x8001, {0}, false, 0},
        {"loading stops at a type that is not POP3", 0, 3, {0, 1, 0}, false, 1},
        {"loading stops at an account cut short", 0, 2, {0, 0}, true, 1},
        {"a count beyond the accounts keeps those there", 0, 5, {0, 0}, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream stream;
        WriteUInt16(stream, c.version);
        WriteUInt16(stream, c.count);
        for (const auto type : c.types)
            WriteAccount(stream, type, "h.example", Blob("u\tp", "h.example"));
        auto bytes = stream.bytes();
        if (c.cut_last)
            bytes.resize(bytes.size() - 3);
        MemoryStream read(bytes);
        MailServers loaded;
        EXPECT_EQ(ReadMailServers(read, protection_, loaded), S_OK);
        EXPECT_EQ(loaded.size(), c.loaded);
    }

    // Credentials moved to another host do not open; the account stays without them.
    MemoryStream moved;
    WriteUInt16(moved, 0);
    WriteUInt16(moved, 1);
    WriteAccount(moved, 0, "evil.example", Blob("ann\tsecret", "pop.example.org"));
    MemoryStream read(moved.bytes());
    MailServers loaded;
    ASSERT_EQ(ReadMailServers(read, protection_, loaded), S_OK);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->user_name, "");
    EXPECT_EQ(loaded[0]->password, "");
}

} // namespace
} // namespace velk
