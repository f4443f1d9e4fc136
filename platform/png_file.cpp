#include "platform/png_file.h"

#include <png.h>

#include <array>
#include <csetjmp>

namespace velk {

namespace {

void AppendToVector(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

// The two colours of a two-colour picture (one of them may stay unused); false for more.
bool TwoColours(const Bitmap& bitmap, std::array<std::uint32_t, 2>& colours)
{
    int count = 0;
    for (std::uint32_t pixel : bitmap.pixels()) {
        if (count > 0 && pixel == colours[0])
            continue;
        if (count > 1 && pixel == colours[1])
            continue;
        if (count == 2)
            return false;
        colours[count++] = pixel;
    }
    if (count == 1)
        colours[1] = colours[0];
    return (colours[0] >> 24) == 0xFF && (colours[1] >> 24) == 0xFF;
}

std::vector<png_byte> PaletteRows(const Bitmap& bitmap, std::uint32_t lit)
{
    const std::size_t stride = (static_cast<std::size_t>(bitmap.width()) + 7) / 8;
    std::vector<png_byte> rows(stride * bitmap.height(), 0);
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            if (bitmap.Pixel(x, y) == lit)
                rows[y * stride + x / 8] |= static_cast<png_byte>(0x80 >> (x % 8));
        }
    }
    return rows;
}

std::vector<png_byte> RgbaRows(const Bitmap& bitmap)
{
    std::vector<png_byte> rows;
    rows.reserve(bitmap.pixels().size() * 4);
    for (std::uint32_t pixel : bitmap.pixels()) {
        rows.push_back(static_cast<png_byte>(pixel >> 16));
        rows.push_back(static_cast<png_byte>(pixel >> 8));
        rows.push_back(static_cast<png_byte>(pixel));
        rows.push_back(static_cast<png_byte>(pixel >> 24));
    }
    return rows;
}

png_color ColourOf(std::uint32_t argb)
{
    return png_color{static_cast<png_byte>(argb >> 16), static_cast<png_byte>(argb >> 8),
                     static_cast<png_byte>(argb)};
}

struct PngLayout {
    int width;
    int height;
    int bit_depth;
    int colour_type;
    // Two entries, for a palette image.
    const png_color* palette;
    png_bytep* rows;
};

bool WritePng(const PngLayout& layout, std::vector<std::uint8_t>& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    // libpng reports its failures by longjmp: nothing here changes after the setjmp.
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, AppendToVector, NoFlush);
    png_set_IHDR(png, info, layout.width, layout.height, layout.bit_depth, layout.colour_type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (layout.palette)
        png_set_PLTE(png, info, layout.palette, 2);
    png_set_compression_level(png, 9);
    png_set_rows(png, info, layout.rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

std::vector<std::uint8_t> EncodePng(const Bitmap& bitmap)
{
    if (bitmap.empty())
        return {};
    std::array<std::uint32_t, 2> colours{};
    const bool two_colours = TwoColours(bitmap, colours);
    const std::vector<png_byte> pixels =
        two_colours ? PaletteRows(bitmap, colours[1]) : RgbaRows(bitmap);
    const std::size_t stride = pixels.size() / bitmap.height();
    std::vector<png_bytep> rows;
    for (int y = 0; y < bitmap.height(); ++y)
        rows.push_back(const_cast<png_bytep>(pixels.data() + y * stride));
    const png_color palette[2] = {ColourOf(colours[0]), ColourOf(colours[1])};

    std::vector<std::uint8_t> out;
    const PngLayout layout{bitmap.width(), bitmap.height(), two_colours ? 1 : 8,
                           two_colours ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGBA,
                           two_colours ? palette : nullptr, rows.data()};
    if (!WritePng(layout, out))
        return {};
    return out;
}

HRESULT DecodePng(std::span<const std::uint8_t> bytes, Bitmap& bitmap)
{
    constexpr HRESULT kInvalid = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return kInvalid;
    if (image.width == 0 || image.height == 0 || image.width > Bitmap::kMaxSide ||
        image.height > Bitmap::kMaxSide) {
        png_image_free(&image);
        return kInvalid;
    }
    // Little-endian BGRA bytes are 0xAARRGGBB values.
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return kInvalid;
    Bitmap read(static_cast<int>(image.width), static_cast<int>(image.height));
    for (int y = 0; y < read.height(); ++y) {
        for (int x = 0; x < read.width(); ++x)
            read.SetPixel(x, y, pixels[static_cast<std::size_t>(y) * read.width() + x]);
    }
    bitmap = std::move(read);
    return S_OK;
}

} // namespace velk
