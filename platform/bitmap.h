// A 32-bpp picture in memory (0xAARRGGBB, top row first) with the BMP and packed-DIB forms the
// system reads and writes: pictures for the player's screens, clipboard DIBs, and 1-bpp captures
// of the player's monochrome display. A value type without threads of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "platform/hresult.h"

namespace velk {

// How SaveBmpFile writes the pixels.
enum class BmpDepth { Argb32, Monochrome };

class Bitmap {
public:
    // Neither side of a picture read from outside may exceed this.
    static constexpr int kMaxSide = 16384;

    Bitmap() = default;
    // A picture of the size (negative sides count as 0) filled with one colour.
    Bitmap(int width, int height, std::uint32_t argb = 0xFF000000);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return pixels_.empty(); }
    std::span<const std::uint32_t> pixels() const { return pixels_; }

    // Outside the picture Pixel gives 0 and SetPixel does nothing, so that drawing may clip.
    std::uint32_t Pixel(int x, int y) const;
    void SetPixel(int x, int y, std::uint32_t argb);
    void Fill(std::uint32_t argb);

    bool operator==(const Bitmap&) const = default;

    // Reads a BMP file (1, 4, 8 bpp with palette, 24 and 32 bpp; BI_RGB, and BI_BITFIELDS at 32
    // bpp; 40-byte to V5 info headers; bottom-up or top-down). A 32-bpp picture whose alpha bytes
    // are all zero is taken as opaque: most writers leave that byte unused. Anything malformed
    // gives HRESULT_FROM_WIN32(ERROR_INVALID_DATA) and leaves bitmap as it was.
    static HRESULT ReadBmp(std::span<const std::uint8_t> bytes, Bitmap& bitmap);
    // The same for a packed DIB (info header, masks, palette, pixels), as on the clipboard.
    static HRESULT ReadDib(std::span<const std::uint8_t> bytes, Bitmap& bitmap);
    static HRESULT LoadBmpFile(const std::filesystem::path& path, Bitmap& bitmap);

    // 32 bpp BI_RGB, bottom-up, alpha in the fourth byte.
    std::vector<std::uint8_t> ToDib() const;
    std::vector<std::uint8_t> ToBmpFile() const;
    // 1 bpp with the palette (black, white); a pixel is white when its colour is not black.
    std::vector<std::uint8_t> ToMonochromeDib() const;
    std::vector<std::uint8_t> ToMonochromeBmpFile() const;
    // Writes a temporary file beside path and renames it over path, so that readers see the old
    // picture or the new one, never a part. E_INVALIDARG for an empty bitmap.
    HRESULT SaveBmpFile(const std::filesystem::path& path, BmpDepth depth = BmpDepth::Argb32) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

} // namespace velk
