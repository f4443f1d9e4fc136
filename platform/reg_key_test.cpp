#include "platform/reg_key.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/registry_test_fixture.h"

namespace velk {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
// How long a test waits for a watch that must fire; it fires long before.
constexpr std::uint32_t kWatchFiresWithinMs = 10000;

std::vector<std::string> Subkeys(const RegKey& key)
{
    std::vector<std::string> names;
    EXPECT_EQ(key.EnumKeys(names), S_OK);
    return names;
}

using RegKeyTest = RegistryFixture;

TEST_F(RegKeyTest, KeyNamesIgnoreCaseAndKeepTheirSpelling)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer"), S_OK);
    ASSERT_EQ(key.Create(Hive::LocalMachine, "software\\VELK\\Other"), S_OK);
    ASSERT_EQ(key.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\\xC3\x9Cnicode"), S_OK);

    RegKey found;
    EXPECT_EQ(found.Open(Hive::LocalMachine, "software\\velk\\DATASERVER"), S_OK);
    EXPECT_EQ(found.Open(Hive::LocalMachine, "SOFTWARE\\VELK\\\xC3\x9Cnicode"), S_OK);
    ASSERT_EQ(found.Open(Hive::LocalMachine, "Software"), S_OK);
    EXPECT_EQ(Subkeys(found), std::vector<std::string>{"Velk"});
    ASSERT_EQ(found.Open(found, "velk"), S_OK);
    EXPECT_EQ(Subkeys(found), (std::vector<std::string>{"DataServer", "Other", "\xC3\x9Cnicode"}));

    // The same path in another root is another key.
    EXPECT_EQ(found.Open(Hive::ClassesRoot, "SOFTWARE"), kNotFound);
    EXPECT_EQ(found.Open(Hive::CurrentUser, "SOFTWARE"), kNotFound);
}

TEST_F(RegKeyTest, EveryValueTypeRoundTrips)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::CurrentUser, "Software\\Velk"), S_OK);

    struct Case {
        const char* name;
        DWORD type;
        Bytes data;
    };
    const Case cases[] = {
        {"", REG_SZ, {'d', 'e', 'f'}},
        {"Empty", REG_SZ, {}},
        {"Odd", REG_SZ, {'"', '\\', '\n', 0, 0xFF, 'x'}},
        {"Port", REG_DWORD, {0x5D, 0x11, 0, 0}},
        {"Max", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"Blob", REG_BINARY, {0, 1, 0xFF, 0, 0x80}},
        {"NoBytes", REG_BINARY, {}},
        {"Classes", REG_MULTI_SZ, {'{', 'A', '}', 0, 'b', 0, 0}},
        {"NoStrings", REG_MULTI_SZ, {0}},
        {"Nothing", REG_NONE, {}},
        {"Tagged", REG_NONE, {1, 2}},
        {"Expand", 2, {'%', 'X', '%'}},
    };
    for (const auto& c : cases)
        ASSERT_EQ(key.SetValue(c.name, c.type, c.data), S_OK) << c.name;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD type = 0xFFFF;
        Bytes data;
        ASSERT_EQ(key.QueryValue(FoldCase(c.name), type, data), S_OK);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(data, c.data);
    }

    // The typed members read what the others write.
    ASSERT_EQ(key.SetStringValue("Str", std::string("a\0b", 3)), S_OK);
    ASSERT_EQ(key.SetDWORDValue("Num", 4445), S_OK);
    const std::vector<std::string> strings{"{A}", "second"};
    ASSERT_EQ(key.SetMultiStringValue("Multi", strings), S_OK);
    ASSERT_EQ(key.SetBinaryValue("Bin", Bytes{9, 0, 9}), S_OK);
    std::string text;
    DWORD number = 0;
    std::vector<std::string> multi;
    Bytes bytes;
    EXPECT_EQ(key.QueryStringValue("STR", text), S_OK);
    EXPECT_EQ(text, std::string("a\0b", 3));
    EXPECT_EQ(key.QueryDWORDValue("num", number), S_OK);
    EXPECT_EQ(number, 4445u);
    EXPECT_EQ(key.QueryMultiStringValue("Multi", multi), S_OK);
    EXPECT_EQ(multi, strings);
    EXPECT_EQ(key.QueryBinaryValue("Bin", bytes), S_OK);
    EXPECT_EQ(bytes, (Bytes{9, 0, 9}));

    // Overwriting keeps the name's first spelling and takes the new type.
    ASSERT_EQ(key.SetDWORDValue("PORT", 1), S_OK);
    std::vector<RegValueInfo> values;
    ASSERT_EQ(key.EnumValues(values), S_OK);
    EXPECT_TRUE(std::any_of(values.begin(), values.end(),
                            [](const auto& v) { return v.name == "Port" && v.type == REG_DWORD; }));
}

