// The player's answer to "GetDisplayData", decoded into the lit pixels of its monochrome
// display. The answer comes from the network: its byte count is not trusted, and an answer that
// cannot be read leaves the pixels as they were. Pure functions, for any thread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace velk {

// The lit state of each pixel of a display, row by row from the top, one byte a pixel (0 dark,
// 1 lit).
struct DisplayPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> lit;

    DisplayPixels() = default;
    DisplayPixels(int w, int h);
    bool Lit(int x, int y) const { return lit[static_cast<std::size_t>(y) * width + x] != 0; }
    bool operator==(const DisplayPixels&) const = default;
};

// Decodes text ("... bytes: N\r\n" and N bytes as hex pairs) into pixels: column by column from
// the left, each column height / 8 bytes, the first byte holding the top eight pixels, most
// significant bit topmost. Only whole columns are decoded, as many as the announced count, the
// hex pairs present and the display's width all allow; the columns beyond keep their pixels.
// False, with pixels unchanged, when nothing could be decoded: no count, a count of 0, no line
// break after it, no hex pair, or a display less than 8 pixels high.
bool DecodeDisplayData(std::string_view text, DisplayPixels& pixels);

} // namespace velk
