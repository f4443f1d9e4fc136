#include "platform/encoding.h"

#include <gtest/gtest.h>

#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"

namespace velk {
namespace {

TEST(Encoding, Utf16RoundTripsIncludingSurrogatePairs)
{
    const std::string texts[] = {"", "plain", "caf\xC3\xA9", "\xE2\x82\xAC 5",
                                 "\xF0\x9F\x8E\xB5 music"};
    for (const auto& text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
    }
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xB5").size(), 2u);
}

TEST(Encoding, MalformedInputBecomesReplacementCharacter)
{
    struct Case {
        std::string input;
        std::u16string expected;
    };
    const Case cases[] = {
        {"a\xFF" "b", u"a\uFFFDb"},
        {"\xC3", u"\uFFFD"},                 // truncated sequence
        {"\xC0\xAF", u"\uFFFD\uFFFD"},       // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(Utf8ToUtf16(c.input), c.expected);
    }
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(ToValidUtf8(c.input), Utf16ToUtf8(c.expected));
    }
    EXPECT_EQ(ToValidUtf8("caf\xC3\xA9 \xEF\xBF\xBD"), "caf\xC3\xA9 \xEF\xBF\xBD");
}

TEST(Encoding, PrefixesNeverEndInsideACharacter)
{
    const struct {
        std::string_view text;
        std::size_t max;
        std::string_view prefix;
    } cases[] = {
        {"abc", 5, "abc"},
        {"abc", 2, "ab"},
        {"a\xC3\xA9z", 2, "a"},         // é is two bytes: not cut in half
        {"a\xC3\xA9z", 3, "a\xC3\xA9"},
        {"\xE2\x82\xAC", 2, ""},        // € is three bytes
        {"", 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8Prefix(c.text, c.max), c.prefix) << c.text << " / " << c.max;
}

TEST(Encoding, AnsiConversionReplacesWhatTheCodePageLacks)
{
    struct Case {
        const char* code_page;
        std::string utf8;
        std::string ansi;
    };
    const Case cases[] = {
        {"WINDOWS-1252", "caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"},
        {"WINDOWS-1252", "\xE6\x97\xA5\xE6\x9C\xAC x", "?? x"},
        {"WINDOWS-1252", "\xF0\x9F\x8E\xB5", "?"},
        {"WINDOWS-1251", "\xD0\x96", "\xC6"},
        {"ASCII", "na\xC3\xAFve", "na?ve"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(ToAnsi(c.utf8, c.code_page), c.ansi);
    }
    EXPECT_EQ(FromAnsi("caf\xE9 \x80", "WINDOWS-1252"), "caf\xC3\xA9 \xE2\x82\xAC");
    // 0x81 is undefined in WINDOWS-1252.
    EXPECT_EQ(FromAnsi("a\x81z", "WINDOWS-1252"), "a?z");
    // An unknown code page falls back to the default rather than losing the text.
    EXPECT_EQ(ToAnsi("caf\xC3\xA9", "NO-SUCH-PAGE"), "caf\xE9");
}

TEST(Encoding, CodePageNumbersMapToConverterNames)
{
    EXPECT_EQ(CodePageName(1252), "WINDOWS-1252");
    EXPECT_EQ(CodePageName(65001), "UTF-8");
    EXPECT_EQ(CodePageName(932), "CP932");
}

using EncodingSettings = RegistryFixture;

TEST_F(EncodingSettings, CodePageComesFromTheMachineSettings)
{
    struct Case {
        DWORD type;
        std::string setting;
        const char* expected;
    };
    const Case cases[] = {
        {REG_NONE, "", "WINDOWS-1252"},
        {REG_SZ, "WINDOWS-1251", "WINDOWS-1251"},
        {REG_DWORD, "1250", "WINDOWS-1250"},
        {REG_SZ, "NO-SUCH-PAGE", "WINDOWS-1252"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        RegKey key;
        ASSERT_EQ(key.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer"), S_OK);
        key.DeleteValue("AnsiCodePage");
        if (c.type == REG_SZ) {
            ASSERT_EQ(key.SetStringValue("AnsiCodePage", c.setting), S_OK);
        } else if (c.type == REG_DWORD) {
            ASSERT_EQ(key.SetDWORDValue("AnsiCodePage", static_cast<DWORD>(std::stoul(c.setting))), S_OK);
        }
        RefreshAnsiCodePage();
        EXPECT_EQ(AnsiCodePage(), c.expected);
    }
    RefreshAnsiCodePage();
}

} // namespace
} // namespace velk
