#include "rcp/rcp_transaction.h"
#include "rcp/control_session.h"

#include <gtest/gtest.h>

#include <vector>

namespace velk {
namespace {

struct Recorded {
    std::vector<std::pair<std::string, std::int32_t>> lines;
};

std::shared_ptr<CRCPTransaction> MakeEntry(const std::string& word, const std::string& line,
                                           Recorded* recorded, bool want_list = false,
                                           HRESULT callback_result = S_OK)
{
    RcpLineCallback callback;
    if (recorded) {
        callback = [recorded, callback_result](std::string_view value, std::int32_t index) {
            recorded->lines.emplace_back(value, index);
            return callback_result;
        };
    }
    return std::make_shared<CRCPTransaction>(word, line, callback, want_list);
}

TEST(ClassifyReplyLine, ErrorWordsSettleWithTheirCodes)
{
    for (const auto& error : kRcpErrorWords) {
        SCOPED_TRACE(error.word);
        auto entry = MakeEntry("SetVolume", "SetVolume 200\r\n", nullptr);
        EXPECT_EQ(ClassifyReplyLine(*entry, error.word), error.hr);
        EXPECT_EQ(entry->Result(), error.hr);
    }
    // Only the exact word is an error.
    auto entry = MakeEntry("GetFriendlyName", "GetFriendlyName\r\n", nullptr);
    EXPECT_EQ(ClassifyReplyLine(*entry, "ParameterErrors"), S_OK);
}

TEST(ClassifyReplyLine, TransactionCollectsDataLinesWithIndexes)
{
    Recorded recorded;
    auto entry = MakeEntry("ServerConnect", "ServerConnect 1\r\n", &recorded);
    const char* lines[] = {"TransactionInitiated", "first", "OK", "second", "third"};
    for (const char* line : lines)
        EXPECT_EQ(ClassifyReplyLine(*entry, line), E_PENDING) << line;
    EXPECT_EQ(ClassifyReplyLine(*entry, "TransactionComplete"), S_OK);
    const std::vector<std::pair<std::string, std::int32_t>> expected = {
        {"first", 0}, {"second", 1}, {"third", 2}};
    EXPECT_EQ(recorded.lines, expected);
}

TEST(ClassifyReplyLine, FailureInsideTransactionOutlivesTransactionComplete)
{
    Recorded recorded;
    auto entry = MakeEntry("ListSongs", "ListSongs \r\n", &recorded, true, E_FAIL);
    EXPECT_EQ(ClassifyReplyLine(*entry, "TransactionInitiated"), E_PENDING);
    EXPECT_EQ(ClassifyReplyLine(*entry, "a song"), E_FAIL);
    EXPECT_EQ(entry->Result(), E_FAIL);
    ClassifyReplyLine(*entry, "TransactionComplete");
    EXPECT_EQ(entry->Result(), E_FAIL);
}

TEST(ClassifyReplyLine, ListSizeLineOnlyForListCommands)
{
    Recorded list_lines, other_lines;
    auto list = MakeEntry("ListGenres", "ListGenres \r\n", &list_lines, true);
    auto other = MakeEntry("GetTimeZone", "GetTimeZone\r\n", &other_lines, false);
    EXPECT_EQ(ClassifyReplyLine(*list, "ListResultSize 3"), E_PENDING);
    EXPECT_EQ(ClassifyReplyLine(*other, "ListResultSize 3"), E_PENDING);
    EXPECT_EQ(list_lines.lines.size(), 1u);
    EXPECT_TRUE(other_lines.lines.empty());
    EXPECT_EQ(ClassifyReplyLine(*list, "ListResultEnd"), S_OK);
}

TEST(ClassifyReplyLine, WhatSettlesOnTheFirstDataLine)
{
    struct Case {
        const char* word;
        const char* line;
        const char* value;
        bool with_callback;
        HRESULT expected;
    };
    const Case cases[] = {
        {"GetVolume", "GetVolume\r\n", "42", true, S_OK},            // single-reply command
        {"GetDisplayData", "GetDisplayData\r\n", "data bytes: 2\r\nff00", true, S_OK},
        {"ListGenres", "ListGenres \r\n", "Rock", true, E_PENDING},  // a list goes on
        {"Play", "Play\r\n", "anything", false, S_OK},               // no callback: first line
        {"Shuffle", "Shuffle\r\n", "on", true, S_OK},                // query form
        {"Shuffle", "Shuffle on\r\n", "on", true, E_PENDING},        // setting form
        {"GetTransportState", "GetTransportState\r\n", "Play", true, S_OK},
        {"SetPowerState", "SetPowerState on\r\n", "PowerStateOn", true, S_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Recorded recorded;
        auto entry = MakeEntry(c.word, c.line, c.with_callback ? &recorded : nullptr);
        EXPECT_EQ(ClassifyReplyLine(*entry, c.value), c.expected);
    }
}

TEST(ClassifyReplyLine, SettledResultIsNotOverwrittenAndInactiveEntryGetsNoCallback)
{
    Recorded recorded;
    auto entry = MakeEntry("GetVolume", "GetVolume\r\n", &recorded);
    entry->SettleIfPending(E_RCP_TIMEOUT);
    ClassifyReplyLine(*entry, "42");
    EXPECT_EQ(entry->Result(), E_RCP_TIMEOUT);

    entry = MakeEntry("ListSongs", "ListSongs \r\n", &recorded, true);
    entry->Deactivate();
    recorded.lines.clear();
    ClassifyReplyLine(*entry, "a song");
    EXPECT_TRUE(recorded.lines.empty());
}

TEST(SplitReplyLine, SplitsAtFirstColonAndClampsTheValueOffset)
{
    struct Case {
        const char* line;
        const char* word;
        const char* value;
    };
    const Case cases[] = {
        {"GetVolume: 42", "GetVolume", "42"},
        {"GetTime: 12:30:00", "GetTime", "12:30:00"},
        {"Odd:", "Odd", ""},
        {"Odd:x", "Odd", ""},
        {": value", "", "value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        auto split = SplitReplyLine(c.line);
        ASSERT_TRUE(split);
        EXPECT_EQ(split->first, c.word);
        EXPECT_EQ(split->second, c.value);
    }
    EXPECT_FALSE(SplitReplyLine("no colon here"));
}

} // namespace
} // namespace velk
