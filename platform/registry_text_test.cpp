#include "platform/registry_text.h"

#include <gtest/gtest.h>

#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"

namespace velk {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

Bytes AllByteValues()
{
    Bytes bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i));
    return bytes;
}

// Keys with a value of every type, and the awkward bytes each text form has to carry.
std::vector<RegTextKey> EveryKindOfKey()
{
    const auto multi =
        *EncodeMultiString(std::vector<std::string>{"{A}", "say \"x\"", "tab\tline\n"});
    return {
        {Hive::LocalMachine,
         "SOFTWARE\\Velk\\DataServer",
         false,
         {
             {"AnsiCodePage", false, REG_SZ, ToBytes("WINDOWS-1252")},
             {"", false, REG_SZ, ToBytes("default value")},
             {"Quotes \"and\" \\slashes\\", false, REG_SZ, ToBytes("a\"b\\c\r\nd")},
             {"Control", false, REG_SZ, ToBytes(std::string_view("\x00\x01\x1f\x7f", 4))},
             {"Utf8 \xC3\xA9", false, REG_SZ, ToBytes("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5")},
             {"Not utf8", false, REG_SZ, ToBytes("\xC3 \xFF \xED\xA0\x80 \xF4\x90\x80\x80")},
             {"Empty", false, REG_SZ, {}},
             {"Port", false, REG_DWORD, EncodeDword(4445)},
             {"Max", false, REG_DWORD, EncodeDword(0xFFFFFFFF)},
             {"Blob", false, REG_BINARY, AllByteValues()},
             {"NoBytes", false, REG_BINARY, {}},
             {"Classes", false, REG_MULTI_SZ, multi},
             {"NoStrings", false, REG_MULTI_SZ, {0}},
             {"Nothing", false, REG_NONE, {}},
             {"Tagged", false, REG_NONE, {0, 1}},
             {"Expand", false, 2, ToBytes("%PATH%")},
             {"Qword", false, 11, {1, 2, 3, 4, 5, 6, 7, 8}},
             {"Gone", true, REG_NONE, {}},
         }},
        {Hive::ClassesRoot,
         "CLSID\\{0A1B2C3D-0000-0000-0000-000000000000}\\InprocServer32",
         false,
         {{"", false, REG_SZ, ToBytes("/usr/lib/velk/velktime.so")}}},
        {Hive::CurrentUser, "Software\\Odd]Name[", false, {}},
        {Hive::CurrentUser, "Software\\Old", true, {}},
        {Hive::LocalMachine, "", false, {}},
    };
}

TEST(RegistryText, WrittenTextParsesBackToTheSameKeys)
{
    const auto keys = EveryKindOfKey();
    const auto text = WriteRegistryText(keys);
    std::vector<RegTextKey> parsed;
    std::string error;
    ASSERT_EQ(ParseRegistryText(text, parsed, error), S_OK) << error << "\n" << text;
    EXPECT_EQ(parsed, keys) << text;

    // Readable where it can be: the forms a person would write by hand.
    for (const char* line :
         {"[HKLM\\SOFTWARE\\Velk\\DataServer]\n", "\"AnsiCodePage\"=\"WINDOWS-1252\"\n",
          "@=\"default value\"\n", "\"Port\"=dword:0000115d\n",
          "\"Classes\"=multi:\"{A}\",\"say \\\"x\\\"\",\"tab\\tline\\n\"\n", "\"Nothing\"=none:\n",
          "\"Control\"=\"\\x00\\x01\\x1f\\x7f\"\n",
          "\"Utf8 \xC3\xA9\"=\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5\"\n",
          "\"Not utf8\"=\"\\xc3 \\xff \\xed\\xa0\\x80 \\xf4\\x90\\x80\\x80\"\n",
          "\"Expand\"=hex(2):25,50,41,54,48,25\n", "\"Gone\"=-\n", "[-HKCU\\Software\\Old]\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nnot in\n" << text;
    }
}

TEST(RegistryText, ParserAcceptsCrlfBomCommentsAndContinuedByteLists)
{
    const std::string text = "\xEF\xBB\xBFVelk Registry 1\r\n"
                             "; a comment\r\n"
                             "   ; an indented comment\r\n"
                             "\r\n"
                             "[hkey_current_user\\Software\\Velk]   \r\n"
                             "\"Blob\"=hex:00,01,\\\r\n"
                             "    02,FF\r\n"
                             "\"Short\"=dword:1f\r\n"
                             "\"Raw\"=hex(7):61,00,00";
    std::vector<RegTextKey> keys;
    std::string error;
    ASSERT_EQ(ParseRegistryText(text, keys, error), S_OK) << error;
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].hive, Hive::CurrentUser);
    EXPECT_EQ(keys[0].path, "Software\\Velk");
    const std::vector<RegTextValue> expected{
        {"Blob", false, REG_BINARY, {0, 1, 2, 0xFF}},
        {"Short", false, REG_DWORD, EncodeDword(0x1F)},
        {"Raw", false, REG_MULTI_SZ, {'a', 0, 0}},
    };
    EXPECT_EQ(keys[0].values, expected);
}

