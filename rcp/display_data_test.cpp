#include "rcp/display_data.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

namespace velk {
namespace {

using Pattern = std::function<bool(int x, int y)>;

// The player's answer for a picture, written the way the player describes it: column by column,
// the first byte of a column its top eight pixels, most significant bit topmost.
std::string AnswerFor(int width, int height, const Pattern& lit, int announced = -1)
{
    std::string hex;
    for (int x = 0; x < width; ++x) {
        for (int top = 0; top < height; top += 8) {
            unsigned byte = 0;
            for (int bit = 0; bit < 8; ++bit)
                byte |= (lit(x, top + bit) ? 0x80u : 0u) >> bit;
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02x", byte);
            hex += pair;
        }
    }
    const int count = announced >= 0 ? announced : static_cast<int>(hex.size() / 2);
    return "data bytes: " + std::to_string(count) + "\r\n" + hex;
}

DisplayPixels PixelsOf(int width, int height, const Pattern& lit)
{
    DisplayPixels pixels(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.lit[y * width + x] = lit(x, y) ? 1 : 0;
    return pixels;
}

std::string Picture(const DisplayPixels& pixels)
{
    std::string rows;
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x)
            rows += pixels.Lit(x, y) ? '#' : '.';
        rows += '\n';
    }
    return rows;
}

const Pattern kTopLeftOnly = [](int x, int y) { return x == 0 && y == 0; };
const Pattern kDiagonals = [](int x, int y) { return (x + y) % 7 == 0 || (x * 3 + y) % 11 == 0; };
const Pattern kChecker = [](int x, int y) { return (x + y) % 2 == 0; };

TEST(DisplayData, DecodesWholeDisplaysColumnByColumn)
{
    struct Case {
        const char* name;
        int width, height;
        Pattern pattern;
    };
    const Case cases[] = {
        {"280x16, top-left pixel from the first byte's top bit", 280, 16, kTopLeftOnly},
        {"280x16 diagonals", 280, 16, kDiagonals},
        {"280x32", 280, 32, kDiagonals},
        {"512x32", 512, 32, kDiagonals},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string answer = AnswerFor(c.width, c.height, c.pattern);
        DisplayPixels pixels(c.width, c.height);
        ASSERT_TRUE(DecodeDisplayData("GetDisplayData: " + answer, pixels));
        EXPECT_EQ(Picture(pixels), Picture(PixelsOf(c.width, c.height, c.pattern)));
    }
    EXPECT_EQ(AnswerFor(280, 16, kTopLeftOnly).substr(0, 20), "data bytes: 560\r\n800");
}

// What the player sends is not trusted: the decoder takes only whole columns that the count, the
// data present and the display all allow, and leaves the rest of the picture as it was.
TEST(DisplayData, UsesOnlyWhatIsPresentAndFits)
{
    struct Case {
        const char* name;
        std::string answer;
        int decoded_columns; // of a 280x16 display holding a checkerboard before
    };
    const std::string full = AnswerFor(280, 16, kDiagonals);
    const std::string hex = full.substr(full.find("\r\n") + 2);
    const Case cases[] = {
        {"count above the data present", "data bytes: 560\r\n" + hex.substr(0, 4 * 10), 10},
        {"count below the data present", "data bytes: 6\r\n" + hex, 3},
        {"count beyond the display", "data bytes: 100000\r\n" + hex + hex, 280},
        {"count far beyond 64 bits", "data bytes: 99999999999999999999999\r\n" + hex, 0},
        {"half a column", "data bytes: 560\r\n" + hex.substr(0, 2 * 3), 1},
        {"odd digit at the end", "data bytes: 560\r\n" + hex.substr(0, 4 * 5 + 1), 5},
        {"stray character", "data bytes: 560\r\n" + hex.substr(0, 4 * 7) + "zz" + hex.substr(30), 7},
        {"bytes: 0", "data bytes: 0\r\n" + hex, 0},
        {"negative count", "data bytes: -4\r\n" + hex, 0},
        {"no count", "data bytes: \r\n" + hex, 0},
        {"no marker", "data: 560\r\n" + hex, 0},
        {"no line break", "data bytes: 560 " + hex, 0},
        {"no data", "data bytes: 560\r\n", 0},
        {"empty", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DisplayPixels pixels = PixelsOf(280, 16, kChecker);
        EXPECT_EQ(DecodeDisplayData(c.answer, pixels), c.decoded_columns > 0);
        const auto expected = PixelsOf(280, 16, [&](int x, int y) {
            return x < c.decoded_columns ? kDiagonals(x, y) : kChecker(x, y);
        });
        EXPECT_EQ(Picture(pixels), Picture(expected));
    }
}

TEST(DisplayData, DisplaysOfNoWholeByteColumnTakeNothing)
{
    const std::string answer = AnswerFor(280, 16, kDiagonals);
    for (int height = 0; height < 8; ++height) {
        SCOPED_TRACE(height);
        DisplayPixels pixels = PixelsOf(280, height, kChecker);
        EXPECT_FALSE(DecodeDisplayData(answer, pixels));
        EXPECT_EQ(pixels, PixelsOf(280, height, kChecker));
    }
    DisplayPixels none(0, 16);
    EXPECT_FALSE(DecodeDisplayData(answer, none));
}

} // namespace
} // namespace velk
