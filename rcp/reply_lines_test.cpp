#include "rcp/reply_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velk {
namespace {

struct Cut {
    std::vector<std::string> lines;
    std::string pending;
    bool refused = false;
};

// Feeds the chunks in order, taking every whole line after each.
Cut CutChunks(const std::vector<std::string>& chunks, std::size_t max_line_bytes = 16)
{
    ReplyLineBuffer buffer(max_line_bytes);
    Cut cut;
    for (const auto& chunk : chunks) {
        if (!buffer.Append(chunk)) {
            cut.refused = true;
            break;
        }
        while (auto line = buffer.NextLine())
            cut.lines.emplace_back(*line);
    }
    cut.pending = buffer.Pending();
    return cut;
}

TEST(ReplyLineBuffer, CutsLinesAtCrLfWhereverTheReadsSplitThem)
{
    struct Case {
        const char* bytes;
        std::vector<std::string> lines;
        const char* pending;
    };
    const Case cases[] = {
        {"GetVolume: 40\r\n", {"GetVolume: 40"}, ""},
        {"a\r\n\r\nb\r\nMelodeck>", {"a", "", "b"}, "Melodeck>"},
        // A lone LF or CR ends no line.
        {"a\nb\rc\r\n", {"a\nb\rc"}, ""},
        {"\r\r\n\n", {"\r"}, "\n"},
        {"no end yet", {}, "no end yet"},
    };
    for (const auto& c : cases) {
        const std::string bytes = c.bytes;
        SCOPED_TRACE(bytes);
        // In one read, and split in two at every position.
        for (std::size_t split = 0; split <= bytes.size(); ++split) {
            SCOPED_TRACE(split);
            const auto cut = CutChunks({bytes.substr(0, split), bytes.substr(split)});
            EXPECT_EQ(cut.lines, c.lines);
            EXPECT_EQ(cut.pending, c.pending);
            EXPECT_FALSE(cut.refused);
        }
        // A byte a read.
        std::vector<std::string> bytewise;
        for (char b : bytes)
            bytewise.emplace_back(1, b);
        EXPECT_EQ(CutChunks(bytewise).lines, c.lines);
    }
}

TEST(ReplyLineBuffer, LineLongerThanTheMaximumIsRefusedWhateverThePace)
{
    const std::string endless(64, '9');
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        bool refused;
    };
    const Case cases[] = {
        // A fast sender: everything in one read.
        {"one read", {"GetVolume: " + endless}, true},
        // A slow one: a byte a read.
        {"trickle", std::vector<std::string>(17, "9"), true},
        {"just fits", {std::string(16, 'x'), "\r\n"}, false},
        // Whole lines of any number do not count, only the line still arriving.
        {"many short lines", std::vector<std::string>(100, "0123456789\r\n"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto cut = CutChunks(c.chunks);
        EXPECT_EQ(cut.refused, c.refused);
        // What is held never grows with what was sent.
        EXPECT_LE(cut.pending.size(), 16u + c.chunks.front().size());
    }
}

TEST(ReplyLineBuffer, UnreadLineComesBackWithTheLineAfterIt)
{
    ReplyLineBuffer buffer(64);
    ASSERT_TRUE(buffer.Append("GetDisplayData: data bytes: 4\r\nff"));
    auto header = buffer.NextLine();
    ASSERT_TRUE(header);
    EXPECT_EQ(*header, "GetDisplayData: data bytes: 4");
    EXPECT_FALSE(buffer.NextLine());
    buffer.Unread();

    ASSERT_TRUE(buffer.Append("00\r\nnext\r\n"));
    EXPECT_EQ(buffer.NextLine(), "GetDisplayData: data bytes: 4");
    EXPECT_EQ(buffer.NextLine(), "ff00");
    EXPECT_EQ(buffer.NextLine(), "next");
    EXPECT_FALSE(buffer.NextLine());
    buffer.Clear();
    EXPECT_EQ(buffer.Pending(), "");
}

TEST(ReplyBudget, RefusesPastEitherBound)
{
    ReplyBudget lines(3, 1000);
    EXPECT_TRUE(lines.Take(1));
    EXPECT_TRUE(lines.Take(1));
    EXPECT_TRUE(lines.Take(1));
    EXPECT_FALSE(lines.Take(1));

    ReplyBudget bytes(1000, 10);
    EXPECT_TRUE(bytes.Take(10));
    EXPECT_FALSE(bytes.Take(1));
    EXPECT_EQ(bytes.lines(), 2u);
    EXPECT_EQ(bytes.bytes(), 11u);
}

TEST(ReplyExcerpt, IsQuotedCleanedAndCutShort)
{
    struct Case {
        std::string bytes;
        const char* excerpt;
    };
    const Case cases[] = {
        {"abc", "\"abc\""},
        {"", "\"\""},
        {std::string("a\r\nb\0\xff", 6), "\"a??b??\""},
        {std::string(100, '9'), "\"9999999999999999999999999999999999999999...\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplyExcerpt(c.bytes), c.excerpt);
}

} // namespace
} // namespace velk
