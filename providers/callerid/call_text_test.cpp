#include "providers/callerid/call_text.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(CallText, TheCallerAsShown)
{
    struct Case {
        const char* name;
        TelephonyCall call;
        std::optional<std::string> book_name;
        const char* shown_name;
        const char* shown_number;
        const char* marquee;
    };
    const Case cases[] = {
        {"name and number", {"5551234", "JOHN DOE"}, std::nullopt, "JOHN DOE", "5551234", "JOHN DOE (5551234)"},
        {"number alone", {"5551234", ""}, std::nullopt, "", "5551234", "5551234"},
        {"the book's name wins", {"5551234", "JOHN DOE"}, "Mum", "Mum", "5551234", "Mum (5551234)"},
        {"neither: unknown caller", {"", ""}, std::nullopt, "Unknown Caller", "", "Unknown Caller"},
        {"line breaks become blanks", {"555\r\n1234", "EVIL\r\nsketch -c clear"}, std::nullopt,
         "EVIL  sketch -c clear", "555  1234", "EVIL  sketch -c clear (555  1234)"},
        {"a book name with a tab", {"1", "x"}, "a\tb\x7f", "a b ", "1", "a b  (1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CallerText caller = ShownCaller(c.call, c.book_name);
        EXPECT_EQ(caller.name, c.shown_name);
        EXPECT_EQ(caller.number, c.shown_number);
        EXPECT_EQ(MarqueeText(caller), c.marquee);
    }
}

TEST(CallText, NameAndNumberGetALineEachOnlyWhereTwoLinesFit)
{
    struct Case {
        std::int16_t height;
        std::int16_t font;
        std::optional<std::uint16_t> second_y;
    };
    const Case cases[] = {{32, 3, 16}, {32, 7, 16}, {16, 1, 8},         {32, 1, std::nullopt},
                          {32, 2, std::nullopt}, {16, 3, std::nullopt}, {0, 0, std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "height " << c.height << ", font " << c.font);
        EXPECT_EQ(SecondLineY(c.height, c.font), c.second_y);
    }
}

TEST(CallText, ALogLineIsOneLineWhateverTheCallerSends)
{
    const CallerText caller = ShownCaller({"1\n2", "A\r\nforged\tline"}, std::nullopt);
    EXPECT_EQ(CallLogLine("10/12/2026", "21:30", caller), "10/12/2026 21:30\tA  forged line\t1 2\n");
    EXPECT_EQ(CallEventText(caller), "A  forged line 1 2");
}

} // namespace
} // namespace velk
