#include "platform/file_time.h"

namespace velk {

namespace {

// 100-nanosecond intervals between 1 January 1601 and 1 January 1970 (UTC).
constexpr std::int64_t kEpochOffset = 116444736000000000LL;
using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;

} // namespace

std::vector<std::uint8_t> FileTimeBytes(std::chrono::system_clock::time_point time)
{
    const auto ticks = static_cast<std::uint64_t>(
        kEpochOffset + std::chrono::duration_cast<Ticks>(time.time_since_epoch()).count());
    std::vector<std::uint8_t> bytes(8);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(ticks >> (8 * i));
    return bytes;
}

std::optional<std::chrono::system_clock::time_point> TimeOfFileTime(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != 8)
        return std::nullopt;
    std::uint64_t ticks = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        ticks |= std::uint64_t{bytes[i]} << (8 * i);
    const auto since_1970 = Ticks(static_cast<std::int64_t>(ticks) - kEpochOffset);
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(since_1970));
}

} // namespace velk
