#include "tools/sim/terminal_view.h"

#include <array>

namespace velk::sim {
namespace {

// Indexed by the lit quadrants: 1 top left, 2 top right, 4 bottom left, 8 bottom right.
constexpr std::array<const char*, 16> kQuadrants = {" ", "▘", "▝", "▀", "▖", "▌", "▞", "▛",
                                                    "▗", "▚", "▐", "▜", "▄", "▙", "▟", "█"};

std::string Repeat(const char* piece, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

} // namespace

std::string TerminalView::Render(const FrameBuffer& frame, int columns)
{
    // Each character covers `step` pixels across: 2, or 4 when that is too wide.
    const int step = frame.width() / 2 + 2 <= columns ? 2 : 4;
    const int half = step / 2;
    const int width = (frame.width() + step - 1) / step;
    const auto lit = [&frame, half](int x, int y) {
        for (int i = 0; i < half; ++i)
            if (frame.Pixel(x + i, y))
                return true;
        return false;
    };
    std::string text = "┌" + Repeat("─", width) + "┐\n";
    for (int y = 0; y < frame.height(); y += 2) {
        text += "│";
        for (int x = 0; x < frame.width(); x += step) {
            const int index = (lit(x, y) ? 1 : 0) | (lit(x + half, y) ? 2 : 0) |
                              (lit(x, y + 1) ? 4 : 0) | (lit(x + half, y + 1) ? 8 : 0);
            text += kQuadrants[index];
        }
        text += "│\n";
    }
    text += "└" + Repeat("─", width) + "┘\n";
    return text;
}

} // namespace velk::sim
