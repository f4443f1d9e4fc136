#include "platform/bitmap.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace velk {
namespace {

constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value)
{
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A BMP file put together field by field, as another program would write it.
struct BmpLayout {
    int width = 0;
    int height = 0; // negative: top-down
    std::uint16_t bpp = 0;
    std::vector<std::uint32_t> palette{};          // 0x00RRGGBB
    std::vector<std::vector<std::uint8_t>> rows{}; // in file order, without padding
    std::uint32_t compression = 0;
    std::uint32_t header_size = 40;
    std::vector<std::uint32_t> masks{}; // in the header when it is larger than 40 bytes
};

std::vector<std::uint8_t> BuildBmp(const BmpLayout& layout)
{
    const bool masks_after_header = layout.header_size == 40 && !layout.masks.empty();
    std::vector<std::uint8_t> file(14 + layout.header_size);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 14, layout.header_size);
    Put32(file, 18, static_cast<std::uint32_t>(layout.width));
    Put32(file, 22, static_cast<std::uint32_t>(layout.height));
    Put16(file, 26, 1);
    Put16(file, 28, layout.bpp);
    Put32(file, 30, layout.compression);
    Put32(file, 46, static_cast<std::uint32_t>(layout.palette.size()));
    for (std::size_t i = 0; i < layout.masks.size(); ++i) {
        if (masks_after_header)
            file.resize(file.size() + 4);
        Put32(file, masks_after_header ? file.size() - 4 : 54 + 4 * i, layout.masks[i]);
    }
    for (std::uint32_t rgb : layout.palette) {
        file.resize(file.size() + 4);
        Put32(file, file.size() - 4, rgb);
    }
    Put32(file, 10, static_cast<std::uint32_t>(file.size()));
    for (const auto& row : layout.rows) {
        file.insert(file.end(), row.begin(), row.end());
        file.resize(file.size() + (4 - row.size() % 4) % 4);
    }
    Put32(file, 2, static_cast<std::uint32_t>(file.size()));
    return file;
}

std::vector<std::uint32_t> Pixels(const Bitmap& bitmap)
{
    return {bitmap.pixels().begin(), bitmap.pixels().end()};
}

struct ReadCase {
    const char* name;
    BmpLayout layout; // bottom-up
    std::vector<std::uint32_t> expected;
};

const ReadCase kReadCases[] = {
    {"1 bpp",
     {.width = 3, .height = 2, .bpp = 1, .palette = {0x000000, 0xFFFFFF}, .rows = {{0x40}, {0xA0}}},
     {kWhite, kBlack, kWhite, kBlack, kWhite, kBlack}},
    {"4 bpp",
     {.width = 3,
      .height = 2,
      .bpp = 4,
      .palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
      .rows = {{0x30, 0x10}, {0x12, 0x30}}},
     {kRed, kGreen, kBlue, kBlue, kBlack, kRed}},
    {"8 bpp with a short palette",
     {.width = 3,
      .height = 2,
      .bpp = 8,
      .palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
      .rows = {{3, 3, 0}, {0, 1, 2}}},
     {kBlack, kRed, kGreen, kBlue, kBlue, kBlack}},
    {"8 bpp after a V4 header",
     {.width = 3,
      .height = 2,
      .bpp = 8,
      .palette = {0x000000, 0xFF0000},
      .rows = {{1, 1, 0}, {0, 1, 0}},
      .header_size = 108},
     {kBlack, kRed, kBlack, kRed, kRed, kBlack}},
    {"24 bpp",
     {.width = 3,
      .height = 2,
      .bpp = 24,
      .rows = {{0xFF, 0xFF, 0xFF, 0, 0, 0, 0x56, 0x34, 0x12},
               {0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0}}},
     {kRed, kGreen, kBlue, kWhite, kBlack, 0xFF123456}},
    {"32 bpp with alpha",
     {.width = 2,
      .height = 2,
      .bpp = 32,
      .rows = {{0, 0, 0xFF, 0x80, 0xFF, 0, 0, 0}, {0x56, 0x34, 0x12, 0xFF, 0, 0xFF, 0, 0x01}}},
     {0xFF123456, 0x0100FF00, 0x80FF0000, 0x000000FF}},
    {"32 bpp with unused alpha bytes is opaque",
     {.width = 2, .height = 1, .bpp = 32, .rows = {{0, 0, 0xFF, 0, 0xFF, 0, 0, 0}}},
     {kRed, kBlue}},
    {"32 bpp bitfields after the header, red in the low byte",
     {.width = 2,
      .height = 1,
      .bpp = 32,
      .rows = {{0xFF, 0, 0, 0, 0x12, 0x34, 0x56, 0}},
      .compression = 3,
      .masks = {0x0000FF, 0x00FF00, 0xFF0000}},
     {kRed, 0xFF123456}},
    {"32 bpp bitfields in a V5 header with alpha",
     {.width = 2,
      .height = 1,
      .bpp = 32,
      .rows = {{0, 0, 0xFF, 0x80, 0x56, 0x34, 0x12, 0xFF}},
      .compression = 3,
      .header_size = 124,
      .masks = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000}},
     {0x80FF0000, 0xFF123456}},
    {"32 bpp with 4-bit channels scaled to 8 bits",
     {.width = 1,
      .height = 1,
      .bpp = 32,
      .rows = {{0x08, 0xF0, 0, 0}},
      .compression = 3,
      .masks = {0x0000F000, 0x00000F00, 0x0000000F}},
     {0xFFFF0088}},
};

