// An IStream over a byte vector that it owns: the buffer of registry streams and of any code
// that builds or parses a stream in memory. Not thread-safe: one owner at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/stream.h"

namespace velk {

class MemoryStream : public IStream {
public:
    // Larger streams are refused with STG_E_MEDIUMFULL: sizes and positions come from stream
    // content, and a hostile size must not exhaust memory.
    static constexpr std::uint64_t kMaxSizeBytes = 1u << 30;

    MemoryStream() = default;
    explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    HRESULT Read(void* buffer, ULONG size, ULONG& read) override;
    HRESULT Write(const void* buffer, ULONG size, ULONG& written) override;
    HRESULT Seek(std::int64_t move, StreamSeek origin, std::uint64_t& new_position) override;
    HRESULT SetSize(std::uint64_t size) override;
    HRESULT GetSize(std::uint64_t& size) override;
    // Nothing to make durable: S_OK.
    HRESULT Commit() override;

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};

} // namespace velk
