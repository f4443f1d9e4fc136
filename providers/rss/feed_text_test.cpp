// Feed text made fit for a display line: numeric references decoded once, white space folded.
#include "providers/rss/feed_text.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(FeedText, NumericReferencesBecomeTheirCharacters)
{
    struct Case {
        const char* text;
        const char* decoded;
    };
    const Case kCases[] = {
        {"Caf&#233; opens", "Caf\u00e9 opens"},
        {"&#233;t&#233; &#233;", "\u00e9t\u00e9 \u00e9"},        // every occurrence
        {"Rock &#x26; Roll &#X2013; live", "Rock & Roll \u2013 live"}, // hexadecimal
        {"&#128512;", "\U0001F600"},
        {"&#38;#38;", "&#38;"},                // decoded once, not again
        {"Tom &# Jerry; and &#233;", "Tom &# Jerry; and \u00e9"}, // no number: left as it is
        {"&#12ab;", "&#12ab;"},
        {"&#x;", "&#x;"},
        {"AT&#38T &#233", "AT&#38T &#233"},    // no ";" after: the rest stays
        {"&#0; &#xD800; &#99999999999;", "\ufffd \ufffd \ufffd"},
        {"no references", "no references"},
        {"", ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DecodeNumericReferences(c.text), c.decoded);
    }
}

TEST(FeedText, DisplayLineFoldsWhiteSpaceAndControlCharacters)
{
    struct Case {
        const char* text;
        const char* line;
    };
    const Case kCases[] = {
        {"\n    Storm warning\n    for the coast\n  ", "Storm warning for the coast"},
        {"a\tb\r\nc\x7f" "d", "a b c d"},
        {"\x01\x02", ""},
        {"caf\u00e9  au  lait", "caf\u00e9 au lait"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DisplayLine(c.text), c.line);
    }
}

} // namespace
} // namespace velk
