// The POP3 framing on its own: lines cut from bytes however they arrive, status words, and
// multi-line replies with their terminator and dot-stuffing.
#include "providers/mail/pop3_reply.h"

#include <gtest/gtest.h>

#include <vector>

namespace velk {
namespace {

// Feeds the pieces one after another and takes every whole line after each.
std::vector<std::string> LinesOf(const std::vector<std::string>& pieces, std::size_t max_line = 16)
{
    Pop3LineBuffer buffer(max_line);
    std::vector<std::string> lines;
    for (const auto& piece : pieces) {
        buffer.Append(piece);
        std::string line;
        Pop3LineBuffer::Take take;
        while ((take = buffer.NextLine(line)) == Pop3LineBuffer::Take::Line)
            lines.push_back(line);
        if (take == Pop3LineBuffer::Take::TooLong) {
            lines.push_back("<too long>");
            break;
        }
    }
    return lines;
}

TEST(Pop3LineBufferTest, LinesAreCutWhereverTheReadsEndAndTheRestIsKept)
{
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"one read, two lines", {"+OK a\r\n-ERR b\r\n"}, {"+OK a", "-ERR b"}},
        {"line end split between reads", {"+OK a\r", "\n+OK", " b\r\n"}, {"+OK a", "+OK b"}},
        {"a bare line feed ends a line", {"x\ny\r\n"}, {"x", "y"}},
        {"an unfinished line waits", {"+OK a\r\n+OK b"}, {"+OK a"}},
        {"an empty line", {"\r\n"}, {""}},
        {"a line at the bound", {"0123456789abcdef\r\n"}, {"0123456789abcdef"}},
        {"a line past the bound, whole", {"0123456789abcdefg\r\n"}, {"<too long>"}},
        {"a line past the bound, never ending", {"0123456789", "abcdefgh"}, {"<too long>"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LinesOf(c.pieces), c.lines);
    }
}

TEST(Pop3ReplyTest, StatusWordsAreCheckedWholeAndTheTextFollowsThem)
{
    struct Case {
        const char* line;
        Pop3Status status;
        const char* text;
    };
    const Case cases[] = {
        {"+OK 2 320", Pop3Status::Ok, "2 320"},
        {"+OK", Pop3Status::Ok, ""},
        {"-ERR [AUTH] Authentication failed.", Pop3Status::Err, "[AUTH] Authentication failed."},
        {"-ERR", Pop3Status::Err, ""},
        {"+OKAY", Pop3Status::Garbled, ""},
        {"+ok 1 2", Pop3Status::Garbled, ""},
        {"", Pop3Status::Garbled, ""},
        {"* OK IMAP", Pop3Status::Garbled, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::string text = "left over";
        EXPECT_EQ(ReplyStatus(c.line, text), c.status);
        EXPECT_EQ(text, c.text);
    }
}

TEST(Pop3MultiLineTest, TheDotLineEndsTheReplyAndStuffedDotsGo)
{
    Pop3MultiLine reply(1024);
    EXPECT_EQ(reply.Add("Subject: x"), Pop3MultiLine::Step::More);
    EXPECT_EQ(reply.Add(""), Pop3MultiLine::Step::More);
    EXPECT_EQ(reply.Add(".."), Pop3MultiLine::Step::More);
    EXPECT_EQ(reply.Add("..and more"), Pop3MultiLine::Step::More);
    EXPECT_EQ(reply.Add(".x"), Pop3MultiLine::Step::More);
    EXPECT_EQ(reply.Add("."), Pop3MultiLine::Step::Done);
    EXPECT_EQ(reply.text(), "Subject: x\r\n\r\n.\r\n.and more\r\nx\r\n");
}

TEST(Pop3MultiLineTest, AReplyPastTheBoundStopsBeforeGrowing)
{
    Pop3MultiLine reply(10);
    EXPECT_EQ(reply.Add("12345678"), Pop3MultiLine::Step::More);
    EXPECT_EQ(reply.Add("9"), Pop3MultiLine::Step::TooLarge);
    EXPECT_EQ(reply.text(), "12345678\r\n");
}

} // namespace
} // namespace velk
