#include "platform/registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <iterator>

#include "platform/hive_file.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"

namespace velk {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RegistryPaths, RootNamesParseInEitherFormAndAnyCase)
{
    struct Case {
        const char* text;
        std::optional<Hive> hive;
        const char* path;
    };
    const Case cases[] = {
        {"HKLM\\SOFTWARE\\Velk", Hive::LocalMachine, "SOFTWARE\\Velk"},
        {"hkey_local_machine\\x", Hive::LocalMachine, "x"},
        {"HKCR\\CLSID\\{1}\\InprocServer32", Hive::ClassesRoot, "CLSID\\{1}\\InprocServer32"},
        {"HKEY_Classes_Root", Hive::ClassesRoot, ""},
        {"hkcu", Hive::CurrentUser, ""},
        {"HKEY_CURRENT_USER\\Software", Hive::CurrentUser, "Software"},
        {"HKLM\\", std::nullopt, ""},
        {"HKXX\\a", std::nullopt, ""},
        {"HKLMX", std::nullopt, ""},
        {"", std::nullopt, ""},
        {"\\HKLM", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = ParseKeyPath(c.text);
        ASSERT_EQ(parsed.has_value(), c.hive.has_value());
        if (!parsed)
            continue;
        EXPECT_EQ(parsed->hive, *c.hive);
        EXPECT_EQ(parsed->path, c.path);
    }
}

TEST(RegistryPaths, HiveFilesFollowTheEnvironment)
{
    struct Case {
        const char* registry_dir;
        const char* config_home;
        const char* home;
        const char* machine;
        const char* user;
    };
    const Case cases[] = {
        {"/tmp/reg", "/cfg", "/home/u", "/tmp/reg/machine.db", "/tmp/reg/user.db"},
        {nullptr, "/cfg", "/home/u", "/var/lib/velk/machine.db", "/cfg/velk/user.db"},
        {nullptr, nullptr, "/home/u", "/var/lib/velk/machine.db", "/home/u/.config/velk/user.db"},
        {"", "relative", "/home/u", "/var/lib/velk/machine.db", "/home/u/.config/velk/user.db"},
    };
    const auto set = [](const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    };
    const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        set("VELK_REGISTRY_DIR", c.registry_dir);
        set("XDG_CONFIG_HOME", c.config_home);
        set("HOME", c.home);
        EXPECT_EQ(Registry::HiveFilePath(Hive::LocalMachine), c.machine);
        EXPECT_EQ(Registry::HiveFilePath(Hive::ClassesRoot), c.machine);
        EXPECT_EQ(Registry::HiveFilePath(Hive::CurrentUser), c.user);
    }
    unsetenv("VELK_REGISTRY_DIR");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", saved_home.c_str(), 1);
}

TEST(RegistryEncoding, MultiStringsHaveOneStoredForm)
{
    struct Case {
        Bytes data;
        std::optional<std::vector<std::string>> strings;
    };
    const Case cases[] = {
        {{0}, std::vector<std::string>{}},
        {{'a', 0, 0}, std::vector<std::string>{"a"}},
        {{'a', 'b', 0, 'c', 0, 0}, std::vector<std::string>{"ab", "c"}},
        {{}, std::nullopt},
        {{'a', 0}, std::nullopt},
        {{'a'}, std::nullopt},
        {{0, 0}, std::nullopt},
        {{'a', 0, 0, 'b', 0, 0}, std::nullopt},
        {{'a', 0, 0, 0}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.data.begin(), c.data.end()));
        const auto decoded = DecodeMultiString(c.data);
        EXPECT_EQ(decoded, c.strings);
        if (decoded) {
            EXPECT_EQ(EncodeMultiString(*decoded), c.data);
        }
    }
    EXPECT_EQ(EncodeMultiString(std::vector<std::string>{""}), std::nullopt);
    EXPECT_EQ(EncodeMultiString(std::vector<std::string>{std::string("a\0b", 3)}), std::nullopt);
    EXPECT_EQ(DecodeDword(EncodeDword(0x1234ABCD)), 0x1234ABCDu);
    EXPECT_EQ(DecodeDword(Bytes{1, 2, 3}), std::nullopt);
}

using RegistryTransaction = RegistryFixture;

