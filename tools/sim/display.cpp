#include "tools/sim/display.h"

#include "tools/sim/bitmap_font.h"

namespace velk::sim {
namespace {

// Character displays ("LCD", "String") have no pixel size of their own towards clients; the
// simulator still keeps a picture of their text (6 x 8 pixels a character cell).
constexpr DisplayModel kModels[] = {
    {"Large VFD", 512, 32, "KD-40"},
    {"Small VFD", 280, 16, "KD-20"},
    {"Small VFD Direct", 280, 16, "KD-21"},
    {"Small and Tall VFD Direct", 280, 32, "KD-30"},
    {"LCD", 240, 16, "KD-10"},
    {"String", 240, 8, "KD-05"},
};

} // namespace

std::optional<DisplayModel> Display::FindModel(std::string_view type)
{
    for (const auto& model : kModels)
        if (model.type == type)
            return model;
    return std::nullopt;
}

std::span<const DisplayModel> Display::Models()
{
    return kModels;
}

Display::Display(const DisplayModel& model) : type_(model.type), frame_(model.width, model.height)
{
}

void Display::BeginSketch(int owner)
{
    if (!sketching()) {
        frame_.Fill(false);
        font_ = kDefaultFont;
        color_ = true;
        marquee_running_ = false;
    }
    sketch_owner_ = owner;
}

void Display::EndSketch()
{
    sketch_owner_ = kNoOwner;
    marquee_running_ = false;
}

void Display::StartMarquee(std::string text)
{
    marquee_text_ = std::move(text);
    marquee_offset_ = 0;
    marquee_running_ = true;
    DrawMarquee();
}

void Display::StepMarquee()
{
    if (!marquee_running_)
        return;
    const BitmapFont* font = BitmapFont::ByNumber(font_);
    const int text_width = font ? font->TextWidth(marquee_text_) : 0;
    // The text enters at the right edge and leaves at the left one, then starts again.
    if (++marquee_offset_ > frame_.width() + text_width)
        marquee_offset_ = 0;
    DrawMarquee();
}

void Display::DrawMarquee()
{
    const BitmapFont* font = BitmapFont::ByNumber(font_);
    frame_.Fill(false);
    if (!font)
        return;
    const int y = (frame_.height() - font->height()) / 2;
    font->DrawText(frame_, frame_.width() - marquee_offset_, y, marquee_text_, true);
}

} // namespace velk::sim
