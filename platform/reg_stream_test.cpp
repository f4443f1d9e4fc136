#include "platform/reg_stream.h"

#include <gtest/gtest.h>

#include "platform/event_log.h"
#include "platform/registry_test_fixture.h"

namespace velk {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kKey = "Software\\Velk\\Providers\\Time";
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

HRESULT WriteAll(IStream& stream, const Bytes& data)
{
    ULONG written = 0;
    const HRESULT hr = stream.Write(data.data(), static_cast<ULONG>(data.size()), written);
    return SUCCEEDED(hr) && written != data.size() ? E_FAIL : hr;
}

Bytes ReadAll(IStream& stream)
{
    Bytes data(256);
    ULONG read = 0;
    EXPECT_EQ(stream.Read(data.data(), static_cast<ULONG>(data.size()), read), S_OK);
    data.resize(read);
    return data;
}

Bytes StoredValue()
{
    RegKey key;
    Bytes data;
    EXPECT_EQ(key.Open(Hive::CurrentUser, kKey), S_OK);
    EXPECT_EQ(key.QueryBinaryValue("State", data), S_OK);
    return data;
}

using RegStreamTest = RegistryFixture;

TEST_F(RegStreamTest, WrittenStreamReadsBackAfterCommitOrDestruction)
{
    for (const bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "commit" : "destruction");
        const Bytes content{0, 1, 0xFF, commit ? std::uint8_t{1} : std::uint8_t{2}};
        {
            std::shared_ptr<IStream> stream;
            ASSERT_EQ(OpenRegStream(Hive::CurrentUser, kKey, "State", StreamMode::Write, stream),
                      S_OK);
            ASSERT_EQ(WriteAll(*stream, content), S_OK);
            if (commit) {
                ASSERT_EQ(stream->Commit(), S_OK);
                EXPECT_EQ(StoredValue(), content);
            }
        }
        EXPECT_EQ(StoredValue(), content);
        std::shared_ptr<IStream> stream;
        ASSERT_EQ(OpenRegStream(Hive::CurrentUser, kKey, "State", StreamMode::Read, stream), S_OK);
        EXPECT_EQ(ReadAll(*stream), content);
    }
}

TEST_F(RegStreamTest, ReadWriteStartsFromTheValueAndSeeks)
{
    {
        std::shared_ptr<IStream> stream;
        ASSERT_EQ(OpenRegStream(Hive::CurrentUser, kKey, "State", StreamMode::Write, stream), S_OK);
        ASSERT_EQ(WriteAll(*stream, {1, 2, 3, 4}), S_OK);
    }
    std::shared_ptr<IStream> stream;
    ASSERT_EQ(OpenRegStream(Hive::CurrentUser, kKey, "state", StreamMode::ReadWrite, stream), S_OK);
    std::uint64_t position = 0, size = 0;
    ASSERT_EQ(stream->GetSize(size), S_OK);
    EXPECT_EQ(size, 4u);
    ASSERT_EQ(stream->Seek(-2, StreamSeek::End, position), S_OK);
    EXPECT_EQ(position, 2u);
    ASSERT_EQ(WriteAll(*stream, {9, 9, 9}), S_OK);
    ASSERT_EQ(stream->Seek(1, StreamSeek::Set, position), S_OK);
    EXPECT_EQ(ReadAll(*stream), (Bytes{2, 9, 9, 9}));
    ASSERT_EQ(stream->SetSize(3), S_OK);
    ASSERT_EQ(stream->Commit(), S_OK);
    EXPECT_EQ(StoredValue(), (Bytes{1, 2, 9}));

    // A Write stream starts empty and replaces the value even when nothing is written.
    stream.reset();
    ASSERT_EQ(OpenRegStream(Hive::CurrentUser, kKey, "State", StreamMode::Write, stream), S_OK);
    ASSERT_EQ(stream->GetSize(size), S_OK);
    EXPECT_EQ(size, 0u);
    stream.reset();
    EXPECT_EQ(StoredValue(), Bytes{});
}

TEST_F(RegStreamTest, ReadStreamRefusesChangesAndWriteStreamRefusesReads)
{
    {
        std::shared_ptr<IStream> stream;
        ASSERT_EQ(OpenRegStream(Hive::CurrentUser, kKey, "State", StreamMode::Write, stream), S_OK);
        Bytes buffer(4);
        ULONG read = 7;
        EXPECT_EQ(stream->Read(buffer.data(), 4, read), STG_E_ACCESSDENIED);
        EXPECT_EQ(read, 0u);
        ASSERT_EQ(WriteAll(*stream, {5, 6}), S_OK);
    }
    std::shared_ptr<IStream> stream;
    ASSERT_EQ(OpenRegStream(Hive::CurrentUser, kKey, "State", StreamMode::Read, stream), S_OK);
    ULONG written = 7;
    EXPECT_EQ(stream->Write("x", 1, written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(stream->SetSize(0), STG_E_ACCESSDENIED);
    EXPECT_EQ(stream->Commit(), S_OK);
    stream.reset();
    EXPECT_EQ(StoredValue(), (Bytes{5, 6}));
}

TEST_F(RegStreamTest, ReadingWhatIsNotThereOrNotBinaryGivesNoStream)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::CurrentUser, kKey), S_OK);
    ASSERT_EQ(key.SetStringValue("Text", "x"), S_OK);
    struct Case {
        const char* key;
        const char* value;
        HRESULT expected;
    };
    const Case cases[] = {
        {"Software\\Missing", "State", kNotFound},
        {kKey, "Missing", kNotFound},
        {kKey, "Text", HRESULT_FROM_WIN32(ERROR_INVALID_DATA)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        auto stream = std::make_shared<MemoryStream>();
        std::shared_ptr<IStream> out = stream;
        EXPECT_EQ(OpenRegStream(Hive::CurrentUser, c.key, c.value, StreamMode::Read, out),
                  c.expected);
        EXPECT_EQ(out, nullptr);
    }
    // Nothing was created on the way.
    EXPECT_EQ(RegKey().Open(Hive::CurrentUser, "Software\\Missing"), kNotFound);
}

TEST_F(RegStreamTest, WriteThatFailsOnDestructionGoesToTheEventLog)
{
    RecordingEventLog log;
    {
        std::shared_ptr<IStream> stream;
        ASSERT_EQ(OpenRegStream(Hive::CurrentUser, kKey, "State", StreamMode::Write, stream), S_OK);
        ASSERT_EQ(WriteAll(*stream, {1}), S_OK);
        RegKey root;
        ASSERT_EQ(root.Open(Hive::CurrentUser, "", RegAccess::All), S_OK);
        ASSERT_EQ(root.DeleteTree("Software"), S_OK);
    }
    const auto records = log.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, EventLogType::Error);
    ASSERT_FALSE(records[0].strings.empty());
    EXPECT_NE(records[0].strings[0].find("HKCU\\Software\\Velk\\Providers\\Time\\State"),
              std::string::npos)
        << records[0].strings[0];
}

} // namespace
} // namespace velk
