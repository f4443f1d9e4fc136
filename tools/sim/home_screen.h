// The player's own screen, painted whenever no sketch owns the display: the clock in standby
// (or nothing, when the standby mode is "screenOff"), the playing song with its elapsed time,
// the idle screen with the music server, a short message after a remote key, and the attract
// loop. Stateless; the Player fills in what to show.
#pragma once

#include <string>

#include "tools/sim/frame_buffer.h"

namespace velk::sim {

struct HomeScreenState {
    bool standby = false;
    bool screen_off = false; // standby mode "screenOff"
    std::string clock;       // "HH:MM"
    std::string transport;   // "Play", "Pause", "Stop"
    std::string title;       // empty: nothing queued
    std::string artist;
    std::string elapsed; // "m:ss"
    std::string server;  // empty: no music server
    std::string message; // non-empty: shown instead of the rest
    bool attract = false;
    std::string attract_text;
    int attract_offset = 0; // pixels the attract text has moved
};

class HomeScreen {
public:
    static void Render(const HomeScreenState& state, FrameBuffer& frame);
};

} // namespace velk::sim
