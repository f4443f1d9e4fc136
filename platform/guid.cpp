#include "platform/guid.h"

#include "platform/hex.h"

#include <cstdio>
#include <random>

namespace velk {

namespace {

std::optional<std::uint64_t> ParseHex(std::string_view text)
{
    std::uint64_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    return value;
}

} // namespace

std::optional<Guid> Guid::Parse(std::string_view text)
{
    if (text.size() == 38) {
        if (text.front() != '{' || text.back() != '}')
            return std::nullopt;
        text = text.substr(1, 36);
    }
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return std::nullopt;

    auto d1 = ParseHex(text.substr(0, 8));
    auto d2 = ParseHex(text.substr(9, 4));
    auto d3 = ParseHex(text.substr(14, 4));
    auto d4a = ParseHex(text.substr(19, 4));
    auto d4b = ParseHex(text.substr(24, 12));
    if (!d1 || !d2 || !d3 || !d4a || !d4b)
        return std::nullopt;

    Guid guid;
    guid.data1 = static_cast<std::uint32_t>(*d1);
    guid.data2 = static_cast<std::uint16_t>(*d2);
    guid.data3 = static_cast<std::uint16_t>(*d3);
    guid.data4[0] = static_cast<std::uint8_t>(*d4a >> 8);
    guid.data4[1] = static_cast<std::uint8_t>(*d4a);
    for (int i = 0; i < 6; ++i)
        guid.data4[2 + i] = static_cast<std::uint8_t>(*d4b >> (8 * (5 - i)));
    return guid;
}

Guid Guid::New()
{
    thread_local std::mt19937_64 engine{std::random_device{}()};
    const std::uint64_t high = engine();
    const std::uint64_t low = engine();
    Guid guid;
    guid.data1 = static_cast<std::uint32_t>(high >> 32);
    guid.data2 = static_cast<std::uint16_t>(high >> 16);
    guid.data3 = static_cast<std::uint16_t>((high & 0x0FFF) | 0x4000);
    for (int i = 0; i < 8; ++i)
        guid.data4[i] = static_cast<std::uint8_t>(low >> (8 * (7 - i)));
    guid.data4[0] = static_cast<std::uint8_t>((guid.data4[0] & 0x3F) | 0x80);
    return guid;
}

std::string Guid::ToString() const
{
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  data1, data2, data3, data4[0], data4[1], data4[2], data4[3], data4[4], data4[5],
                  data4[6], data4[7]);
    return text;
}

std::size_t GuidHash::operator()(const Guid& guid) const
{
    std::size_t hash = guid.data1 ^ (std::size_t{guid.data2} << 32) ^ (std::size_t{guid.data3} << 48);
    for (auto byte : guid.data4)
        hash = hash * 131 + byte;
    return hash;
}

} // namespace velk
