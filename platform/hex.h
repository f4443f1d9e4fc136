// Hexadecimal digits of text formats (class ids, registry text, command-line data).
#pragma once

#include <cstdint>
#include <string>

namespace velk {

enum class HexCase { Lower, Upper };

// Appends the byte's two digits, high first.
inline void AppendHexByte(std::string& out, std::uint8_t value, HexCase letters = HexCase::Lower)
{
    const char* digits = letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    out += digits[value >> 4];
    out += digits[value & 0x0F];
}

// The value of a hexadecimal digit in either case, or -1.
constexpr int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace velk
