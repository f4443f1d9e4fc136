// The player's display data comes over the network: any bytes decode into no more than the
// display holds, never a crash or an endless loop, whatever size the display has. The first
// byte picks the display's height (0 to 39 pixels), the second its width (0 to 511).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "rcp/display_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int height = data[0] % 40;
    const int width = (data[1] * 2) % 512;
    velk::DisplayPixels pixels(width, height);
    const velk::DisplayPixels before = pixels;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    const bool decoded = velk::DecodeDisplayData(text, pixels);
    if (pixels.lit.size() != before.lit.size())
        std::abort();
    if (!decoded && pixels != before)
        std::abort();
    return 0;
}