TEST_F(RegistryTransaction, ChangesToBothHiveFilesLandTogetherOrNotAtAll)
{
    RegKey machine, user;
    ASSERT_EQ(machine.Create(Hive::LocalMachine, "SOFTWARE\\Velk"), S_OK);
    ASSERT_EQ(user.Create(Hive::CurrentUser, "Software\\Velk"), S_OK);
    const auto change = [&](Registry::Transaction& transaction, DWORD number) {
        ASSERT_EQ(transaction.Begin(Hive::LocalMachine), S_OK);
        ASSERT_EQ(transaction.Begin(Hive::ClassesRoot), S_OK);
        ASSERT_EQ(transaction.Begin(Hive::CurrentUser), S_OK);
        ASSERT_EQ(machine.SetDWORDValue("n", number), S_OK);
        ASSERT_EQ(RegKey().Create(Hive::ClassesRoot, "CLSID\\{1}"), S_OK);
        ASSERT_EQ(user.SetDWORDValue("n", number), S_OK);
    };
    {
        Registry::Transaction abandoned;
        change(abandoned, 1);
    }
    DWORD number = 0;
    EXPECT_EQ(machine.QueryDWORDValue("n", number), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(user.QueryDWORDValue("n", number), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegKey().Open(Hive::ClassesRoot, "CLSID"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

    Registry::Transaction committed;
    change(committed, 2);
    ASSERT_EQ(committed.Commit(), S_OK);
    EXPECT_EQ(machine.QueryDWORDValue("n", number), S_OK);
    EXPECT_EQ(number, 2u);
    EXPECT_EQ(user.QueryDWORDValue("n", number), S_OK);
    EXPECT_EQ(number, 2u);
    EXPECT_EQ(RegKey().Open(Hive::ClassesRoot, "CLSID\\{1}"), S_OK);
}

TEST_F(RegistryTransaction, ChangeLogKeepsOnlyItsNewestEntries)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "K"), S_OK);
    const int writes = static_cast<int>(HiveFile::kChangeLogKeep) + 100;
    {
        Registry::Transaction transaction;
        ASSERT_EQ(transaction.Begin(Hive::LocalMachine), S_OK);
        for (int i = 0; i < writes; ++i)
            ASSERT_EQ(key.SetDWORDValue("n", static_cast<DWORD>(i)), S_OK);
        ASSERT_EQ(transaction.Commit(), S_OK);
    }
    std::shared_ptr<HiveFile> file;
    ASSERT_EQ(Registry::OpenHive(Hive::LocalMachine, false, file), S_OK);
    std::int64_t newest = 0, oldest = 0;
    std::vector<HiveFile::Change> changes;
    ASSERT_EQ(file->ChangeSequence(newest), S_OK);
    ASSERT_EQ(file->ReadChanges(0, changes, oldest), S_OK);
    EXPECT_EQ(static_cast<std::int64_t>(changes.size()), HiveFile::kChangeLogKeep);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back().sequence, newest);
    EXPECT_EQ(changes.back().path, "hklm\\k");
}

using RegistryAccess = RegistryFixture;

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A user who may not write the machine hive, in a real second process: as root the test drops
// to nobody, because file modes do not stop root.
TEST_F(RegistryAccess, UnwritableHiveIsReadableAndRefusesWrites)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer"), S_OK);
    ASSERT_EQ(key.SetStringValue("AnsiCodePage", "WINDOWS-1252"), S_OK);
    key.Close();

    std::vector<std::string> as_user;
    if (geteuid() == 0) {
        as_user = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        const auto probe = RunProgram({as_user[0], as_user[1], as_user[2], as_user[3], "true"});
        if (probe.status != 0)
            GTEST_SKIP() << "cannot run a process as nobody: " << probe.output;
    }
    const auto hive = folder() / "machine.db";
    ASSERT_EQ(chmod(hive.c_str(), 0444), 0);
    ASSERT_EQ(chmod(folder().c_str(), 0555), 0);
    const auto before = ReadFile(hive);
    const auto velkreg = [&](std::vector<std::string> args) {
        args.insert(args.begin(), (ProgramFolder() / "velkreg").string());
        args.insert(args.begin(), as_user.begin(), as_user.end());
        return RunProgram(args);
    };

    const auto query =
        velkreg({"query", "HKLM\\SOFTWARE\\Velk\\DataServer", "--value", "AnsiCodePage"});
    EXPECT_EQ(query.status, 0) << query.output;
    EXPECT_EQ(query.output, "\"AnsiCodePage\"=\"WINDOWS-1252\"\n");

    const std::vector<std::string> writes[] = {
        {"add", "HKLM\\SOFTWARE\\Velk\\DataServer", "--value", "AnsiCodePage", "--data", "x"},
        {"add", "HKLM\\SOFTWARE\\New"},
        {"delete", "HKLM\\SOFTWARE\\Velk"},
    };
    for (const auto& write : writes) {
        SCOPED_TRACE(write[0] + " " + write[1]);
        const auto result = velkreg(write);
        EXPECT_EQ(result.status, 1) << result.output;
        EXPECT_NE(result.output.find(HResultMessage(E_ACCESSDENIED)), std::string::npos)
            << result.output;
    }
    EXPECT_EQ(ReadFile(hive), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder()), {}), 1);
}

// Another process rewrites a value over and over while this one reads it: every read succeeds
// (the busy time-out absorbs the writer's locks) and shows one whole write.
TEST_F(RegistryAccess, ReadersNeverSeeATornWriteFromAnotherProcess)
{
    constexpr int kWrites = 150;
    constexpr std::size_t kValueBytes = 16384;
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "K"), S_OK);
    ASSERT_EQ(key.SetBinaryValue("v", Bytes(kValueBytes, 0xFF)), S_OK);

    auto writer = std::async(std::launch::async, [] {
        return RunProgram({(ProgramFolder() / "registry_writer").string(), "HKLM\\K", "v",
                           std::to_string(kWrites), std::to_string(kValueBytes)});
    });
    int reads = 0;
    while (writer.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        Bytes data;
        ASSERT_EQ(key.QueryBinaryValue("v", data), S_OK);
        ASSERT_EQ(data.size(), kValueBytes);
        ASSERT_EQ(std::count(data.begin(), data.end(), data.front()),
                  static_cast<long>(kValueBytes))
            << "torn value after " << reads << " reads";
        ++reads;
    }
    const auto result = writer.get();
    EXPECT_EQ(result.status, 0) << result.output;
    Bytes last;
    ASSERT_EQ(key.QueryBinaryValue("v", last), S_OK);
    EXPECT_EQ(last, Bytes(kValueBytes, static_cast<std::uint8_t>(kWrites - 1)));
}

} // namespace
} // namespace velk
