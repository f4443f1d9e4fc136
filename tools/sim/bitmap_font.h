// The player's bitmap fonts: one hand-drawn 5 x 7 glyph set (ours, public domain) and the
// sizes generated from it by pixel-art scaling (Scale2x), plain and bold. Immutable; the font
// table is built once and shared by every player.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/frame_buffer.h"

namespace velk::sim {

class BitmapFont {
public:
    // The fonts in the order "sketch -c font list" lists them.
    static const std::vector<BitmapFont>& All();
    // nullptr when no font has the number.
    static const BitmapFont* ByNumber(int number);

    int number() const { return number_; }
    // The font's name: its family without blanks followed by its pixel height ("SystemFont16").
    const std::string& name() const { return name_; }
    int height() const { return height_; }
    int advance() const { return advance_; }

    int TextWidth(std::string_view text) const;
    // Draws the lit pixels of each glyph, top-left corner of the first at (x, y); the dark
    // pixels of a glyph leave the display as it was. Bytes outside printable ASCII and the degree sign (0xB0) draw as '?'.
    void DrawText(FrameBuffer& frame, int x, int y, std::string_view text, bool lit) const;

private:
    struct Glyph {
        int width = 0;
        int height = 0;
        std::vector<bool> pixels;
        bool Pixel(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    };

    BitmapFont(int number, std::string family, int scale_steps, bool bold);
    const Glyph& GlyphFor(unsigned char c) const;

    int number_;
    std::string name_;
    int height_;
    int advance_;
    std::vector<Glyph> glyphs_; // printable ASCII from ' ' to '~', then the extra glyphs
};

} // namespace velk::sim
