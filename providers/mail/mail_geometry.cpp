#include "providers/mail/mail_geometry.h"

#include <algorithm>
#include <cstdlib>

#include "platform/ascii.h"

namespace velk {

namespace {

struct FontRow {
    int font;
    int line_height;
    std::uint16_t drawn_with;
};
// The system fonts 1, 2 and 3 and their bold forms 6, 7 and 8, which the players list, and the
// sizes 10 to 14 that settings may hold.
constexpr FontRow kFonts[] = {
    {1, 8, 1}, {2, 16, 2}, {3, 32, 3}, {6, 8, 6}, {7, 16, 7}, {8, 32, 8},
    {10, 16, 2}, {11, 16, 2}, {12, 16, 2}, {14, 16, 2},
};

struct WidthRow {
    std::string_view device_type;
    int width;
};
constexpr WidthRow kWidths[] = {
    {"LCD", 40},
    {"String", 40},
    {"Small VFD", 280},
    {"Small VFD Direct", 280},
    {"Small and Tall VFD Direct", 280},
    {"Large VFD", 512},
};
constexpr int kDefaultWidth = 280;
constexpr int kPixelsPerCharacter = 10;

const FontRow& NearestFont(int font_size)
{
    return *std::min_element(std::begin(kFonts), std::end(kFonts), [&](const FontRow& a, const FontRow& b) {
        return std::abs(a.font - font_size) < std::abs(b.font - font_size);
    });
}

} // namespace

int LineHeightForFont(int font_size)
{
    return NearestFont(font_size).line_height;
}

std::uint16_t FontToAsk(int font_size)
{
    return NearestFont(font_size).drawn_with;
}

int WrapWidthFor(std::string_view device_type)
{
    int width = kDefaultWidth;
    for (const auto& row : kWidths) {
        if (EqualsIgnoringCase(row.device_type, device_type))
            width = row.width;
    }
    return std::max(1, width / kPixelsPerCharacter);
}

MailGeometry GeometryFor(int font_size, int screen_height, std::string_view device_type)
{
    MailGeometry geometry;
    geometry.font = FontToAsk(font_size);
    geometry.line_height = LineHeightForFont(font_size);
    geometry.lines_per_screen = std::max(1, screen_height / geometry.line_height);
    geometry.wrap_width = WrapWidthFor(device_type);
    return geometry;
}

} // namespace velk
