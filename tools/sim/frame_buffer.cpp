#include "tools/sim/frame_buffer.h"

#include <algorithm>
#include <cstdlib>

#include "platform/hex.h"

namespace velk::sim {
namespace {

int Clamp(int value)
{
    return std::clamp(value, -FrameBuffer::kCoordinateLimit, FrameBuffer::kCoordinateLimit);
}

} // namespace

FrameBuffer::FrameBuffer(int width, int height)
    : width_(std::clamp(width, 0, kCoordinateLimit)),
      height_(std::clamp(height, 0, kCoordinateLimit)),
      pixels_(static_cast<std::size_t>(width_) * height_, 0)
{
}

bool FrameBuffer::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return false;
    return pixels_[static_cast<std::size_t>(y) * width_ + x] != 0;
}

void FrameBuffer::SetPixel(int x, int y, bool lit)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    pixels_[static_cast<std::size_t>(y) * width_ + x] = lit ? 1 : 0;
}

void FrameBuffer::Fill(bool lit)
{
    std::fill(pixels_.begin(), pixels_.end(), lit ? 1 : 0);
}

void FrameBuffer::FillRect(int x1, int y1, int x2, int y2, bool lit)
{
    const int left = std::max(std::min(x1, x2), 0);
    const int right = std::min(std::max(x1, x2), width_ - 1);
    const int top = std::max(std::min(y1, y2), 0);
    const int bottom = std::min(std::max(y1, y2), height_ - 1);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            pixels_[static_cast<std::size_t>(y) * width_ + x] = lit ? 1 : 0;
}

void FrameBuffer::FrameRect(int x1, int y1, int x2, int y2, bool lit)
{
    Line(x1, y1, x2, y1, lit);
    Line(x1, y2, x2, y2, lit);
    Line(x1, y1, x1, y2, lit);
    Line(x2, y1, x2, y2, lit);
}

void FrameBuffer::Line(int x1, int y1, int x2, int y2, bool lit)
{
    x1 = Clamp(x1);
    y1 = Clamp(y1);
    x2 = Clamp(x2);
    y2 = Clamp(y2);
    const int dx = std::abs(x2 - x1);
    const int dy = -std::abs(y2 - y1);
    const int step_x = x1 < x2 ? 1 : -1;
    const int step_y = y1 < y2 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        SetPixel(x1, y1, lit);
        if (x1 == x2 && y1 == y2)
            break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x1 += step_x;
        }
        if (twice <= dx) {
            error += dx;
            y1 += step_y;
        }
    }
}

void FrameBuffer::Blit(int sx, int sy, int width, int height, int dx, int dy)
{
    width = std::clamp(width, 0, width_);
    height = std::clamp(height, 0, height_);
    sx = Clamp(sx);
    sy = Clamp(sy);
    dx = Clamp(dx);
    dy = Clamp(dy);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            block[static_cast<std::size_t>(y) * width + x] = Pixel(sx + x, sy + y) ? 1 : 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(dx + x, dy + y, block[static_cast<std::size_t>(y) * width + x] != 0);
}

void FrameBuffer::Slide(int dx, int dy)
{
    FrameBuffer moved(width_, height_);
    dx = Clamp(dx);
    dy = Clamp(dy);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            moved.SetPixel(x + dx, y + dy, Pixel(x, y));
    pixels_.swap(moved.pixels_);
}

std::vector<std::uint8_t> FrameBuffer::ColumnBytes() const
{
    const int bytes_per_column = height_ / 8;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(width_) * bytes_per_column);
    for (int x = 0; x < width_; ++x) {
        for (int row = 0; row < bytes_per_column; ++row) {
            std::uint8_t byte = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (Pixel(x, row * 8 + bit))
                    byte |= static_cast<std::uint8_t>(0x80 >> bit);
            bytes.push_back(byte);
        }
    }
    return bytes;
}

std::string FrameBuffer::ColumnHex() const
{
    const auto bytes = ColumnBytes();
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const auto byte : bytes)
        AppendHexByte(hex, byte, HexCase::Upper);
    return hex;
}

bool FrameBuffer::LoadColumnBytes(const std::vector<std::uint8_t>& bytes)
{
    const int bytes_per_column = height_ / 8;
    if (bytes.size() != static_cast<std::size_t>(width_) * bytes_per_column)
        return false;
    std::size_t index = 0;
    for (int x = 0; x < width_; ++x)
        for (int row = 0; row < bytes_per_column; ++row, ++index)
            for (int bit = 0; bit < 8; ++bit)
                SetPixel(x, row * 8 + bit, (bytes[index] & (0x80 >> bit)) != 0);
    return true;
}

Bitmap FrameBuffer::ToBitmap(std::uint32_t lit_argb, std::uint32_t dark_argb) const
{
    Bitmap bitmap(width_, height_, dark_argb);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (Pixel(x, y))
                bitmap.SetPixel(x, y, lit_argb);
    return bitmap;
}

} // namespace velk::sim
