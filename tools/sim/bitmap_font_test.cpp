#include "tools/sim/bitmap_font.h"

#include <gtest/gtest.h>

#include <set>

namespace velk::sim {
namespace {

int LitPixels(const FrameBuffer& frame)
{
    int lit = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            lit += frame.Pixel(x, y) ? 1 : 0;
    return lit;
}

TEST(BitmapFont, EveryFontFitsItsNamedHeightAndNumbersAreUnique)
{
    std::set<int> numbers;
    for (const auto& font : BitmapFont::All()) {
        SCOPED_TRACE(font.name());
        EXPECT_TRUE(numbers.insert(font.number()).second);
        EXPECT_TRUE(font.name().ends_with(std::to_string(font.height())));
        // A full block of glyphs stays inside one character cell of the font.
        FrameBuffer frame(font.advance() * 2, font.height() * 2);
        font.DrawText(frame, 0, 0, "#", true);
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                if (frame.Pixel(x, y)) {
                    EXPECT_TRUE(x < font.advance() && y < font.height()) << x << "," << y;
                }
            }
        }
    }
    for (int height : {8, 16, 32}) {
        bool found = false;
        for (const auto& font : BitmapFont::All())
            found = found || font.height() == height;
        EXPECT_TRUE(found) << height;
    }
}

TEST(BitmapFont, LargerSizesKeepTheShapeOfTheSmallOne)
{
    const BitmapFont& small = *BitmapFont::ByNumber(1);
    const BitmapFont& large = *BitmapFont::ByNumber(2);
    FrameBuffer a(8, 8), b(16, 16);
    small.DrawText(a, 0, 0, "L", true);
    large.DrawText(b, 0, 0, "L", true);
    // A straight glyph scales to exactly four pixels for each one.
    EXPECT_EQ(LitPixels(b), 4 * LitPixels(a));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(b.Pixel(2 * x, 2 * y), a.Pixel(x, y)) << x << "," << y;
}

TEST(BitmapFont, TextDrawnAgainInPlaceReplacesTheOld)
{
    // A clock written over itself every second shows the new time only.
    const BitmapFont& font = *BitmapFont::ByNumber(2);
    FrameBuffer redrawn(font.TextWidth("12:59") + 4, font.height() + 4);
    FrameBuffer fresh = redrawn;
    font.DrawText(redrawn, 1, 1, "12:58", true);
    font.DrawText(redrawn, 1, 1, "12:59", true);
    font.DrawText(fresh, 1, 1, "12:59", true);
    EXPECT_EQ(redrawn, fresh);

    // Dark text on a lit cell: the cell is lit around the glyph.
    FrameBuffer lit_cell(font.advance(), font.height());
    font.DrawText(lit_cell, 0, 0, " ", false);
    EXPECT_EQ(LitPixels(lit_cell), font.advance() * font.height());
}

TEST(BitmapFont, UnprintableBytesDrawAsQuestionMarksAndTextIsClipped)
{
    const BitmapFont& font = *BitmapFont::ByNumber(1);
    FrameBuffer question(6, 8), unprintable(6, 8);
    font.DrawText(question, 0, 0, "?", true);
    font.DrawText(unprintable, 0, 0, "\xE9", true);
    EXPECT_EQ(question, unprintable);
    // The degree sign of temperatures has a glyph of its own.
    FrameBuffer degree(6, 8);
    font.DrawText(degree, 0, 0, "\xB0", true);
    EXPECT_NE(degree, question);
    EXPECT_GT(LitPixels(degree), 0);
    FrameBuffer small(4, 4);
    font.DrawText(small, -3, -3, std::string(10000, 'W'), true);
    EXPECT_GT(LitPixels(small), 0);
    EXPECT_EQ(font.TextWidth("abc"), 3 * font.advance());
    EXPECT_EQ(BitmapFont::ByNumber(42), nullptr);
}

} // namespace
} // namespace velk::sim