TEST_F(RegKeyTest, QueriesReportMissingAndMismatchedValues)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "K"), S_OK);
    ASSERT_EQ(key.SetStringValue("Str", "x"), S_OK);
    ASSERT_EQ(key.SetDWORDValue("Num", 1), S_OK);

    std::string text;
    DWORD number = 0;
    std::vector<std::string> multi;
    Bytes bytes;
    struct Case {
        const char* what;
        std::function<HRESULT()> query;
        HRESULT expected;
    };
    const Case cases[] = {
        {"dword of a string", [&] { return key.QueryDWORDValue("Str", number); }, kInvalidData},
        {"multi of a string", [&] { return key.QueryMultiStringValue("Str", multi); },
         kInvalidData},
        {"binary of a string", [&] { return key.QueryBinaryValue("Str", bytes); }, kInvalidData},
        {"string of a dword", [&] { return key.QueryStringValue("Num", text); }, kInvalidData},
        {"missing value", [&] { return key.QueryStringValue("None", text); }, kNotFound},
        {"missing key", [&] { return RegKey().Open(Hive::LocalMachine, "K\\Missing"); }, kNotFound},
        {"closed key", [&] { return RegKey().QueryStringValue("Str", text); }, E_HANDLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.query(), c.expected);
    }
}

TEST_F(RegKeyTest, MalformedPathsNamesAndDataAreRefused)
{
    for (const char* path : {"a\\\\b", "\\a", "a\\", "a\x01z", "tab\there", "a\x7F"}) {
        SCOPED_TRACE(path);
        RegKey key;
        EXPECT_EQ(key.Create(Hive::LocalMachine, path), E_INVALIDARG);
        EXPECT_EQ(key.Open(Hive::LocalMachine, path), E_INVALIDARG);
    }
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "K"), S_OK);
    EXPECT_EQ(key.SetValue("Short", REG_DWORD, Bytes{1, 2, 3}), E_INVALIDARG);
    EXPECT_EQ(key.SetValue("Unended", REG_MULTI_SZ, Bytes{'a', 0}), E_INVALIDARG);
    EXPECT_EQ(key.SetValue("EmptyInside", REG_MULTI_SZ, Bytes{'a', 0, 0, 'b', 0, 0}), E_INVALIDARG);
    EXPECT_EQ(key.SetMultiStringValue("EmptyString", std::vector<std::string>{"a", ""}),
              E_INVALIDARG);
    EXPECT_EQ(key.SetStringValue(std::string("nul\0name", 8), "x"), E_INVALIDARG);
    EXPECT_EQ(key.DeleteTree(""), E_INVALIDARG);

    std::vector<RegValueInfo> values;
    ASSERT_EQ(key.EnumValues(values), S_OK);
    EXPECT_TRUE(values.empty());
}

// count copies of text.
std::string Repeated(std::string_view text, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += text;
    return out;
}

// A path of levels names, the first one first and every other one "x".
std::string Levels(const std::string& first, std::size_t levels)
{
    return first + Repeated("\\x", levels - 1);
}