TEST(Bitmap, ReadsEachDepthBottomUpAndTopDown)
{
    for (const auto& c : kReadCases) {
        SCOPED_TRACE(c.name);
        Bitmap bottom_up;
        ASSERT_EQ(Bitmap::ReadBmp(BuildBmp(c.layout), bottom_up), S_OK);
        EXPECT_EQ(bottom_up.width(), c.layout.width);
        EXPECT_EQ(bottom_up.height(), c.layout.height);
        EXPECT_EQ(Pixels(bottom_up), c.expected);

        BmpLayout flipped = c.layout;
        flipped.height = -flipped.height;
        std::reverse(flipped.rows.begin(), flipped.rows.end());
        Bitmap top_down;
        ASSERT_EQ(Bitmap::ReadBmp(BuildBmp(flipped), top_down), S_OK);
        EXPECT_EQ(top_down, bottom_up);

        const auto file = BuildBmp(c.layout);
        Bitmap from_dib;
        ASSERT_EQ(Bitmap::ReadDib(std::span(file).subspan(14), from_dib), S_OK);
        EXPECT_EQ(from_dib, bottom_up);
    }
}

TEST(Bitmap, EveryTruncationOfAValidFileFails)
{
    for (const auto& c : kReadCases) {
        SCOPED_TRACE(c.name);
        const auto file = BuildBmp(c.layout);
        for (std::size_t size = 0; size < file.size(); ++size) {
            Bitmap bitmap(1, 1, kRed);
            EXPECT_EQ(Bitmap::ReadBmp(std::span(file).first(size), bitmap), kInvalidData)
                << "size " << size;
            EXPECT_EQ(bitmap, Bitmap(1, 1, kRed));
        }
    }
}

// A drawing with colour, alpha and black pixels, so that every byte of a row matters.
Bitmap Pattern(int width, int height)
{
    Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto seed = static_cast<std::uint32_t>(x * 7 + y * 13);
            bitmap.SetPixel(x, y,
                            seed % 5 == 0 ? (seed % 2 ? 0x00000000 : kBlack)
                                          : seed * 0x01030507u + 0x10204080u);
        }
    }
    return bitmap;
}

const int kSides[] = {1, 2, 3, 7, 8, 9, 31, 32, 33};

TEST(Bitmap, ArgbWritersRoundTripThroughTheReaders)
{
    for (int width : kSides) {
        for (int height : {1, 2, 5}) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
            const Bitmap original = Pattern(width, height);

            const auto file = original.ToBmpFile();
            EXPECT_EQ(file.size(), 54u + 4u * static_cast<std::size_t>(width * height));
            Bitmap from_file;
            ASSERT_EQ(Bitmap::ReadBmp(file, from_file), S_OK);
            EXPECT_EQ(from_file, original);

            const auto dib = original.ToDib();
            EXPECT_TRUE(std::equal(dib.begin(), dib.end(), file.begin() + 14, file.end()));
            Bitmap from_dib;
            ASSERT_EQ(Bitmap::ReadDib(dib, from_dib), S_OK);
            EXPECT_EQ(from_dib, original);
        }
    }
}