TEST(RegistryText, FaultsAreReportedWithTheirLine)
{
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"", "line 1: the first line must be"},
        {"Windows Registry Editor Version 5.00\n", "line 1: the first line must be"},
        {"Velk Registry 1\n\"a\"=\"b\"\n", "line 2: a value must follow a [key] section"},
        {"Velk Registry 1\n[HKLM\\a\n", "line 2: a section line must end with ]"},
        {"Velk Registry 1\n[HKXX\\a]\n", "line 2: the key path must start with"},
        {"Velk Registry 1\n[]\n", "line 2: the key path must start with"},
        {"Velk Registry 1\n[-HKLM]\n", "line 2: a root key cannot be deleted"},
        {"Velk Registry 1\n[HKLM\\a\\\\b]\n", "line 2: a key name must not be empty"},
        {"Velk Registry 1\n[HKLM\\a\\]\n", "line 2: a key path must not end with"},
        {"Velk Registry 1\n[HKLM\\a\tb]\n", "line 2: a key name must not be empty or hold control"},
        {"Velk Registry 1\n[-HKLM\\a]\n\"v\"=-\n", "line 3: a deleted key has no values"},
        {"Velk Registry 1\n[HKLM\\a]\nv=\"x\"\n", "line 3: expected a [key] section"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\" = \"x\"\n", "line 3: expected = after the value name"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=\"x\n", "line 3: unterminated string"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=\"x\\\"\n", "line 3: unterminated string"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=\"\\q\"\n", "line 3: unknown escape \\q"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=\"\\x4\"\n", "line 3: \\x must be followed"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=\"a\tb\"\n", "line 3: a control character"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=\"x\" junk\n", "line 3: unexpected text after"},
        {"Velk Registry 1\n[HKLM\\a]\n\"\"=\"x\"\n", "line 3: the default value is written @"},
        {"Velk Registry 1\n[HKLM\\a]\n\"a\\x00\"=\"x\"\n", "line 3: a value name must not hold"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=dword:\n", "line 3: expected hex digits"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=dword:123456789\n", "line 3: a number has at most 8"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=dword:-1\n", "line 3: expected hex digits"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=hex:0\n", "line 3: expected a byte of two hex"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=hex:00,\n", "line 3: expected a byte of two hex"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=hex:00 01\n", "line 3: unexpected text after"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=hex:00,\\\n", "line 3: the byte list goes on past"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=hex:00,\\\n\n", "line 4: expected a byte of two"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=hex(4):00,01\n",
         "line 3: the bytes are not in the stored form of type 4"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=hex(7):61,00\n",
         "line 3: the bytes are not in the stored form of type 7"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=hex(4:00\n", "line 3: expected ): after the type"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=multi:\"a\",\"\"\n",
         "line 3: a multi-string must not hold an empty"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=multi:\"a\" \"b\"\n", "line 3: expected , between"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=none:00\n", "line 3: unexpected text after"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=qword:1\n", "line 3: expected a string, dword:"},
        {"Velk Registry 1\n[HKLM\\a]\n\"v\"=\n", "line 3: expected a string, dword:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<RegTextKey> keys{RegTextKey{}};
        std::string error;
        EXPECT_EQ(ParseRegistryText(c.text, keys, error), E_INVALIDARG);
        EXPECT_TRUE(error.starts_with(c.error)) << error;
        EXPECT_EQ(keys.size(), 1u);
    }
}