TEST_F(RegKeyTest, NamesDepthAndValueSizesFollowTheSystemsLimits)
{
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "Limits"), S_OK);
    ASSERT_EQ(key.SetBinaryValue("Big", Bytes(kMiB, 0)), S_OK);
    const std::string two_byte = "\xC3\x9C";       // one character, one UTF-16 unit
    const std::string astral = "\xF0\x9F\x8E\xB5"; // one character, two UTF-16 units
    struct Case {
        const char* what;
        std::function<HRESULT()> act;
        HRESULT expected;
    };
    const Case kCases[] = {
        {"key name of 255 characters", [&] { return RegKey().Create(key, std::string(255, 'k')); },
         S_OK},
        {"key name of 256 characters", [&] { return RegKey().Create(key, std::string(256, 'l')); },
         E_INVALIDARG},
        {"key name of 255 two-byte characters",
         [&] { return RegKey().Create(key, Repeated(two_byte, 255)); }, S_OK},
        {"key name of 128 characters of two UTF-16 units",
         [&] { return RegKey().Create(key, Repeated(astral, 128)); }, E_INVALIDARG},
        {"key name over the limit, opened",
         [&] { return RegKey().Open(key, std::string(256, 'k')); }, E_INVALIDARG},
        {"key 512 levels below the root",
         [&] { return RegKey().Create(Hive::LocalMachine, Levels("Deep", 512)); }, S_OK},
        {"key 513 levels below the root",
         [&] { return RegKey().Create(Hive::LocalMachine, Levels("Deeper", 513)); }, E_INVALIDARG},
        {"key 513 levels below the root, from a key one level down",
         [&] { return RegKey().Create(key, Levels("Deeper", 512)); }, E_INVALIDARG},
        {"key 513 levels below the root, opened",
         [&] { return RegKey().Open(Hive::LocalMachine, Levels("Deep", 513)); }, E_INVALIDARG},
        {"value name of 16383 characters",
         [&] { return key.SetStringValue(std::string(16383, 'v'), "x"); }, S_OK},
        {"value name of 16384 characters",
         [&] { return key.SetStringValue(std::string(16384, 'w'), "x"); }, E_INVALIDARG},
        {"value of 1 MiB", [&] { return key.SetBinaryValue("Blob", Bytes(kMiB, 1)); }, S_OK},
        {"value of 1 MiB and a byte, over one of 1 MiB",
         [&] { return key.SetBinaryValue("Big", Bytes(kMiB + 1, 2)); }, E_INVALIDARG},
        {"string of 1 MiB and a byte",
         [&] { return key.SetStringValue("Text", std::string(kMiB + 1, 's')); }, E_INVALIDARG},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.act(), c.expected);
    }

    // What was refused left nothing behind, not even a first level or an old value changed.
    RegKey deeper;
    EXPECT_EQ(deeper.Open(Hive::LocalMachine, "Deeper"), kNotFound);
    EXPECT_EQ(Subkeys(key),
              (std::vector<std::string>{std::string(255, 'k'), Repeated(two_byte, 255)}));
    Bytes big;
    ASSERT_EQ(key.QueryBinaryValue("Big", big), S_OK);
    EXPECT_EQ(big, Bytes(kMiB, 0));
    std::vector<RegValueInfo> values;
    ASSERT_EQ(key.EnumValues(values), S_OK);
    EXPECT_EQ(values.size(), 3u) << "Big, Blob and the longest name";
}