TEST(Bitmap, MonochromeWritersRoundTripWithPaddedRows)
{
    for (int width : kSides) {
        for (int height : {1, 3}) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
            const Bitmap original = Pattern(width, height);
            Bitmap expected(width, height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    expected.SetPixel(x, y, (original.Pixel(x, y) & 0xFFFFFF) ? kWhite : kBlack);

            const auto file = original.ToMonochromeBmpFile();
            const std::size_t stride = static_cast<std::size_t>((width + 31) / 32 * 4);
            EXPECT_EQ(file.size(), 62u + stride * static_cast<std::size_t>(height));
            Bitmap from_file;
            ASSERT_EQ(Bitmap::ReadBmp(file, from_file), S_OK);
            EXPECT_EQ(from_file, expected);

            Bitmap from_dib;
            ASSERT_EQ(Bitmap::ReadDib(original.ToMonochromeDib(), from_dib), S_OK);
            EXPECT_EQ(from_dib, expected);
        }
    }
}

TEST(Bitmap, MonochromeFileHasBlackWhitePaletteAndBottomRowFirst)
{
    Bitmap display(10, 2, kBlack);
    display.SetPixel(0, 0, kRed);   // top row: first pixel on
    display.SetPixel(9, 1, kGreen); // bottom row: last pixel on
    const auto file = display.ToMonochromeBmpFile();
    const std::vector<std::uint8_t> expected_tail = {
        0,    0,    0, 0, 0xFF, 0xFF, 0xFF, 0, // palette: black, white
        0x00, 0x40, 0, 0,                      // bottom row, padded to 4 bytes
        0x80, 0x00, 0, 0};                     // top row
    ASSERT_EQ(file.size(), 54u + expected_tail.size());
    EXPECT_EQ(file[28], 1);  // bits per pixel
    EXPECT_EQ(file[46], 2);  // colours used
    EXPECT_EQ(file[10], 62); // pixels start after the palette
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 54, file.end()), expected_tail);
}

struct MalformedCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    bool file_header_only = false; // a packed DIB has no file header to damage
};

TEST(Bitmap, MalformedFilesFailCleanly)
{
    const BmpLayout palette8 = kReadCases[2].layout;
    const BmpLayout bitfields32{.width = 1,
                                .height = 1,
                                .bpp = 32,
                                .rows = {{0, 0, 0xFF, 0}},
                                .compression = 3,
                                .masks = {0xFF0000, 0xFF00, 0xFF}};
    const auto put32 = [](std::size_t at, std::uint32_t value) {
        return [=](std::vector<std::uint8_t>& file) { Put32(file, at, value); };
    };
    const auto put16 = [](std::size_t at, std::uint16_t value) {
        return [=](std::vector<std::uint8_t>& file) { Put16(file, at, value); };
    };
    const MalformedCase palette_cases[] = {
        {"wrong magic", [](auto& file) { file[1] = 'A'; }, true},
        {"core header of 12 bytes", put32(14, 12)},
        {"unknown header size", put32(14, 41)},
        {"header larger than the file", put32(14, 124)},
        {"header size overflows", put32(14, 0xFFFFFFF0)},
        {"zero width", put32(18, 0)},
        {"negative width", put32(18, static_cast<std::uint32_t>(-3))},
        {"width over the cap", put32(18, 16385)},
        {"zero height", put32(22, 0)},
        {"most negative height", put32(22, 0x80000000)},
        {"top-down height over the cap", put32(22, static_cast<std::uint32_t>(-16385))},
        {"largest size without the pixels",
         [&](auto& file) {
             Put32(file, 18, 16384);
             Put32(file, 22, 16384);
         }},
        {"two planes", put16(26, 2)},
        {"16 bpp", put16(28, 16)},
        {"0 bpp", put16(28, 0)},
        {"7 bpp", put16(28, 7)},
        {"RLE8 compression", put32(30, 1)},
        {"bitfields at 8 bpp", put32(30, 3)},
        {"more colours than 8 bpp holds", put32(46, 257)},
        {"colour table past the end", put32(46, 200)},
        {"palette index out of range", [](auto& file) { file[file.size() - 4] = 4; }},
        {"pixel offset past the end", put32(10, 1000), true},
        {"pixel offset at 4 GiB", put32(10, 0xFFFFFFFF), true},
        {"pixel offset inside the header", put32(10, 20), true},
        {"pixel offset inside the palette", put32(10, 58), true},
        {"last pixel row cut short", [](auto& file) { file.pop_back(); }},
    };
    const MalformedCase bitfield_cases[] = {
        {"mask with a gap", put32(54, 0x00FF00F0)},
        {"masks past the end", [](auto& file) { file.resize(60); }},
        {"bitfields at 24 bpp", put16(28, 24)},
    };
    const std::pair<BmpLayout, std::span<const MalformedCase>> groups[] = {
        {palette8, palette_cases}, {bitfields32, bitfield_cases}};
    for (const auto& [layout, cases] : groups) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            auto file = BuildBmp(layout);
            Bitmap probe;
            ASSERT_EQ(Bitmap::ReadBmp(file, probe), S_OK) << "the undamaged file must read";
            c.damage(file);
            Bitmap bitmap(1, 1, kRed);
            EXPECT_EQ(Bitmap::ReadBmp(file, bitmap), kInvalidData);
            EXPECT_EQ(bitmap, Bitmap(1, 1, kRed));
            if (!c.file_header_only) {
                EXPECT_EQ(Bitmap::ReadDib(std::span(file).subspan(14), bitmap), kInvalidData);
                EXPECT_EQ(bitmap, Bitmap(1, 1, kRed));
            }
        }
    }
}

