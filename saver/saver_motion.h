// Where the screen saver shows the picture and how it fades: the picture's size and the room
// left to move it in a window, a random place in that room, and the tick count that fades the
// picture out from the 1600th tick (8 s at one tick each 5 ms) and then moves it. Pure values.
#pragma once

#include <cstdint>

#include <QPoint>
#include <QSize>

namespace velk {

// The picture as the saver draws it in a window, and the room left beside and below it.
struct SaverLayout {
    QSize picture;
    QSize room;
};

// The picture at its own size, made smaller (keeping its shape) so that it takes at most half
// the window's height and all its width: room is never negative, and a picture as tall as the
// window still has room to move. An empty window or picture gives empty sizes.
SaverLayout FitPicture(QSize picture, QSize window);

// The largest random number the placement takes (the range of the system's rand()).
constexpr std::uint32_t kSaverRandomMax = 32767;

// x = room width x r1 / 32767, y = room height x r2 / 32767; r1, r2 within 0..32767.
QPoint PlaceInRoom(QSize room, std::uint32_t r1, std::uint32_t r2);

class CSaverMotion {
public:
    static constexpr int kTickMs = 5;
    // The first tick that lowers the opacity: the first whose time is above 7999 ms.
    static constexpr int kFadeFromTick = 8000 / kTickMs;
    static constexpr int kOpaque = 255;

    // Counts one tick; true when the picture is to move now (it is opaque again).
    bool Tick();
    int opacity() const { return opacity_; }
    int ticks() const { return ticks_; }

private:
    int ticks_ = 0;
    int opacity_ = kOpaque;
};

} // namespace velk
