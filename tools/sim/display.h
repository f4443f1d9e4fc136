// A player's display: the frame buffer that "GetDisplayData" and the terminal view show, the
// sketch state (font, colour, scrolling marquee) and who owns the picture: a shell connection
// drawing in sketch mode, or the player's own screen. Lives on the loop thread; owned by the
// Player, which animates the marquee and paints its own screen when no sketch is running.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/sim/frame_buffer.h"

namespace velk::sim {

struct DisplayModel {
    std::string_view type; // the "displaytype" answer
    int width;
    int height;
    std::string_view model; // the model number of players with this display
};

class Display {
public:
    static constexpr int kDefaultFont = 2;
    static constexpr int kNoOwner = -1;

    // The display types a player can have; nullopt for an unknown type.
    static std::optional<DisplayModel> FindModel(std::string_view type);
    static std::span<const DisplayModel> Models();

    explicit Display(const DisplayModel& model);

    const std::string& type() const { return type_; }
    FrameBuffer& frame() { return frame_; }
    const FrameBuffer& frame() const { return frame_; }

    // The shell connection drawing in sketch mode, or kNoOwner while the player shows its own
    // screen.
    int sketch_owner() const { return sketch_owner_; }
    bool sketching() const { return sketch_owner_ != kNoOwner; }
    // Every drawing verb comes through here: the first of a sketch session starts on a dark
    // canvas with the default font and a lit colour. Another connection takes over the canvas
    // as it stands.
    void BeginSketch(int owner);
    // Hands the display back to the player's own screen.
    void EndSketch();

    int font() const { return font_; }
    void set_font(int number) { font_ = number; }
    bool color() const { return color_; }
    void set_color(bool lit) { color_ = lit; }

    bool marquee_running() const { return marquee_running_; }
    void StartMarquee(std::string text);
    void StopMarquee() { marquee_running_ = false; }
    // Moves the marquee one pixel to the left and redraws it.
    void StepMarquee();

private:
    void DrawMarquee();

    std::string type_;
    FrameBuffer frame_;
    int sketch_owner_ = kNoOwner;
    int font_ = kDefaultFont;
    bool color_ = true;
    bool marquee_running_ = false;
    std::string marquee_text_;
    int marquee_offset_ = 0;
};

} // namespace velk::sim