TEST_F(RegKeyTest, DeleteSubKeyNeedsALeafAndDeleteTreeTakesEverything)
{
    RegKey leaf;
    ASSERT_EQ(leaf.Create(Hive::LocalMachine, "A\\B\\C"), S_OK);
    ASSERT_EQ(leaf.SetStringValue("v", "x"), S_OK);
    RegKey sibling;
    ASSERT_EQ(sibling.Create(Hive::LocalMachine, "A\\B2"), S_OK);
    RegKey root;
    ASSERT_EQ(root.Open(Hive::LocalMachine, "", RegAccess::All), S_OK);

    EXPECT_EQ(root.DeleteSubKey("A"), E_ACCESSDENIED);
    EXPECT_EQ(root.DeleteSubKey("a\\b"), E_ACCESSDENIED);
    EXPECT_EQ(root.DeleteSubKey("A\\Missing"), kNotFound);
    EXPECT_EQ(root.DeleteSubKey("a\\b2"), S_OK);
    RegKey a;
    ASSERT_EQ(a.Open(Hive::LocalMachine, "A"), S_OK);
    EXPECT_EQ(Subkeys(a), std::vector<std::string>{"B"});

    EXPECT_EQ(root.DeleteTree("A"), S_OK);
    EXPECT_EQ(a.Open(Hive::LocalMachine, "A"), kNotFound);
    EXPECT_EQ(Subkeys(root), std::vector<std::string>{});
    EXPECT_EQ(root.DeleteTree("A"), kNotFound);

    // A handle to a deleted key neither reads nor writes, even once a key of that name is back.
    RegKey again;
    ASSERT_EQ(again.Create(Hive::LocalMachine, "A\\B\\C"), S_OK);
    std::vector<RegValueInfo> values;
    EXPECT_EQ(leaf.EnumValues(values), kNotFound);
    EXPECT_EQ(leaf.SetStringValue("v", "y"), kNotFound);
    EXPECT_EQ(leaf.Create(leaf, "Sub"), kNotFound);
    ASSERT_EQ(again.EnumValues(values), S_OK);
    EXPECT_TRUE(values.empty());
}

TEST_F(RegKeyTest, EnumerationListsSubkeysAndValuesByName)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::CurrentUser, "Software"), S_OK);
    for (const char* name : {"b", "A", "c"})
        ASSERT_EQ(RegKey().Create(key, name), S_OK);
    ASSERT_EQ(key.SetDWORDValue("z", 1), S_OK);
    ASSERT_EQ(key.SetStringValue("", "default"), S_OK);
    ASSERT_EQ(key.SetBinaryValue("Y", Bytes{}), S_OK);

    EXPECT_EQ(Subkeys(key), (std::vector<std::string>{"A", "b", "c"}));
    std::vector<RegValueInfo> values;
    ASSERT_EQ(key.EnumValues(values), S_OK);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].name, "");
    EXPECT_EQ(values[0].type, REG_SZ);
    EXPECT_EQ(values[1].name, "Y");
    EXPECT_EQ(values[1].type, REG_BINARY);
    EXPECT_EQ(values[2].name, "z");
    EXPECT_EQ(values[2].type, REG_DWORD);
}

TEST_F(RegKeyTest, LastWriteTimeFollowsValuesAndSubkeyListOnly)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "K"), S_OK);
    RegKey child;
    ASSERT_EQ(child.Create(key, "Child"), S_OK);

    // Each change must stamp the key within the span of its call.
    const std::pair<const char*, std::function<HRESULT()>> changes[] = {
        {"set value", [&] { return key.SetDWORDValue("v", 1); }},
        {"delete value", [&] { return key.DeleteValue("v"); }},
        {"create subkey", [&] { return RegKey().Create(key, "New"); }},
        {"delete subkey", [&] { return key.DeleteSubKey("New"); }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        const auto before = std::chrono::system_clock::now();
        ASSERT_EQ(change(), S_OK);
        const auto after = std::chrono::system_clock::now();
        std::chrono::system_clock::time_point stamp;
        ASSERT_EQ(key.GetLastWriteTime(stamp), S_OK);
        EXPECT_LE(before, stamp);
        EXPECT_LE(stamp, after);
    }

    std::chrono::system_clock::time_point stamp, unchanged;
    ASSERT_EQ(key.GetLastWriteTime(stamp), S_OK);
    ASSERT_EQ(child.SetDWORDValue("deeper", 1), S_OK);
    ASSERT_EQ(key.GetLastWriteTime(unchanged), S_OK);
    EXPECT_EQ(stamp, unchanged);
}

