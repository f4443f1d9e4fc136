// The association classes of a renderer, whose registered handlers join its menu and sheet:
// "MediaRenderer", and "MediaRenderer\<manufacturer>" when the maker's name can name a key
// (a name with a backslash or a control character would name another key, so it gives none).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velk {

std::vector<std::string> AssociationClasses(std::string_view manufacturer);

} // namespace velk
