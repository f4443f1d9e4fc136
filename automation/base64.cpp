#include "automation/base64.h"

namespace velk {

namespace {

constexpr std::string_view kBase64Digits =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::string Base64Encode(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
        if (left > 1)
            group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        if (left > 2)
            group |= bytes[i + 2];
        text += kBase64Digits[(group >> 18) & 63];
        text += kBase64Digits[(group >> 12) & 63];
        text += left > 1 ? kBase64Digits[(group >> 6) & 63] : '=';
        text += left > 2 ? kBase64Digits[group & 63] : '=';
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t group = 0;
        int padding = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const char c = text[i + j];
            std::size_t digit = 0;
            if (c == '=' && i + 4 == text.size() && j >= 2) {
                ++padding;
            } else {
                digit = kBase64Digits.find(c);
                if (digit == std::string_view::npos || padding > 0)
                    return std::nullopt;
            }
            group = (group << 6) | static_cast<std::uint32_t>(digit);
        }
        bytes.push_back(static_cast<std::uint8_t>(group >> 16));
        if (padding < 2)
            bytes.push_back(static_cast<std::uint8_t>(group >> 8));
        if (padding < 1)
            bytes.push_back(static_cast<std::uint8_t>(group));
    }
    return bytes;
}

} // namespace velk