// A file of one section at path with the value lines given.
std::string OneSection(const std::string& path, const std::string& values = "")
{
    return "Velk Registry 1\n[HKLM\\" + path + "]\n" + values;
}

std::string DeepPath(std::size_t levels)
{
    std::string path = "a";
    for (std::size_t i = 1; i < levels; ++i)
        path += "\\a";
    return path;
}

TEST(RegistryText, NamesDepthAndValueSizesBeyondTheLimitsAreReportedWithTheirLine)
{
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    const std::string mebibyte_hex = "00" + [&] {
        std::string more;
        more.reserve(3 * kMiB);
        for (std::size_t i = 1; i < kMiB; ++i)
            more += ",00";
        return more;
    }();
    struct Case {
        std::string what;
        std::string text;
        const char* error; // none when the file parses
    };
    const Case kCases[] = {
        {"255 characters", OneSection(std::string(255, 'k')), nullptr},
        {"256 characters", OneSection("a\\" + std::string(256, 'k')),
         "line 2: a key name has more than 255 characters"},
        {"512 levels", OneSection(DeepPath(512)), nullptr},
        {"513 levels", OneSection(DeepPath(513)), "line 2: a key path has more than 512 levels"},
        {"513 levels deleted", "Velk Registry 1\n[-HKLM\\" + DeepPath(513) + "]\n",
         "line 2: a key path has more than 512 levels"},
        {"value name of 16383", OneSection("a", '"' + std::string(16383, 'v') + "\"=\"x\"\n"),
         nullptr},
        {"value name of 16384", OneSection("a", "@=\"x\"\n\"" + std::string(16384, 'v') + "\"=-\n"),
         "line 4: a value name has more than 16383 characters"},
        {"value of 1 MiB", OneSection("a", "\"v\"=hex:" + mebibyte_hex + "\n"), nullptr},
        {"value of 1 MiB and a byte", OneSection("a", "\"v\"=hex(3):" + mebibyte_hex + ",00\n"),
         "line 3: a value has more than 1048576 bytes"},
        {"string of 1 MiB and a byte",
         OneSection("a", "@=dword:1\n@=\"" + std::string(kMiB + 1, 's') + "\"\n"),
         "line 4: a value has more than 1048576 bytes"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        std::vector<RegTextKey> keys;
        std::string error;
        const HRESULT hr = ParseRegistryText(c.text, keys, error);
        if (!c.error) {
            EXPECT_EQ(hr, S_OK) << error;
            continue;
        }
        EXPECT_EQ(hr, E_INVALIDARG);
        EXPECT_EQ(error, c.error);
    }
}

using RegistryTextImport = RegistryFixture;

TEST_F(RegistryTextImport, ExportOfAnImportGivesTheSameKeysWithStoredNames)
{
    auto keys = EveryKindOfKey();
    std::string error;
    ASSERT_EQ(ImportRegistryText(keys, error), S_OK) << error;

    std::vector<RegTextKey> exported;
    ASSERT_EQ(ExportRegistryText(Hive::LocalMachine, "software\\velk", exported), S_OK);
    ASSERT_EQ(exported.size(), 2u);
    EXPECT_EQ(exported[0].path, "SOFTWARE\\Velk");
    EXPECT_TRUE(exported[0].values.empty());
    // What import applied, in the order the registry lists it, without the deletion markers.
    auto values = keys[0].values;
    std::erase_if(values, [](const auto& value) { return value.remove; });
    std::sort(values.begin(), values.end(),
              [](const auto& a, const auto& b) { return FoldCase(a.name) < FoldCase(b.name); });
    EXPECT_EQ(exported[1].path, "SOFTWARE\\Velk\\DataServer");
    EXPECT_EQ(exported[1].values, values);

    // The text of an export, imported into an empty registry, exports the same again.
    const auto text = WriteRegistryText(exported);
    RegKey root;
    ASSERT_EQ(root.Open(Hive::LocalMachine, "", RegAccess::All), S_OK);
    ASSERT_EQ(root.DeleteTree("SOFTWARE"), S_OK);
    std::vector<RegTextKey> parsed, again;
    ASSERT_EQ(ParseRegistryText(text, parsed, error), S_OK) << error;
    ASSERT_EQ(ImportRegistryText(parsed, error), S_OK) << error;
    ASSERT_EQ(ExportRegistryText(Hive::LocalMachine, "SOFTWARE\\Velk", again), S_OK);
    EXPECT_EQ(again, exported);

    EXPECT_EQ(ExportRegistryText(Hive::LocalMachine, "SOFTWARE\\Missing", again),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryTextImport, ImportDeletesKeysAndValuesAndIgnoresMissingOnes)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::CurrentUser, "Software\\Velk\\Old\\Deep"), S_OK);
    ASSERT_EQ(key.Create(Hive::CurrentUser, "Software\\Velk"), S_OK);
    ASSERT_EQ(key.SetStringValue("gone", "x"), S_OK);
    const char* text = "Velk Registry 1\n"
                       "[-HKCU\\Software\\Velk\\Old]\n"
                       "[-HKCU\\Software\\NeverThere]\n"
                       "[HKCU\\Software\\Velk]\n"
                       "\"gone\"=-\n"
                       "\"never\"=-\n";
    std::vector<RegTextKey> keys;
    std::string error;
    ASSERT_EQ(ParseRegistryText(text, keys, error), S_OK) << error;
    ASSERT_EQ(ImportRegistryText(keys, error), S_OK) << error;
    std::vector<std::string> subkeys;
    std::vector<RegValueInfo> values;
    ASSERT_EQ(key.EnumKeys(subkeys), S_OK);
    ASSERT_EQ(key.EnumValues(values), S_OK);
    EXPECT_TRUE(subkeys.empty());
    EXPECT_TRUE(values.empty());
}

