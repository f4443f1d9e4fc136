// The automation endpoint's token as the service keeps it: stored protected for the machine by
// `velk -SetToken`, read back when the service starts; a plain one from earlier versions still
// counts with a warning, and one that cannot be opened keeps the endpoint closed.
#include "service/automation_endpoint.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/data_protection.h"
#include "platform/event_log.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"

namespace velk {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kDataServerKey = "SOFTWARE\\Velk\\DataServer";
constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

Bytes BytesOf(std::string_view text)
{
    return {text.begin(), text.end()};
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What `velk -SetToken` gives for input, and what it says.
HRESULT SetToken(const std::string& input, std::string* said = nullptr)
{
    std::istringstream in(input);
    std::ostringstream messages;
    const HRESULT hr = SetAutomationToken(in, messages);
    if (said)
        *said = messages.str();
    return hr;
}

// The token the service would use, or the failure that keeps its endpoint closed.
HRESULT StoredToken(std::string& token)
{
    AutomationServer::Options options;
    const HRESULT hr = ReadAutomationOptions(options);
    token = options.token;
    return hr;
}

class AutomationTokenTest : public RegistryFixture {};

TEST_F(AutomationTokenTest, TokenIsStoredProtectedForTheMachineAndReadBack)
{
    RecordingEventLog log;
    std::string said;
    ASSERT_EQ(SetToken("s3cret-token\n", &said), S_OK);
    EXPECT_EQ(said, "");

    // Whoever reads the machine hive finds no token in it, only what the machine key opens.
    RegKey key;
    ASSERT_EQ(key.Open(Hive::LocalMachine, kDataServerKey), S_OK);
    DWORD type = REG_NONE;
    Bytes data;
    ASSERT_EQ(key.QueryValue("AutomationToken", type, data), S_OK);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(ReadFile(folder() / "machine.db").find("s3cret-token"), std::string::npos);
    struct stat status;
    ASSERT_EQ(stat((folder() / "machine.key").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);

    std::string token;
    EXPECT_EQ(StoredToken(token), S_OK);
    EXPECT_EQ(token, "s3cret-token");
    EXPECT_TRUE(log.Records().empty());

    // An empty input takes the token away.
    ASSERT_EQ(SetToken(""), S_OK);
    EXPECT_EQ(key.QueryValue("AutomationToken", type, data),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(StoredToken(token), S_OK);
    EXPECT_EQ(token, "");
    EXPECT_EQ(SetToken(""), S_OK) << "no token to take away is no failure";
}

TEST_F(AutomationTokenTest, TokenIsOneLineOfVisibleCharactersOrNothingChanges)
{
    struct Case {
        const char* what;
        std::string input;
        HRESULT expected;
        const char* token; // the token afterwards
    };
    const Case kCases[] = {
        {"without a line break", "abc", S_OK, "abc"},
        {"with a line break", "abc\n", S_OK, "abc"},
        {"with CR LF", "abc\r\n", S_OK, "abc"},
        {"of the longest", std::string(1024, 'x') + "\n", S_OK, nullptr},
        {"too long", std::string(1025, 'y'), E_INVALIDARG, "old"},
        {"two lines", "abc\ndef\n", E_INVALIDARG, "old"},
        {"an empty line after it", "abc\n\n", E_INVALIDARG, "old"},
        {"a blank in it", "a bc", E_INVALIDARG, "old"},
        {"a tab in it", "a\tbc", E_INVALIDARG, "old"},
        {"beyond ASCII", "caf\xC3\xA9", E_INVALIDARG, "old"},
        {"a CR alone", "abc\r", E_INVALIDARG, "old"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(SetToken("old"), S_OK);
        std::string said;
        EXPECT_EQ(SetToken(c.input, &said), c.expected);
        EXPECT_EQ(said.empty(), SUCCEEDED(c.expected)) << said;
        std::string token;
        ASSERT_EQ(StoredToken(token), S_OK);
        EXPECT_EQ(token, c.token ? std::string(c.token) : std::string(1024, 'x'));
    }
}

TEST_F(AutomationTokenTest,
       PlainTokenCountsWithAWarningAndOneThatCannotBeOpenedKeepsTheEndpointClosed)
{
    // Sealed for another machine, or for another secret of this one.
    Bytes other_machine;
    ASSERT_EQ(DataProtection(folder() / "other")
                  .Protect(BytesOf("t"), BytesOf("AutomationToken"), other_machine),
              S_OK);
    Bytes other_secret;
    ASSERT_EQ(DataProtection().Protect(BytesOf("t"), BytesOf("Password"), other_secret), S_OK);
    struct Case {
        const char* what;
        DWORD type;
        Bytes data;
        HRESULT expected;
        const char* token;
        EventLogType logged;
        const char* says;
    };
    const Case kCases[] = {
        {"plain text", REG_SZ, BytesOf("plain-token"), S_OK, "plain-token", EventLogType::Warning,
         "stored as plain text, which every local user can read. Store it protected: as root, "
         "velk -SetToken"},
        {"damaged",
         REG_BINARY,
         {1, 2, 3},
         kInvalidData,
         "",
         EventLogType::Error,
         "could not be opened (store it again with velk -SetToken)"},
        {"of another machine", REG_BINARY, other_machine, kInvalidData, "", EventLogType::Error,
         "could not be opened"},
        {"of another secret", REG_BINARY, other_secret, kInvalidData, "", EventLogType::Error,
         "could not be opened"},
        {"a number",
         REG_DWORD,
         {1, 0, 0, 0},
         kInvalidData,
         "",
         EventLogType::Error,
         "could not be opened"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        RegKey key;
        ASSERT_EQ(key.Create(Hive::LocalMachine, kDataServerKey), S_OK);
        ASSERT_EQ(key.SetValue("AutomationToken", c.type, c.data), S_OK);
        RecordingEventLog log;
        std::string token;
        EXPECT_EQ(StoredToken(token), c.expected);
        EXPECT_EQ(token, c.token);
        const auto records = log.Records();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].type, c.logged);
        ASSERT_EQ(records[0].strings.size(), 1u);
        EXPECT_NE(records[0].strings[0].find(c.says), std::string::npos) << records[0].strings[0];
    }

    // A protected token whose machine key has gone.
    ASSERT_EQ(SetToken("abc"), S_OK);
    ASSERT_TRUE(std::filesystem::remove(folder() / "machine.key"));
    std::string token;
    EXPECT_EQ(StoredToken(token), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(token, "");
}

class AutomationSettingsTest : public RegistryFixture {};

TEST_F(AutomationSettingsTest, HostNamesComeAsAListOrOneName)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, kDataServerKey), S_OK);
    AutomationServer::Options options;
    ASSERT_EQ(ReadAutomationOptions(options), S_OK);
    EXPECT_TRUE(options.host_names.empty());

    const std::vector<std::string> names{"velk.home.arpa", "media-pc"};
    ASSERT_EQ(key.SetMultiStringValue("AutomationHostNames", names), S_OK);
    ASSERT_EQ(ReadAutomationOptions(options), S_OK);
    EXPECT_EQ(options.host_names, (std::vector<std::string>{"velk.home.arpa", "media-pc"}));

    ASSERT_EQ(key.SetStringValue("AutomationHostNames", "media-pc"), S_OK);
    options = {};
    ASSERT_EQ(ReadAutomationOptions(options), S_OK);
    EXPECT_EQ(options.host_names, (std::vector<std::string>{"media-pc"}));
}

} // namespace
} // namespace velk
