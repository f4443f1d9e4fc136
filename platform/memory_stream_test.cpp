#include "platform/memory_stream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velk {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(IStream& stream, ULONG size)
{
    Bytes data(size);
    ULONG read = 0;
    EXPECT_EQ(stream.Read(data.data(), size, read), S_OK);
    data.resize(read);
    return data;
}

TEST(MemoryStream, ReadsStopAtTheEndWithoutFailing)
{
    MemoryStream stream(Bytes{1, 2, 3});
    EXPECT_EQ(ReadAll(stream, 2), (Bytes{1, 2}));
    EXPECT_EQ(ReadAll(stream, 5), (Bytes{3}));
    EXPECT_EQ(ReadAll(stream, 5), Bytes{});
    std::uint64_t position = 0;
    ASSERT_EQ(stream.Seek(10, StreamSeek::Set, position), S_OK);
    EXPECT_EQ(ReadAll(stream, 1), Bytes{});
}

TEST(MemoryStream, WritesPastTheEndFillTheGapWithZeros)
{
    MemoryStream stream(Bytes{1, 2, 3});
    std::uint64_t position = 0;
    ULONG written = 0;
    ASSERT_EQ(stream.Seek(1, StreamSeek::Set, position), S_OK);
    ASSERT_EQ(stream.Write("\x09", 1, written), S_OK);
    ASSERT_EQ(stream.Seek(2, StreamSeek::End, position), S_OK);
    EXPECT_EQ(position, 5u);
    ASSERT_EQ(stream.Write("\x07\x08", 2, written), S_OK);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(stream.bytes(), (Bytes{1, 9, 3, 0, 0, 7, 8}));
}

TEST(MemoryStream, SeekFromEachOriginAndRefusesPositionsOutOfRange)
{
    MemoryStream stream(Bytes(10, 0));
    struct Case {
        std::int64_t move;
        StreamSeek origin;
        HRESULT result;
        std::uint64_t position; // where the stream is afterwards
    };
    const Case cases[] = {
        {4, StreamSeek::Set, S_OK, 4},
        {-1, StreamSeek::Current, S_OK, 3},
        {-3, StreamSeek::End, S_OK, 7},
        {-8, StreamSeek::Current, STG_E_INVALIDFUNCTION, 7},
        {-1, StreamSeek::Set, STG_E_INVALIDFUNCTION, 7},
        {INT64_MIN, StreamSeek::End, STG_E_INVALIDFUNCTION, 7},
        {INT64_MAX, StreamSeek::Current, STG_E_INVALIDFUNCTION, 7},
        {static_cast<std::int64_t>(MemoryStream::kMaxSizeBytes), StreamSeek::Set, S_OK,
         MemoryStream::kMaxSizeBytes},
        {1, StreamSeek::Current, STG_E_INVALIDFUNCTION, MemoryStream::kMaxSizeBytes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.move);
        std::uint64_t position = 0;
        EXPECT_EQ(stream.Seek(c.move, c.origin, position), c.result);
        ASSERT_EQ(stream.Seek(0, StreamSeek::Current, position), S_OK);
        EXPECT_EQ(position, c.position);
    }
    // At the limit nothing more fits.
    ULONG written = 0;
    EXPECT_EQ(stream.Write("x", 1, written), STG_E_MEDIUMFULL);
    EXPECT_EQ(written, 0u);
}

TEST(MemoryStream, SetSizeTruncatesOrExtendsWithinTheLimit)
{
    MemoryStream stream(Bytes{1, 2, 3});
    std::uint64_t size = 0;
    ASSERT_EQ(stream.SetSize(1), S_OK);
    ASSERT_EQ(stream.GetSize(size), S_OK);
    EXPECT_EQ(size, 1u);
    ASSERT_EQ(stream.SetSize(4), S_OK);
    EXPECT_EQ(stream.bytes(), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(stream.SetSize(MemoryStream::kMaxSizeBytes + 1), STG_E_MEDIUMFULL);
    EXPECT_EQ(stream.bytes().size(), 4u);
}

} // namespace
} // namespace velk
