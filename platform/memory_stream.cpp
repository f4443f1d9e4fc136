#include "platform/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace velk {

HRESULT MemoryStream::Read(void* buffer, ULONG size, ULONG& read)
{
    read = 0;
    if (buffer == nullptr && size > 0)
        return E_POINTER;
    if (position_ >= bytes_.size())
        return S_OK;
    const auto available = bytes_.size() - static_cast<std::size_t>(position_);
    read = static_cast<ULONG>(std::min<std::uint64_t>(size, available));
    std::memcpy(buffer, bytes_.data() + position_, read);
    position_ += read;
    return S_OK;
}

HRESULT MemoryStream::Write(const void* buffer, ULONG size, ULONG& written)
{
    written = 0;
    if (buffer == nullptr && size > 0)
        return E_POINTER;
    const std::uint64_t end = position_ + size;
    if (end > kMaxSizeBytes)
        return STG_E_MEDIUMFULL;
    try {
        if (end > bytes_.size())
            bytes_.resize(static_cast<std::size_t>(end));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (size > 0)
        std::memcpy(bytes_.data() + position_, buffer, size);
    position_ = end;
    written = size;
    return S_OK;
}

HRESULT MemoryStream::Seek(std::int64_t move, StreamSeek origin, std::uint64_t& new_position)
{
    std::int64_t base = 0;
    switch (origin) {
    case StreamSeek::Set:
        break;
    case StreamSeek::Current:
        base = static_cast<std::int64_t>(position_);
        break;
    case StreamSeek::End:
        base = static_cast<std::int64_t>(bytes_.size());
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    // Positions stay within the size limit, so base is small and the sums cannot overflow.
    const auto limit = static_cast<std::int64_t>(kMaxSizeBytes);
    if (move < -base || move > limit - base)
        return STG_E_INVALIDFUNCTION;
    position_ = static_cast<std::uint64_t>(base + move);
    new_position = position_;
    return S_OK;
}

HRESULT MemoryStream::SetSize(std::uint64_t size)
{
    if (size > kMaxSizeBytes)
        return STG_E_MEDIUMFULL;
    try {
        bytes_.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT MemoryStream::GetSize(std::uint64_t& size)
{
    size = bytes_.size();
    return S_OK;
}

HRESULT MemoryStream::Commit()
{
    return S_OK;
}

} // namespace velk
