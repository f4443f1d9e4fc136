#include "tools/sim/bitmap_font.h"

#include <array>

namespace velk::sim {
namespace {

constexpr int kBaseWidth = 5;
constexpr int kBaseHeight = 7;
constexpr char kFirstChar = ' ';
constexpr char kLastChar = '~';

// One row string a pixel row, '#' lit; glyphs in ASCII order from the blank.
using GlyphRows = std::array<const char*, kBaseHeight>;
constexpr GlyphRows kGlyphRows[] = {
    {".....", ".....", ".....", ".....", ".....", ".....", "....."}, // ' '
    {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}, // !
    {".#.#.", ".#.#.", ".#.#.", ".....", ".....", ".....", "....."}, // "
    {".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."}, // #
    {"..#..", ".####", "#.#..", ".###.", "..#.#", "####.", "..#.."}, // $
    {"##...", "##..#", "...#.", "..#..", ".#...", "#..##", "...##"}, // %
    {".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#"}, // &
    {"..#..", "..#..", ".#...", ".....", ".....", ".....", "....."}, // '
    {"...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."}, // (
    {".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."}, // )
    {".....", "..#..", "#.#.#", ".###.", "#.#.#", "..#..", "....."}, // *
    {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}, // +
    {".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."}, // ,
    {".....", ".....", ".....", "#####", ".....", ".....", "....."}, // -
    {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}, // .
    {".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}, // /
    {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}, // 0
    {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}, // 1
    {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}, // 2
    {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}, // 3
    {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}, // 4
    {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}, // 5
    {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}, // 6
    {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}, // 7
    {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}, // 8
    {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}, // 9
    {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}, // :
    {".....", ".##..", ".##..", ".....", ".##..", "..#..", ".#..."}, // ;
    {"...#.", "..#..", ".#...", "#....", ".#...", "..#..", "...#."}, // <
    {".....", ".....", "#####", ".....", "#####", ".....", "....."}, // =
    {".#...", "..#..", "...#.", "....#", "...#.", "..#..", ".#..."}, // >
    {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}, // ?
    {".###.", "#...#", "....#", ".##.#", "#.#.#", "#.#.#", ".###."}, // @
    {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}, // A
    {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}, // B
    {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}, // C
    {"###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."}, // D
    {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}, // E
    {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}, // F
    {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}, // G
    {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}, // H
    {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}, // I
    {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}, // J
    {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}, // K
    {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}, // L
    {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}, // M
    {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}, // N
    {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}, // O
    {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}, // P
    {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}, // Q
    {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}, // R
    {".####", "#....", "#....", ".###.", "....#", "....#", "####."}, // S
    {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}, // T
    {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}, // U
    {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}, // V
    {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}, // W
    {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}, // X
    {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}, // Y
    {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}, // Z
    {".###.", ".#...", ".#...", ".#...", ".#...", ".#...", ".###."}, // [
    {".....", "#....", ".#...", "..#..", "...#.", "....#", "....."}, // backslash
    {".###.", "...#.", "...#.", "...#.", "...#.", "...#.", ".###."}, // ]
    {"..#..", ".#.#.", "#...#", ".....", ".....", ".....", "....."}, // ^
    {".....", ".....", ".....", ".....", ".....", ".....", "#####"}, // _
    {".#...", "..#..", "...#.", ".....", ".....", ".....", "....."}, // `
    {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}, // a
    {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "####."}, // b
    {".....", ".....", ".###.", "#....", "#....", "#...#", ".###."}, // c
    {"....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"}, // d
    {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}, // e
    {"..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#..."}, // f
    {".....", ".####", "#...#", "#...#", ".####", "....#", ".###."}, // g
    {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#"}, // h
    {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."}, // i
    {"...#.", ".....", "..##.", "...#.", "...#.", "#..#.", ".##.."}, // j
    {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."}, // k
    {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}, // l
    {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#...#", "#...#"}, // m
    {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"}, // n
    {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}, // o
    {".....", ".....", "####.", "#...#", "####.", "#....", "#...."}, // p
    {".....", ".....", ".##.#", "#..##", ".####", "....#", "....#"}, // q
    {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}, // r
    {".....", ".....", ".###.", "#....", ".###.", "....#", "####."}, // s
    {".#...", ".#...", "###..", ".#...", ".#...", ".#..#", "..##."}, // t
    {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"}, // u
    {".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."}, // v
    {".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."}, // w
    {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}, // x
    {".....", ".....", "#...#", "#...#", ".####", "....#", ".###."}, // y
    {".....", ".....", "#####", "...#.", "..#..", ".#...", "#####"}, // z
    {"...#.", "..#..", "..#..", ".#...", "..#..", "..#..", "...#."}, // {
    {"..#..", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}, // |
    {".#...", "..#..", "..#..", "...#.", "..#..", "..#..", ".#..."}, // }
    {".....", ".....", ".#...", "#.#.#", "...#.", ".....", "....."}, // ~
};

// Characters of the player's code page beyond ASCII that its screens use, after '~'.
struct ExtraGlyph {
    unsigned char code;
    GlyphRows rows;
};
constexpr ExtraGlyph kExtraGlyphs[] = {
    {0xB0, {".##..", "#..#.", "#..#.", ".##..", ".....", ".....", "....."}}, // degree sign
};
static_assert(std::size(kGlyphRows) == kLastChar - kFirstChar + 1);

// A plain picture to scale; pixels outside read as dark.
struct Picture {
    int width;
    int height;
    std::vector<bool> pixels;
    bool At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return false;
        return pixels[static_cast<std::size_t>(y) * width + x];
    }
};

// Scale2x: doubles a picture, rounding diagonal steps instead of making blocks of them.
Picture Scale2x(const Picture& in)
{
    Picture out{in.width * 2, in.height * 2, std::vector<bool>(in.pixels.size() * 4)};
    auto set = [&out](int x, int y, bool lit) {
        out.pixels[static_cast<std::size_t>(y) * out.width + x] = lit;
    };
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            const bool p = in.At(x, y);
            const bool a = in.At(x, y - 1);
            const bool b = in.At(x + 1, y);
            const bool c = in.At(x - 1, y);
            const bool d = in.At(x, y + 1);
            set(2 * x, 2 * y, (c == a && c != d && a != b) ? a : p);
            set(2 * x + 1, 2 * y, (a == b && a != c && b != d) ? b : p);
            set(2 * x, 2 * y + 1, (d == c && d != b && c != a) ? c : p);
            set(2 * x + 1, 2 * y + 1, (b == d && b != a && d != c) ? d : p);
        }
    }
    return out;
}

Picture BaseGlyph(const GlyphRows& rows, bool bold)
{
    const int width = kBaseWidth + (bold ? 1 : 0);
    Picture picture{width, kBaseHeight,
                    std::vector<bool>(static_cast<std::size_t>(width) * kBaseHeight)};
    for (int y = 0; y < kBaseHeight; ++y) {
        for (int x = 0; x < kBaseWidth; ++x) {
            if (rows[y][x] != '#')
                continue;
            picture.pixels[static_cast<std::size_t>(y) * width + x] = true;
            if (bold)
                picture.pixels[static_cast<std::size_t>(y) * width + x + 1] = true;
        }
    }
    return picture;
}

} // namespace

BitmapFont::BitmapFont(int number, std::string family, int scale_steps, bool bold) : number_(number)
{
    const int scale = 1 << scale_steps;
    // The base cell is one column and one row larger than the glyph: the spacing.
    height_ = (kBaseHeight + 1) * scale;
    advance_ = (kBaseWidth + (bold ? 2 : 1)) * scale;
    name_ = family + std::to_string(height_);
    auto add = [&](const GlyphRows& rows) {
        Picture picture = BaseGlyph(rows, bold);
        for (int step = 0; step < scale_steps; ++step)
            picture = Scale2x(picture);
        glyphs_.push_back(Glyph{picture.width, picture.height, std::move(picture.pixels)});
    };
    for (const auto& rows : kGlyphRows)
        add(rows);
    for (const auto& extra : kExtraGlyphs)
        add(extra.rows);
}

const std::vector<BitmapFont>& BitmapFont::All()
{
    static const std::vector<BitmapFont> fonts = {
        BitmapFont(1, "SystemFont", 0, false), BitmapFont(2, "SystemFont", 1, false),
        BitmapFont(3, "SystemFont", 2, false), BitmapFont(6, "BoldFont", 0, true),
        BitmapFont(7, "BoldFont", 1, true),    BitmapFont(8, "BoldFont", 2, true),
    };
    return fonts;
}

const BitmapFont* BitmapFont::ByNumber(int number)
{
    for (const auto& font : All())
        if (font.number() == number)
            return &font;
    return nullptr;
}

const BitmapFont::Glyph& BitmapFont::GlyphFor(unsigned char c) const
{
    constexpr std::size_t kAsciiGlyphs = std::size(kGlyphRows);
    for (std::size_t i = 0; i < std::size(kExtraGlyphs); ++i) {
        if (kExtraGlyphs[i].code == c)
            return glyphs_[kAsciiGlyphs + i];
    }
    if (c < static_cast<unsigned char>(kFirstChar) || c > static_cast<unsigned char>(kLastChar))
        c = '?';
    return glyphs_[c - kFirstChar];
}

int BitmapFont::TextWidth(std::string_view text) const
{
    return static_cast<int>(text.size()) * advance_;
}

void BitmapFont::DrawText(FrameBuffer& frame, int x, int y, std::string_view text, bool lit) const
{
    // Each character covers its whole cell, as the player's text does: text drawn again in
    // place (a clock) replaces what stood there.
    for (const char c : text) {
        if (x >= frame.width())
            break;
        const Glyph& glyph = GlyphFor(static_cast<unsigned char>(c));
        if (x + advance_ > 0) {
            for (int gy = 0; gy < height_; ++gy)
                for (int gx = 0; gx < advance_; ++gx) {
                    const bool ink = gx < glyph.width && gy < glyph.height && glyph.Pixel(gx, gy);
                    frame.SetPixel(x + gx, y + gy, ink ? lit : !lit);
                }
        }
        x += advance_;
    }
}

} // namespace velk::sim
