// Text from feed items made fit for a player's one-line display. Feeds often escape their
// markup twice, so that numeric character references ("&#233;") survive the XML parser and
// reach us as text; and item text is laid out with line breaks and indentation that a display
// line has no room for. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace velk {

// Replaces each decimal ("&#233;") and hexadecimal ("&#xE9;") reference by its character, in
// one pass from the left (a reference that decoding produces is not decoded again). Text after
// an "&#" without a ";" after it stays as it is, and so does an "&#...;" that holds no number.
// A reference to no character (0, a surrogate, beyond U+10FFFF) becomes U+FFFD.
std::string DecodeNumericReferences(std::string_view text);

// One display line: every run of white space and control characters becomes one space, and
// none is left at either end.
std::string DisplayLine(std::string_view text);

} // namespace velk
