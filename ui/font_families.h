// A player's fonts as "sketch -c font list" names them ("2 - SystemFont16"), grouped by family
// ("System Font") with their sizes, and the sizes a player's display can show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

struct FontVariant {
    std::uint16_t number = 0; // what "sketch -c font" takes
    int size = 0;             // pixel height
};

struct FontFamily {
    std::string name;
    std::vector<FontVariant> variants; // in the order the player lists them
};

// The families of the reply lines, in the order they first appear. Lines that are no
// "<number> - <name><size>" are passed over; at most kMaxFonts lines are read.
std::vector<FontFamily> ParseFontList(const std::vector<std::string>& lines);
inline constexpr std::size_t kMaxFonts = 256;

// The tallest font a player of the model (its UPnP model number) shows.
int MaxFontSize(std::string_view model_number);

} // namespace velk
