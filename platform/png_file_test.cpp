#include "platform/png_file.h"

#include <gtest/gtest.h>
#include <png.h>

namespace velk {
namespace {

// The picture libpng reads back, as 0xAARRGGBB; empty when it cannot read the file.
Bitmap ReadBack(const std::vector<std::uint8_t>& file)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        return {};
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return {};
    Bitmap bitmap(static_cast<int>(image.width), static_cast<int>(image.height));
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            bitmap.SetPixel(x, y, pixels[static_cast<std::size_t>(y) * bitmap.width() + x]);
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

} // namespace
} // namespace velk
