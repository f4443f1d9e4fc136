// Draws a display picture as text for a terminal: quadrant block characters, two by two
// pixels a character (four by two when the terminal is too narrow), inside a frame.
#pragma once

#include <string>

#include "tools/sim/frame_buffer.h"

namespace velk::sim {

class TerminalView {
public:
    // columns: the terminal's width; the picture is narrowed to fit it.
    static std::string Render(const FrameBuffer& frame, int columns);
};

} // namespace velk::sim