TEST_F(RegKeyTest, ReadOnlyKeyRefusesEveryWriteAndWritesNothing)
{
    RegKey writer;
    ASSERT_EQ(writer.Create(Hive::LocalMachine, "K\\Sub"), S_OK);
    ASSERT_EQ(writer.SetStringValue("v", "kept"), S_OK);
    RegKey key;
    ASSERT_EQ(key.Open(Hive::LocalMachine, "K"), S_OK);

    const std::pair<const char*, std::function<HRESULT()>> writes[] = {
        {"set", [&] { return key.SetStringValue("v", "changed"); }},
        {"set new", [&] { return key.SetDWORDValue("new", 1); }},
        {"delete value", [&] { return key.DeleteValue("v"); }},
        {"delete subkey", [&] { return key.DeleteSubKey("Sub"); }},
        {"delete tree", [&] { return key.DeleteTree("Sub"); }},
    };
    for (const auto& [what, write] : writes) {
        SCOPED_TRACE(what);
        EXPECT_EQ(write(), E_ACCESSDENIED);
    }
    std::string value;
    EXPECT_EQ(writer.QueryStringValue("v", value), S_OK);
    EXPECT_EQ(value, "kept");
    EXPECT_EQ(Subkeys(key), std::vector<std::string>{"Sub"});
}

TEST_F(RegKeyTest, ReadingAMissingHiveCreatesNothing)
{
    RegKey key;
    EXPECT_EQ(key.Open(Hive::CurrentUser, ""), kNotFound);
    EXPECT_EQ(key.Open(Hive::LocalMachine, "SOFTWARE"), kNotFound);
    EXPECT_TRUE(std::filesystem::is_empty(folder()));

    ASSERT_EQ(key.Create(Hive::CurrentUser, ""), S_OK);
    EXPECT_TRUE(std::filesystem::exists(folder() / "user.db"));
    EXPECT_FALSE(std::filesystem::exists(folder() / "machine.db"));
}

