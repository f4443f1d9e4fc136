// Small text helpers for the simulator's line protocols: strict number parsing (outside input),
// case-insensitive comparison and splitting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::sim {

// A whole decimal number (optional sign, digits only, nothing else) within [min, max].
std::optional<std::int64_t> ParseInteger(std::string_view text, std::int64_t min, std::int64_t max);
std::optional<int> ParseInt(std::string_view text, int min = -2147483647 - 1, int max = 2147483647);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool ContainsIgnoreCase(std::string_view text, std::string_view part);
std::string ToLower(std::string_view text);

std::string_view TrimBlanks(std::string_view text);
// Splits at runs of blanks; no empty words.
std::vector<std::string_view> SplitWords(std::string_view text);

// Text that goes onto a wire as one line: carriage returns and line feeds become blanks.
std::string OneLine(std::string_view text);

} // namespace velk::sim
