// Names compared without regard to ASCII case (registry keys and values, member names,
// command-line switches, wire words); other bytes, UTF-8 included, compare as they are. And
// control characters kept out of one-line text.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace velk {

constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// The lower-case form in which such names are compared and stored as keys.
inline std::string FoldCase(std::string_view name)
{
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), LowerAscii);
    return folded;
}

// ASCII control characters (line breaks and tabs among them) and DEL.
constexpr bool IsAsciiControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Text from outside on one line of a log or a display: every control character a blank.
inline std::string BlankControls(std::string_view text)
{
    std::string line(text);
    std::replace_if(line.begin(), line.end(), IsAsciiControl, ' ');
    return line;
}

} // namespace velk
