// Numbers in the text of RCP replies, read as the player writes them. Reply text comes from
// the network: a malformed number is no number, never a crash.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velk {

// A decimal number the way "%d" reads one: leading blanks, an optional sign, digits; what
// follows the digits is ignored. Empty without digits or beyond 64 bits.
std::optional<std::int64_t> ParseDecimal(std::string_view text);

// The same within 32 bits.
std::optional<std::int32_t> ParseDecimal32(std::string_view text);

// Three such numbers within 32 bits with separator between them ("3.1.2", "12:05:09"); rest
// gets what follows the third.
std::optional<std::array<std::int32_t, 3>> ParseDecimalTriple(std::string_view text, char separator,
                                                              std::string_view* rest = nullptr);

} // namespace velk
