#include "renderfold/association_classes.h"

#include <algorithm>

#include "platform/encoding.h"
#include "platform/registry.h"
#include "velk/media_renderer.h"

namespace velk {

std::vector<std::string> AssociationClasses(std::string_view manufacturer)
{
    std::vector<std::string> classes{std::string(kMediaRendererClass)};
    const bool names_a_key =
        !manufacturer.empty() && Utf8ToUtf16(manufacturer).size() <= kMaxKeyNameChars &&
        std::ranges::none_of(manufacturer, [](char c) {
            return c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        });
    if (names_a_key)
        classes.push_back(std::string(kMediaRendererClass) + "\\" + std::string(manufacturer));
    return classes;
}

} // namespace velk
