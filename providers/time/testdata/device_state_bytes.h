// Test support: the bytes of a time provider's device-state stream as the configuration side
// writes them: the player's host header (three fields: font size, menu time-out, show-content
// mode), then each picture as a 32-bit little-endian count and its bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velk::testing {

inline void AppendLittleEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void AppendPicture(std::vector<std::uint8_t>& bytes, std::string_view picture)
{
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(picture.size()), 4);
    bytes.insert(bytes.end(), picture.begin(), picture.end());
}

struct HostHeader {
    std::uint16_t font_size = 2;
    std::uint32_t menu_timeout_ms = 1000;
    std::uint16_t show_content_mode = 0;
};

inline std::vector<std::uint8_t> TimeDeviceState(const std::vector<std::string>& pictures,
                                                 HostHeader header = {})
{
    std::vector<std::uint8_t> bytes;
    AppendLittleEndian(bytes, 3, 2);
    AppendLittleEndian(bytes, header.font_size, 2);
    AppendLittleEndian(bytes, header.menu_timeout_ms, 4);
    AppendLittleEndian(bytes, header.show_content_mode, 2);
    for (const auto& picture : pictures)
        AppendPicture(bytes, picture);
    return bytes;
}

} // namespace velk::testing
