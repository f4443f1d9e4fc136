// The player's display types (the first line of its "displaytype" answer) and their sizes in
// pixels. Text displays take no pixel drawing and have no picture to capture.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/hresult.h"

namespace velk {

struct DisplaySize {
    std::string_view type;
    std::int16_t width;
    std::int16_t height;
    // E_NOTIMPL for text displays.
    HRESULT hr;
};

// The entry of the type (compared case-sensitively); nullptr for a type this system does not
// know.
const DisplaySize* FindDisplaySize(std::string_view type);

} // namespace velk
