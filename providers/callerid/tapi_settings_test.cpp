#include "providers/callerid/tapi_settings.h"

#include <gtest/gtest.h>

#include "platform/memory_stream.h"

namespace velk {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

TEST(TapiSettings, TheStateHoldsThePathOnlyWithFileLogging)
{
    struct Case {
        const char* name;
        TapiSettings settings;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"event log and pause", {kLogToEventLog | kPauseOnCall, ""}, {0x02, 0x01, 0, 0}},
        {"file logging", {kLogToFile, "/var/log/calls.txt"},
         [] {
             auto bytes = std::vector<std::uint8_t>{0x01, 0, 0, 0, 18, 0};
             auto path = Bytes("/var/log/calls.txt");
             bytes.insert(bytes.end(), path.begin(), path.end());
             return bytes;
         }()},
        {"the path in the code page", {kLogToFile, "/tmp/caf\xC3\xA9"}, {0x01, 0, 0, 0, 9, 0, '/', 't', 'm', 'p', '/', 'c', 'a', 'f', 0xE9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream written;
        ASSERT_EQ(WriteTapiSettings(written, c.settings), S_OK);
        EXPECT_EQ(written.bytes(), c.bytes);
        MemoryStream stored(c.bytes);
        TapiSettings read;
        ASSERT_EQ(ReadTapiSettings(stored, read), S_OK);
        EXPECT_EQ(read, c.settings);
    }
}

TEST(TapiSettings, AnEmptyStateIsAllOffAndACutOneIsRefused)
{
    MemoryStream empty;
    TapiSettings settings{kPauseOnCall, ""};
    EXPECT_EQ(ReadTapiSettings(empty, settings), S_OK);
    EXPECT_EQ(settings, TapiSettings{});

    const std::vector<std::vector<std::uint8_t>> cut = {{0x01, 0}, {0x01, 0, 0, 0}, {0x01, 0, 0, 0, 5, 0, 'a'}};
    for (const auto& bytes : cut) {
        MemoryStream stream(bytes);
        TapiSettings read{kPauseOnCall, ""};
        EXPECT_EQ(ReadTapiSettings(stream, read), E_INVALIDARG);
        EXPECT_EQ(read, (TapiSettings{kPauseOnCall, ""}));
    }
}

} // namespace
} // namespace velk
