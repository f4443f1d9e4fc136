// Base64 (the standard alphabet, "=" padding): pictures sent by value, encoded mail text.
// Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

std::string Base64Encode(const std::vector<std::uint8_t>& bytes);
// The bytes of strict base64 (a multiple of four digits, padding only at the end); nullopt
// for anything else.
std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text);

} // namespace velk
