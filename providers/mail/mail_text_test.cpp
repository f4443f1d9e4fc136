// Mail as the view shows it: headers mapped to tags, the body's text by media type, and the
// wrapping into display lines.
#include "providers/mail/mail_text.h"

#include <gtest/gtest.h>

#include "providers/mail/mail_encoding.h"

namespace velk {
namespace {

using Lines = std::vector<std::string>;

TEST(MailMessageTest, HeadersMapToTheirTagsUnfoldedAndWithoutRegardToCase)
{
    const MailMessage message = ParseMessage(
        "Received: from somewhere\r\n"
        "SUBJECT: A long\r\n"
        "\tsubject\r\n"
        "from: Ann <ann@example.org>\r\n"
        "Message-Id: <1@example.org>\r\n"
        "Date: Thu, 10 Dec 2026 10:00:00 +0000\r\n"
        "Content-Class: urn:content-classes:message\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: Text/Plain; charset=us-ascii\r\n"
        "not a header line\r\n"
        "\r\n"
        "Subject: in the body\r\n");
    EXPECT_EQ(message.Property(kTagSubject), "A long subject");
    EXPECT_EQ(message.Property(kTagFrom), "Ann <ann@example.org>");
    EXPECT_EQ(message.Property(kTagMessageId), "<1@example.org>");
    EXPECT_EQ(message.Property(kTagDate), "Thu, 10 Dec 2026 10:00:00 +0000");
    EXPECT_EQ(message.Property(kTagContentClass), "urn:content-classes:message");
    EXPECT_TRUE(message.mime);
    EXPECT_EQ(message.content_type, "Text/Plain; charset=us-ascii");
    EXPECT_EQ(message.body, "Subject: in the body\r\n");
    EXPECT_EQ(message.properties.size(), 5u);
}

TEST(MailMessageTest, EncodedWordsInHeadersAreDecoded)
{
    struct Case {
        const char* field;
        const char* text;
    };
    const Case cases[] = {
        {"=?UTF-8?B?R3LDvMOfZQ==?=", "Grüße"},
        {"=?iso-8859-1?q?Gr=FC=DFe_aus_K=F6ln?=", "Grüße aus Köln"},
        {"Re: =?utf-8?q?caf=C3=A9?= =?utf-8?q?_au_lait?= now", "Re: café au lait now"},
        {"=?unknown-charset?x?abc?= plain", "=?unknown-charset?x?abc?= plain"},
        {"broken =?utf-8?b?", "broken =?utf-8?b?"},
        {"no words", "no words"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(DecodeHeaderText(c.field), c.text);
    }
}

TEST(MailEncodingTest, MediaTypeIsComparedWithoutCaseOrParameters)
{
    struct Case {
        const char* field;
        const char* type;
        const char* boundary;
    };
    const Case cases[] = {
        {"", "text/plain", ""},
        {"TEXT/HTML; charset=UTF-8", "text/html", ""},
        {" multipart/Alternative ;\tboundary=\"b1 x\"", "multipart/alternative", "b1 x"},
        {"multipart/related; type=\"text/html\"; boundary='b2'", "multipart/related", "b2"},
        {"multipart/alternative; BOUNDARY=b3; charset=x", "multipart/alternative", "b3"},
        {"multipart/alternative; boundary=", "multipart/alternative", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(MediaType(c.field), c.type);
        EXPECT_EQ(ContentTypeParameter(c.field, "boundary"), c.boundary);
    }
}

TEST(MailEncodingTest, QuotedPrintableEscapesAndSoftBreaksAreUndone)
{
    struct Case {
        const char* encoded;
        const char* decoded;
    };
    const Case cases[] = {
        {"caf=C3=A9", "caf\xC3\xA9"},
        {"soft=\r\nbreak", "softbreak"},
        {"soft= \nbreak", "softbreak"},
        {"a=3Db", "a=b"},
        {"lower =e9", "lower \xE9"},
        {"not =ZZ hex", "not =ZZ hex"},
        {"ends with =", "ends with "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoded);
        EXPECT_EQ(DecodeQuotedPrintable(c.encoded), c.decoded);
    }
    EXPECT_EQ(DecodeBase64Text("SGVs\r\nbG8=\r\n"), "Hello");
    EXPECT_EQ(DecodeBase64Text("SGVsbG8h!!!!"), "Hello!");
}

TEST(MailTextTest, WrappingAlwaysMakesProgressAndNoLineHoldsABreak)
{
    struct Case {
        const char* name;
        const char* text;
        std::size_t width;
        Lines lines;
    };
    const Case cases[] = {
        {"breaks at the last blank within reach", "one two three four", 9, {"one two", "three", "four"}},
        {"a word that fills the line exactly", "abcde fgh", 5, {"abcde", "fgh"}},
        {"a word longer than the line is cut", "abcdefghijkl xy", 5, {"abcde", "fghij", "kl xy"}},
        {"blanks at a line's start are skipped", "   a      b", 3, {"a", "b"}},
        {"line breaks and tabs become spaces", "a\r\nb\tc", 10, {"a  b c"}},
        {"width 0 still makes progress", "abc", 0, {"a", "b", "c"}},
        {"only blanks give no line", " \r\n\t ", 4, {}},
        {"characters, not bytes, are counted", "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", 2, {"\xC3\xA4\xC3\xB6", "\xC3\xBC\xC3\x9F"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WrapText(c.text, c.width, 500), c.lines);
    }
    EXPECT_EQ(WrapText("a b c d e", 1, 3), (Lines{"a", "b", "c"}));
}

TEST(MailTextTest, EachMediaTypeGivesItsLines)
{
    struct Case {
        const char* name;
        const char* message;
        Lines lines;
    };
    const Case cases[] = {
        {"no Content-Type is plain text", "Subject: x\r\n\r\nHello there\r\n", {"Hello there"}},
        {"plain text in quoted-printable",
         "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
         "caf=C3=A9=\r\n au lait\r\n",
         {"caf\xC3\xA9 au lait"}},
        {"HTML without head, script and style; markup stays",
         "Content-Type: text/html\r\n\r\n<HTML><Head><title>T</title></HEAD><body>\r\n"
         "<style type=\"text/css\">p {}</style><script>x()</script><p>Hi</p></body></html>\r\n",
         {"<HTML><body>  <p>Hi</p></body></html>"}},
        {"an element never closed runs to the end",
         "Content-Type: text/html\r\n\r\n<p>Hi</p><script>never closed", {"<p>Hi</p>"}},
        {"multipart/alternative shows its first typed part",
         "Content-Type: multipart/alternative; boundary=\"=_b\"\r\n\r\n"
         "preamble\r\n--=_b\r\nX-Nothing: here\r\n\r\nuntyped part\r\n"
         "--=_b\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\nGr=FC=DFe\r\n"
         "--=_b\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n--=_b--\r\n",
         {"Gr\xC3\xBC\xC3\x9F" "e"}},
        {"multipart/related inside multipart/alternative",
         "Content-Type: multipart/alternative; boundary=outer\r\n\r\n--outer\r\n"
         "Content-Type: multipart/related; boundary=inner\r\n\r\n--inner\r\n"
         "Content-Type: text/html\r\n\r\n<b>deep</b>\r\n--inner--\r\n--outer--\r\n",
         {"<b>deep</b>"}},
        {"an unknown format", "Content-Type: application/pdf\r\n\r\n%PDF-1.4\r\n",
         {std::string(kUnsupportedMailFormat)}},
        {"multipart/mixed is not shown", "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
         "Content-Type: text/plain\r\n\r\nx\r\n--b--\r\n", {std::string(kUnsupportedMailFormat)}},
        {"a multipart body without its boundary",
         "Content-Type: multipart/alternative\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nx\r\n",
         {std::string(kUnsupportedMailFormat)}},
        {"an empty body", "Subject: x\r\n\r\n", {std::string(kUnsupportedMailFormat)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MessageLines(ParseMessage(c.message), 40), c.lines);
    }
}

// A "Large VFD" is 512 wide: lines of 51 characters.
TEST(MailTextTest, ALargeVfdWrapsAtFiftyOneCharacters)
{
    const std::string text =
        "Content-Type: text/plain\r\n\r\n"
        "The quick brown fox jumps over the lazy dog and then runs far away into the woods "
        "where nobody can find it again.\r\n";
    const Lines lines = MessageLines(ParseMessage(text), 51);
    const Lines expected = {"The quick brown fox jumps over the lazy dog and", "then runs far away into the woods where nobody can",
                            "find it again."};
    EXPECT_EQ(lines, expected);
    for (const auto& line : lines)
        EXPECT_LE(line.size(), 51u);
}

TEST(MailTextTest, AMessageGivesAtMostFiveHundredLines)
{
    std::string text = "Subject: long\r\n\r\n";
    for (int i = 0; i < 2000; ++i)
        text += "line\r\n";
    EXPECT_EQ(MessageLines(ParseMessage(text), 4).size(), kMaxMessageLines);
}

} // namespace
} // namespace velk