TEST_F(RegKeyTest, OneKeyServesSeveralThreadsAtOnce)
{
    constexpr int kThreads = 4;
    constexpr DWORD kRounds = 40;
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "Shared"), S_OK);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, name = "n" + std::to_string(t)] {
            for (DWORD i = 1; i <= kRounds; ++i) {
                DWORD read = 0;
                std::vector<std::string> subkeys;
                if (FAILED(key.SetDWORDValue(name, i)) || FAILED(key.QueryDWORDValue(name, read)) ||
                    read != i || FAILED(key.EnumKeys(subkeys)))
                    ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    std::vector<RegValueInfo> values;
    ASSERT_EQ(key.EnumValues(values), S_OK);
    EXPECT_EQ(values.size(), static_cast<std::size_t>(kThreads));
}

// Change notification.

using RegKeyNotify = RegistryFixture;

TEST_F(RegKeyNotify, EveryKindOfChangeToTheKeySetsTheEvent)
{
    RegKey writer;
    ASSERT_EQ(writer.Create(Hive::CurrentUser, "Software\\Velk"), S_OK);
    ASSERT_EQ(writer.SetStringValue("old", "x"), S_OK);
    ASSERT_EQ(RegKey().Create(writer, "Old"), S_OK);

    const std::pair<const char*, std::function<HRESULT()>> changes[] = {
        {"set value", [&] { return writer.SetDWORDValue("v", 1); }},
        {"delete value", [&] { return writer.DeleteValue("old"); }},
        {"create subkey", [&] { return RegKey().Create(writer, "New"); }},
        {"delete subkey", [&] { return writer.DeleteSubKey("Old"); }},
        {"delete the key",
         [&] {
             RegKey parent;
             const HRESULT hr = parent.Open(Hive::CurrentUser, "Software", RegAccess::All);
             return FAILED(hr) ? hr : parent.DeleteTree("Velk");
         }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        RegKey watched;
        ASSERT_EQ(watched.Open(Hive::CurrentUser, "software\\velk"), S_OK);
        Event event;
        ASSERT_EQ(watched.NotifyChange(event, false), S_OK);
        ASSERT_EQ(change(), S_OK);
        EXPECT_TRUE(event.Wait(kWatchFiresWithinMs));
    }
}

TEST_F(RegKeyNotify, SubtreeWatchSeesDeepChangesAndPlainWatchDoesNot)
{
    RegKey deep;
    ASSERT_EQ(deep.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer\\Providers"), S_OK);
    RegKey watched;
    ASSERT_EQ(watched.Open(Hive::LocalMachine, "SOFTWARE\\Velk"), S_OK);

    // The watcher checks watches in the order they were armed, so once the subtree watch has
    // fired, the plain one has seen the same change.
    Event plain, subtree;
    ASSERT_EQ(watched.NotifyChange(plain, false), S_OK);
    ASSERT_EQ(watched.NotifyChange(subtree, true), S_OK);
    ASSERT_EQ(deep.SetStringValue("v", "x"), S_OK);
    ASSERT_TRUE(subtree.Wait(kWatchFiresWithinMs));
    EXPECT_FALSE(plain.IsSet());

    // A sibling with a common name prefix is not below the key.
    RegKey sibling;
    ASSERT_EQ(sibling.Create(Hive::LocalMachine, "SOFTWARE\\VelkOther"), S_OK);
    Event sibling_watch, subtree_again;
    ASSERT_EQ(watched.NotifyChange(subtree_again, true), S_OK);
    ASSERT_EQ(sibling.NotifyChange(sibling_watch, false), S_OK);
    ASSERT_EQ(sibling.SetDWORDValue("v", 1), S_OK);
    ASSERT_TRUE(sibling_watch.Wait(kWatchFiresWithinMs));
    EXPECT_FALSE(subtree_again.IsSet());
    EXPECT_FALSE(plain.IsSet());

    ASSERT_EQ(RegKey().Create(watched, "NewChild"), S_OK);
    EXPECT_TRUE(plain.Wait(kWatchFiresWithinMs));
    EXPECT_TRUE(subtree_again.Wait(kWatchFiresWithinMs));
}

TEST_F(RegKeyNotify, WatchIgnoresEarlierChangesAndEndsWithItsKey)
{
    RegKey key, other;
    ASSERT_EQ(key.Create(Hive::CurrentUser, "A"), S_OK);
    ASSERT_EQ(other.Create(Hive::CurrentUser, "B"), S_OK);
    ASSERT_EQ(key.SetDWORDValue("before", 1), S_OK);

    Event armed_after_change, closed, later;
    ASSERT_EQ(key.NotifyChange(armed_after_change, false), S_OK);
    {
        RegKey closing;
        ASSERT_EQ(closing.Open(Hive::CurrentUser, "A"), S_OK);
        ASSERT_EQ(closing.NotifyChange(closed, false), S_OK);
    }
    ASSERT_EQ(other.NotifyChange(later, false), S_OK);
    ASSERT_EQ(other.SetDWORDValue("v", 1), S_OK);
    ASSERT_TRUE(later.Wait(kWatchFiresWithinMs));
    EXPECT_FALSE(armed_after_change.IsSet());

    ASSERT_EQ(key.SetDWORDValue("after", 1), S_OK);
    EXPECT_TRUE(armed_after_change.Wait(kWatchFiresWithinMs));
    EXPECT_FALSE(closed.IsSet());
}

TEST_F(RegKeyNotify, ChangeByAnotherProcessSetsTheEvent)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::CurrentUser, "Software\\Velk\\Players"), S_OK);

    struct Case {
        const char* what;
        bool subtree;
        std::vector<std::string> velkreg;
    };
    const Case cases[] = {
        {"value of the key",
         false,
         {"add", "HKCU\\Software\\Velk\\Players", "--value", "x", "--data", "1"}},
        {"new subkey", false, {"add", "HKCU\\Software\\Velk\\Players\\P1"}},
        {"value below, subtree",
         true,
         {"add", "HKCU\\Software\\Velk\\Players\\P1", "--value", "y"}},
        {"the key deleted", false, {"delete", "HKCU\\Software\\Velk"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Event event;
        ASSERT_EQ(key.NotifyChange(event, c.subtree), S_OK);
        const auto result = RunVelkreg(c.velkreg);
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_TRUE(event.Wait(kWatchFiresWithinMs));
    }
}

} // namespace
} // namespace velk
