// Base64 text (RFC 4648, with padding) of bytes: pictures sent by value inside JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

std::string Base64Encode(const std::vector<std::uint8_t>& bytes);
// Empty for text that is not base64 (wrong length, a foreign character, padding inside).
std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text);

} // namespace velk
