#include "platform/png_file.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

Bitmap ReadBack(const std::vector<std::uint8_t>& file)
{
    Bitmap bitmap;
    EXPECT_EQ(DecodePng(file, bitmap), S_OK);
    return bitmap;
}

int BitDepth(const std::vector<std::uint8_t>& file) { return file.size() > 24 ? file[24] : -1; }

TEST(PngFile, PicturesComeBackAsTheyWere)
{
    Bitmap two(13, 5, 0xFF102030);
    two.SetPixel(0, 0, 0xFF00C0FF);
    two.SetPixel(12, 4, 0xFF00C0FF);
    Bitmap one(9, 3, 0xFF000000);
    Bitmap many(4, 4, 0xFF000000);
    many.SetPixel(1, 1, 0xFFFF0000);
    many.SetPixel(2, 2, 0x8000FF00);
    struct Case {
        const char* name;
        const Bitmap& bitmap;
        int bit_depth;
    };
    const Case cases[] = {{"two colours", two, 1}, {"one colour", one, 1}, {"more", many, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = EncodePng(c.bitmap);
        EXPECT_EQ(BitDepth(file), c.bit_depth);
        EXPECT_EQ(ReadBack(file), c.bitmap);
    }
    EXPECT_TRUE(EncodePng(Bitmap()).empty());
}

TEST(PngFile, WhatIsNoPngLeavesThePicture)
{
    const auto file = EncodePng(Bitmap(3, 3, 0xFFFFFFFF));
    const std::vector<std::uint8_t> cut(file.begin(), file.begin() + file.size() / 2);
    const std::vector<std::uint8_t> garbage{'B', 'M', 0, 1, 2};
    for (const auto* bytes : {&cut, &garbage}) {
        Bitmap bitmap(1, 1);
        EXPECT_EQ(DecodePng(*bytes, bitmap), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
        EXPECT_EQ(bitmap, Bitmap(1, 1));
    }
}

} // namespace
} // namespace velk