TEST(Bitmap, PixelAccessClipsAtTheEdges)
{
    Bitmap bitmap(3, 2, kBlue);
    bitmap.SetPixel(2, 1, kRed);
    bitmap.SetPixel(3, 0, kRed);
    bitmap.SetPixel(-1, 0, kRed);
    bitmap.SetPixel(0, 2, kRed);
    EXPECT_EQ(Pixels(bitmap),
              (std::vector<std::uint32_t>{kBlue, kBlue, kBlue, kBlue, kBlue, kRed}));
    EXPECT_EQ(bitmap.Pixel(3, 0), 0u);
    EXPECT_EQ(bitmap.Pixel(0, -1), 0u);
    bitmap.Fill(kGreen);
    EXPECT_EQ(Pixels(bitmap), std::vector<std::uint32_t>(6, kGreen));
    EXPECT_TRUE(Bitmap(-4, 5).empty());
    EXPECT_EQ(Bitmap(0, 5).height(), 0);
}

class BitmapFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = ::testing::TempDir() + "bitmap_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            names.push_back(entry.path().filename());
        return names;
    }

    std::filesystem::path dir_;
};

TEST_F(BitmapFile, SaveReplacesTheFileWholeAndLoadReadsItBack)
{
    const auto path = dir_ / "capture.bmp";
    ASSERT_EQ(Pattern(5, 3).SaveBmpFile(path), S_OK);
    const Bitmap second = Pattern(9, 4);
    ASSERT_EQ(second.SaveBmpFile(path), S_OK);

    Bitmap loaded;
    ASSERT_EQ(Bitmap::LoadBmpFile(path, loaded), S_OK);
    EXPECT_EQ(loaded, second);
    EXPECT_EQ(Names(), std::vector<std::string>{"capture.bmp"});
    struct stat status;
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST_F(BitmapFile, SavesMonochromeCapture)
{
    Bitmap display(20, 4, kBlack);
    display.SetPixel(3, 2, kGreen);
    ASSERT_EQ(display.SaveBmpFile(dir_ / "display.bmp", BmpDepth::Monochrome), S_OK);
    EXPECT_EQ(std::filesystem::file_size(dir_ / "display.bmp"), 62u + 4 * 4);
    Bitmap loaded;
    ASSERT_EQ(Bitmap::LoadBmpFile(dir_ / "display.bmp", loaded), S_OK);
    display.SetPixel(3, 2, kWhite);
    EXPECT_EQ(loaded, display);
}

TEST_F(BitmapFile, FailuresReportTheCauseAndLeaveNothingBehind)
{
    EXPECT_EQ(Bitmap(2, 2).SaveBmpFile(dir_ / "missing" / "a.bmp"),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Bitmap().SaveBmpFile(dir_ / "empty.bmp"), E_INVALIDARG);
    EXPECT_TRUE(Names().empty());

    Bitmap bitmap(1, 1, kRed);
    EXPECT_EQ(Bitmap::LoadBmpFile(dir_ / "none.bmp", bitmap),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Bitmap::LoadBmpFile(dir_, bitmap), kInvalidData);
    std::ofstream(dir_ / "text.bmp") << "BM not a picture";
    EXPECT_EQ(Bitmap::LoadBmpFile(dir_ / "text.bmp", bitmap), kInvalidData);
    // A FIFO nobody writes to fails at once instead of blocking the reader.
    ASSERT_EQ(mkfifo((dir_ / "fifo.bmp").c_str(), 0600), 0);
    EXPECT_EQ(Bitmap::LoadBmpFile(dir_ / "fifo.bmp", bitmap), kInvalidData);
    EXPECT_EQ(bitmap, Bitmap(1, 1, kRed));
}

} // namespace
} // namespace velk
