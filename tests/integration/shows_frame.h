// Test support: a captured picture against the simulated display it should show.
#pragma once

#include <cstdint>

#include "platform/bitmap.h"
#include "tools/sim/frame_buffer.h"

namespace velk::testing {

// The picture's lit pixels (any colour but the dark one) are exactly the display's.
inline bool ShowsFrame(const Bitmap& picture, const sim::FrameBuffer& frame,
                       std::uint32_t dark_argb = 0xFF000000)
{
    if (picture.width() != frame.width() || picture.height() != frame.height())
        return false;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            if ((picture.Pixel(x, y) != dark_argb) != frame.Pixel(x, y))
                return false;
        }
    }
    return true;
}

} // namespace velk::testing
