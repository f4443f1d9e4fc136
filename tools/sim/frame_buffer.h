// The pixels of a player's monochrome display (lit or dark) and the drawing primitives the
// sketch verbs use. Every primitive clips to the display, so coordinates from a client may lie
// anywhere. A value type; owned by the player's Display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace velk::sim {

class FrameBuffer {
public:
    // Coordinates further out than this are clamped before drawing, so that a line from a
    // client never costs more than a few thousand steps.
    static constexpr int kCoordinateLimit = 8192;

    FrameBuffer(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }

    bool Pixel(int x, int y) const;
    void SetPixel(int x, int y, bool lit);
    void Fill(bool lit);
    // Both corners are inside the rectangle, in either order.
    void FillRect(int x1, int y1, int x2, int y2, bool lit);
    void FrameRect(int x1, int y1, int x2, int y2, bool lit);
    // Both end points are drawn.
    void Line(int x1, int y1, int x2, int y2, bool lit);
    // Copies the width x height block at (sx, sy) to (dx, dy); overlapping blocks copy as if
    // through a temporary; parts outside the display read as dark.
    void Blit(int sx, int sy, int width, int height, int dx, int dy);
    // Moves the whole picture by (dx, dy); what moves in is dark.
    void Slide(int dx, int dy);

    // The display's bytes: column-major from the left, height / 8 bytes a column, the first
    // byte of a column holding its top eight pixels with the most significant bit topmost.
    std::vector<std::uint8_t> ColumnBytes() const;
    // ColumnBytes as two upper-case hexadecimal digits a byte.
    std::string ColumnHex() const;
    // The reverse of ColumnBytes; false when the byte count does not fit this display.
    bool LoadColumnBytes(const std::vector<std::uint8_t>& bytes);

    Bitmap ToBitmap(std::uint32_t lit_argb, std::uint32_t dark_argb) const;

    bool operator==(const FrameBuffer&) const = default;

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
};

} // namespace velk::sim
