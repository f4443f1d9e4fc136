// The fields of the system's state streams: 16- and 32-bit little-endian integers, and runs of bytes
// whose count stands before them. Counts come from stored data, so a run is read in steps and
// never costs more memory than the stream really holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/stream.h"

namespace velk {

// S_FALSE, value untouched, when the stream ends where the integer would start; E_INVALIDARG
// when it ends inside it.
HRESULT ReadInt32(IStream& stream, std::int32_t& value);
HRESULT WriteInt32(IStream& stream, std::int32_t value);
// The same for 16-bit little-endian fields.
HRESULT ReadUInt16(IStream& stream, std::uint16_t& value);
HRESULT WriteUInt16(IStream& stream, std::uint16_t value);

// Reads exactly count bytes; E_INVALIDARG when the stream ends first.
HRESULT ReadBytes(IStream& stream, std::size_t count, std::string& bytes);
HRESULT WriteBytes(IStream& stream, std::string_view bytes);

// A run with its count: S_FALSE when the stream ends where the count would start;
// E_INVALIDARG for a negative count or a stream that ends inside the run.
HRESULT ReadCountedBytes(IStream& stream, std::string& bytes);
HRESULT WriteCountedBytes(IStream& stream, std::string_view bytes);

} // namespace velk
