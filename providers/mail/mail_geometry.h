// How the mail view lays out a player's display: the line height of the player's font, the
// lines that fit on its screen and the characters that fit on a line, and the font to ask the
// player for. Never zero: a font the table does not know takes the height of the nearest one
// it knows, a display type it does not know a default width, and a screen lower than a line
// still shows one. Pure; any thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace velk {

struct MailGeometry {
    std::uint16_t font = 2;        // to send with SketchFont
    int line_height = 16;          // pixels
    int lines_per_screen = 1;      // at least 1
    int wrap_width = 28;           // characters, at least 1
};

int LineHeightForFont(int font_size);
// The font to ask for: sizes the players do not list in their fonts (10, 11, 12, 14) are
// drawn with the listed font of their height.
std::uint16_t FontToAsk(int font_size);
int WrapWidthFor(std::string_view device_type);
MailGeometry GeometryFor(int font_size, int screen_height, std::string_view device_type);

} // namespace velk
