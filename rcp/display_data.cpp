#include "rcp/display_data.h"

#include <algorithm>

#include "platform/hex.h"
#include "rcp/rcp_reply_values.h"

namespace velk {

namespace {

constexpr std::string_view kBytesMarker = "bytes: ";
constexpr std::string_view kLineBreak = "\r\n";
constexpr int kBitsPerByte = 8;

// How many hex pairs the data starts with.
std::size_t LeadingHexPairs(std::string_view data)
{
    std::size_t pairs = 0;
    while (2 * pairs + 1 < data.size() && HexDigit(data[2 * pairs]) >= 0 &&
           HexDigit(data[2 * pairs + 1]) >= 0)
        ++pairs;
    return pairs;
}

std::uint8_t ByteAt(std::string_view data, std::size_t index)
{
    return static_cast<std::uint8_t>(HexDigit(data[2 * index]) * 16 + HexDigit(data[2 * index + 1]));
}

} // namespace

DisplayPixels::DisplayPixels(int w, int h)
    : width(std::max(w, 0)), height(std::max(h, 0)),
      lit(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0)
{
}

bool DecodeDisplayData(std::string_view text, DisplayPixels& pixels)
{
    const int column_bytes = pixels.height / kBitsPerByte;
    if (column_bytes == 0 || pixels.width <= 0 ||
        pixels.lit.size() != static_cast<std::size_t>(pixels.width) * pixels.height)
        return false;
    const auto marker = text.find(kBytesMarker);
    if (marker == std::string_view::npos)
        return false;
    const auto announced = ParseDecimal(text.substr(marker + kBytesMarker.size()));
    if (!announced || *announced <= 0)
        return false;
    const auto line_break = text.find(kLineBreak, marker);
    if (line_break == std::string_view::npos)
        return false;
    const std::string_view data = text.substr(line_break + kLineBreak.size());

    const std::size_t fits = static_cast<std::size_t>(pixels.width) * column_bytes;
    const std::size_t usable =
        std::min({static_cast<std::size_t>(*announced), LeadingHexPairs(data), fits});
    const int columns = static_cast<int>(usable / column_bytes);
    if (columns == 0)
        return false;
    // Within a column the rows go from the bottom up: the last byte's least significant bit
    // is the bottom pixel.
    for (int x = 0; x < columns; ++x) {
        int y = pixels.height - 1;
        for (int b = column_bytes - 1; b >= 0; --b) {
            const std::uint8_t byte = ByteAt(data, static_cast<std::size_t>(x) * column_bytes + b);
            for (int bit = 0; bit < kBitsPerByte; ++bit, --y)
                pixels.lit[static_cast<std::size_t>(y) * pixels.width + x] = (byte >> bit) & 1;
        }
    }
    return true;
}

} // namespace velk
