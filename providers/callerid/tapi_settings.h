// The caller-ID provider's settings and their object state: the flags (32-bit little-endian)
// and, only with file logging, the log file's path (16-bit length, then its ANSI bytes). A
// state without flags is all off. Any thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/stream.h"

namespace velk {

enum TapiFlags : std::uint32_t {
    kLogToFile = 0x001,
    kLogToEventLog = 0x002,
    // Both clear: numbers are translated by the local address book, the only source there is.
    kSourceDatabase = 0x004,
    kSourceMailbox = 0x008,
    kPauseOnCall = 0x100,
};

struct TapiSettings {
    std::uint32_t flags = 0;
    std::string log_path; // UTF-8; kept only with kLogToFile
    bool operator==(const TapiSettings&) const = default;
};

// E_INVALIDARG for a stream that ends inside a field; the settings are left as they were then.
HRESULT ReadTapiSettings(IStream& stream, TapiSettings& settings);
// E_INVALIDARG for a path longer than a 16-bit length can say.
HRESULT WriteTapiSettings(IStream& stream, const TapiSettings& settings);

} // namespace velk
