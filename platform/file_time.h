// The registry's time stamps: 100-nanosecond intervals since 1 January 1601 (UTC), stored as
// 8 little-endian bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velk {

std::vector<std::uint8_t> FileTimeBytes(std::chrono::system_clock::time_point time);
// None unless bytes are exactly 8.
std::optional<std::chrono::system_clock::time_point> TimeOfFileTime(std::span<const std::uint8_t> bytes);

} // namespace velk
