// The time provider's part of a player's device-state stream: the date picture, then the time
// picture, each a 32-bit little-endian signed byte count followed by that many bytes of the
// picture in the ANSI code page (no terminator; a count of 0 is an empty picture).
#pragma once

#include <optional>
#include <string>

#include "platform/stream.h"

namespace velk {

struct TimeFormats {
    std::string date_format; // UTF-8
    std::string time_format;
};

// Reads both pictures. A stream that ends where a field would start stands for a missing field,
// which takes the given default. E_INVALIDARG for a negative count, a count the stream does not
// hold, or a stream ending inside a count.
HRESULT ReadTimeFormats(IStream& stream, const TimeFormats& defaults, TimeFormats& formats);

// Writes both fields; an absent picture is written as a count of 0.
HRESULT WriteTimeFormats(IStream& stream, const std::optional<std::string>& date_format,
                         const std::optional<std::string>& time_format);

} // namespace velk
