// A stream over a REG_BINARY registry value (the system's registry streams, as from
// OpenRegStream): the value is read into memory when the stream opens and written back on
// Commit, or when the stream is destroyed with changes not committed (a failure then goes to the
// event log). One owner at a time; the owner may be on any thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "platform/stream.h"

namespace velk {

// Read: the value as it is; writes are refused. Write: starts empty and replaces the value
// (an empty one too). ReadWrite: starts with the value, or empty when it is missing.
enum class StreamMode { Read, Write, ReadWrite };

// Opens the stream of value under key_path. Read mode: a missing key or value gives no stream
// (out empty, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)), a value of another type
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA). Write modes create the key when it is missing.
HRESULT OpenRegStream(Hive hive, std::string_view key_path, std::string_view value, StreamMode mode,
                      std::shared_ptr<IStream>& out);

class RegStream : public IStream {
public:
    RegStream(RegKey key, std::string display_name, std::string value, StreamMode mode,
              std::vector<std::uint8_t> content);
    ~RegStream() override;
    RegStream(const RegStream&) = delete;
    RegStream& operator=(const RegStream&) = delete;

    // Reading a Write-mode stream, and writing or resizing a Read-mode one, is refused with
    // STG_E_ACCESSDENIED.
    HRESULT Read(void* buffer, ULONG size, ULONG& read) override;
    HRESULT Write(const void* buffer, ULONG size, ULONG& written) override;
    HRESULT Seek(std::int64_t move, StreamSeek origin, std::uint64_t& new_position) override;
    HRESULT SetSize(std::uint64_t size) override;
    HRESULT GetSize(std::uint64_t& size) override;
    // Writes the content to the value (nothing to do in Read mode).
    HRESULT Commit() override;

private:
    RegKey key_;
    // "HKCU\Software\...\Value", for the event log.
    std::string display_name_;
    std::string value_;
    StreamMode mode_;
    MemoryStream buffer_;
    bool dirty_;
};

} // namespace velk
