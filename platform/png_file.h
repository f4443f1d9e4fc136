// A picture as a PNG file in memory, for programs that show it (a browser, a desktop mirror):
// two-colour pictures, such as a player's display, as 1-bit palette images, others as 8-bit RGBA.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/bitmap.h"

namespace velk {

// Empty for an empty bitmap or when the encoder fails.
std::vector<std::uint8_t> EncodePng(const Bitmap& bitmap);

// Reads a PNG file of any kind into a picture; HRESULT_FROM_WIN32(ERROR_INVALID_DATA) for bytes
// that are no PNG file or a picture with a side beyond Bitmap::kMaxSide, bitmap unchanged.
HRESULT DecodePng(std::span<const std::uint8_t> bytes, Bitmap& bitmap);

} // namespace velk
