#include "tools/sim/home_screen.h"

#include "tools/sim/bitmap_font.h"

namespace velk::sim {
namespace {

// The fonts for a display height: a large one for single lines and a small one for two.
const BitmapFont& LargeFont(const FrameBuffer& frame)
{
    return *BitmapFont::ByNumber(frame.height() >= 32 ? 3 : frame.height() >= 16 ? 2 : 1);
}

const BitmapFont& LineFont(const FrameBuffer& frame)
{
    return *BitmapFont::ByNumber(frame.height() >= 32 ? 2 : 1);
}

void Centered(FrameBuffer& frame, const BitmapFont& font, int y, const std::string& text)
{
    font.DrawText(frame, (frame.width() - font.TextWidth(text)) / 2, y, text, true);
}

} // namespace

void HomeScreen::Render(const HomeScreenState& state, FrameBuffer& frame)
{
    frame.Fill(false);
    const BitmapFont& line_font = LineFont(frame);
    const int second_line = frame.height() / 2;
    if (!state.message.empty()) {
        Centered(frame, line_font, (frame.height() - line_font.height()) / 2, state.message);
        return;
    }
    if (state.attract) {
        const BitmapFont& font = LargeFont(frame);
        const int span = frame.width() + font.TextWidth(state.attract_text);
        const int offset = span > 0 ? state.attract_offset % span : 0;
        font.DrawText(frame, frame.width() - offset, (frame.height() - font.height()) / 2,
                      state.attract_text, true);
        return;
    }
    if (state.standby) {
        if (!state.screen_off) {
            const BitmapFont& font = LargeFont(frame);
            Centered(frame, font, (frame.height() - font.height()) / 2, state.clock);
        }
        return;
    }
    if (state.title.empty() || state.transport == "Stop") {
        line_font.DrawText(frame, 0, 0, state.server.empty() ? "No music server" : state.server,
                           true);
        const std::string status = state.title.empty() ? "Nothing queued" : "Stopped";
        line_font.DrawText(frame, 0, second_line, status, true);
        line_font.DrawText(frame, frame.width() - line_font.TextWidth(state.clock), second_line,
                           state.clock, true);
        return;
    }
    line_font.DrawText(frame, 0, 0, state.title, true);
    line_font.DrawText(frame, 0, second_line, state.artist, true);
    std::string status = state.elapsed;
    if (state.transport == "Pause")
        status = "|| " + status;
    // The status stands on a dark patch so that a long artist name does not run into it.
    const int status_x = frame.width() - line_font.TextWidth(status);
    frame.FillRect(status_x - line_font.advance(), second_line, frame.width() - 1,
                   frame.height() - 1, false);
    line_font.DrawText(frame, status_x, second_line, status, true);
}

} // namespace velk::sim