TEST_F(RegistryTextImport, FailedImportLeavesEveryHiveUntouched)
{
    RegKey machine;
    ASSERT_EQ(machine.Create(Hive::LocalMachine, "SOFTWARE\\Velk"), S_OK);
    ASSERT_EQ(machine.SetDWORDValue("kept", 1), S_OK);
    std::vector<RegTextKey> before;
    ASSERT_EQ(ExportRegistryText(Hive::LocalMachine, "", before), S_OK);

    // A parse fault on the last line, and a value the registry refuses after others were
    // applied in both hive files.
    const std::string good = "Velk Registry 1\n"
                             "[-HKLM\\SOFTWARE\\Velk]\n"
                             "[HKLM\\SOFTWARE\\New]\n"
                             "\"v\"=dword:00000002\n"
                             "[HKCU\\Software\\New]\n"
                             "\"v\"=\"x\"\n";
    std::vector<RegTextKey> keys;
    std::string error;
    EXPECT_EQ(ParseRegistryText(good + "\"late\"=dword:zz\n", keys, error), E_INVALIDARG);
    EXPECT_TRUE(error.starts_with("line 7:")) << error;

    ASSERT_EQ(ParseRegistryText(good, keys, error), S_OK) << error;
    keys.back().values.push_back({"bad", false, REG_DWORD, {1, 2, 3}});
    EXPECT_EQ(ImportRegistryText(keys, error), E_INVALIDARG);
    EXPECT_EQ(error, "HKCU\\Software\\New value \"bad\": " + HResultMessage(E_INVALIDARG));

    std::vector<RegTextKey> after;
    ASSERT_EQ(ExportRegistryText(Hive::LocalMachine, "", after), S_OK);
    EXPECT_EQ(after, before);
    EXPECT_EQ(RegKey().Open(Hive::CurrentUser, "Software"),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

} // namespace
} // namespace velk
