// Numbers in the text of RCP replies, read as the player writes them. Reply text comes from
// the network: a malformed number is no number, never a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velk {

// A decimal number the way "%d" reads one: leading blanks, an optional sign, digits; what
// follows the digits is ignored. Empty without digits or beyond 64 bits.
std::optional<std::int64_t> ParseDecimal(std::string_view text);

// The same within 32 bits.
std::optional<std::int32_t> ParseDecimal32(std::string_view text);

} // namespace velk
