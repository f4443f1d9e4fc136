#include "providers/common/player_text.h"

namespace velk {

void SelectPlayerFont(IVelkDevice& player)
{
    std::int16_t font_size = 0;
    if (SUCCEEDED(player.get_FontSize(font_size)))
        player.Sketch(SketchVerbs::SketchFont, Variant(static_cast<std::uint16_t>(font_size)), {}, {},
                      {}, {}, {});
}

void WriteText(IVelkDevice& player, const std::string& text)
{
    const Variant origin(static_cast<std::uint16_t>(0));
    player.Sketch(SketchVerbs::SketchText, origin, origin, Variant(text), {}, {}, {});
}

void ScrollText(IVelkDevice& player, const std::string& text)
{
    player.Sketch(SketchVerbs::SketchMarquee, Variant(text), {}, {}, {}, {}, {});
}

} // namespace velk
