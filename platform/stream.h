// The byte stream interface that registry streams and in-memory buffers offer (the IStream of
// the system): sequential reads and writes at a seek position, size, and commit.
#pragma once

#include <cstdint>

#include "platform/hresult.h"

namespace velk {

using ULONG = std::uint32_t;

constexpr HRESULT STG_E_MEDIUMFULL = MakeHResult(0x80030070);

enum class StreamSeek { Set, Current, End };

class IStream {
public:
    virtual ~IStream() = default;

    // Reads up to size bytes at the position; fewer (down to none) at the end, still S_OK.
    virtual HRESULT Read(void* buffer, ULONG size, ULONG& read) = 0;
    // Writes at the position, growing the stream (a gap past the end reads as zeros).
    virtual HRESULT Write(const void* buffer, ULONG size, ULONG& written) = 0;
    // Moves the position; a position before the start is refused with STG_E_INVALIDFUNCTION.
    virtual HRESULT Seek(std::int64_t move, StreamSeek origin, std::uint64_t& new_position) = 0;
    virtual HRESULT SetSize(std::uint64_t size) = 0;
    virtual HRESULT GetSize(std::uint64_t& size) = 0;
    // Makes the content durable where the stream has a backing store.
    virtual HRESULT Commit() = 0;
};

} // namespace velk
