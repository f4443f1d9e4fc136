#include "ui/font_families.h"

#include <algorithm>
#include <charconv>
#include <string>


namespace velk {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "SmallFont" reads "Small Font".
std::string FamilyName(std::string_view name)
{
    std::string family;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i > 0 && name[i] >= 'A' && name[i] <= 'Z')
            family += ' ';
        family += name[i];
    }
    return family;
}

} // namespace

std::vector<FontFamily> ParseFontList(const std::vector<std::string>& lines)
{
    std::vector<FontFamily> families;
    for (std::size_t i = 0; i < std::min(lines.size(), kMaxFonts); ++i) {
        std::string_view line = lines[i];
        unsigned number = 0;
        const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), number);
        const std::string_view rest = line.substr(static_cast<std::size_t>(end - line.data()));
        if (error != std::errc() || number > 0xFFFF || !rest.starts_with(" - "))
            continue;
        std::string_view name = rest.substr(3);
        while (!name.empty() && (name.back() == '\r' || name.back() == ' '))
            name.remove_suffix(1);
        // The size is the last digit, or the last two when both are digits.
        const std::size_t digits = name.size() >= 2 && IsDigit(name[name.size() - 2]) ? 2 : 1;
        if (name.size() <= digits || !IsDigit(name.back()))
            continue;
        const int size = std::stoi(std::string(name.substr(name.size() - digits)));
        const std::string family = FamilyName(name.substr(0, name.size() - digits));
        auto found = std::find_if(families.begin(), families.end(),
                                  [&](const FontFamily& f) { return f.name == family; });
        if (found == families.end())
            found = families.insert(families.end(), FontFamily{family, {}});
        found->variants.push_back({static_cast<std::uint16_t>(number), size});
    }
    return families;
}

int MaxFontSize(std::string_view model_number)
{
    if (model_number == "KD-10")
        return 8;
    return model_number == "KD-40" ? 32 : 16;
}

} // namespace velk
