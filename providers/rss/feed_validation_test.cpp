#include "providers/rss/feed_validation.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

using Outcome = FeedValidation::Outcome;

constexpr const char* kPage = "http://news.example/section/index.html?x=1";

HttpResponse Answer(std::string content_type, std::string body, long status = 200)
{
    HttpResponse response;
    response.status = status;
    response.content_type = std::move(content_type);
    response.body = std::move(body);
    return response;
}

const std::string kRss2 = "<rss version=\"2.0\"><channel><title>Daily  News</title></channel></rss>";
const std::string kAtom03 =
    "<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\"><title>Atom Old</title></feed>";

TEST(FeedValidation, ContentTypesDecideHowTheAnswerIsRead)
{
    const struct {
        const char* content_type;
        Outcome outcome;
    } cases[] = {
        {"text/xml", Outcome::Feed},
        {"application/xml; charset=utf-8", Outcome::Feed},
        {"application/rss+xml", Outcome::Feed},
        {"APPLICATION/RSS+XML;charset=UTF-8", Outcome::Feed},
        {"application/atom+xml", Outcome::Feed},
        {"application/vnd.example+xml", Outcome::Feed},
        {"text/plain", Outcome::Failed},
        {"application/json", Outcome::Failed},
        {"+xml", Outcome::Failed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ValidateFeedAnswer(kPage, Answer(c.content_type, kRss2)).outcome, c.outcome)
            << c.content_type;
    EXPECT_EQ(ValidateFeedAnswer(kPage, Answer("application/json", "{}")).message,
              "The content type application/json is unsupported");
}

TEST(FeedValidation, FeedsAreTitledAndOldFormatsWarned)
{
    const struct {
        std::string body;
        Outcome outcome;
        const char* title;
        const char* warning;
    } cases[] = {
        {kRss2, Outcome::Feed, "Daily News", ""},
        {"<rss version=\"0.91\"><channel><title>Old</title></channel></rss>", Outcome::Feed, "Old",
         kOldRss},
        {"<rss><channel><title>No Version</title></channel></rss>", Outcome::Feed, "No Version",
         kOldRss},
        {kAtom03, Outcome::Feed, "Atom Old", ""},
        {"<feed version=\"0.2\" xmlns=\"http://purl.org/atom/ns#\"><title>A</title></feed>",
         Outcome::Feed, "A", kOldAtom},
        // Only the Atom 0.3 namespace makes a document Atom.
        {"<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>New</title></feed>", Outcome::Failed, "",
         ""},
        {"<html><body>hello</body></html>", Outcome::Failed, "", ""},
        {"<rss version=\"2.0\"><channel>", Outcome::Failed, "", ""},
        {"<rss version=\"2.0\"><channel><title>" + std::string(1000, 'x') +
             "</title></channel></rss>",
         Outcome::Feed, nullptr, ""},
    };
    for (const auto& c : cases) {
        const auto result = ValidateFeedAnswer(kPage, Answer("text/xml", c.body));
        EXPECT_EQ(result.outcome, c.outcome) << c.body;
        if (c.title)
            EXPECT_EQ(result.title, c.title) << c.body;
        else
            EXPECT_EQ(result.title.size(), kMaxProposedTitle);
        EXPECT_EQ(result.warning, c.warning) << c.body;
    }
    EXPECT_EQ(ValidateFeedAnswer(kPage, Answer("text/xml", "<html/>")).message, kNotAFeed);
    EXPECT_EQ(ValidateFeedAnswer(kPage, Answer("text/xml", "<rss")).message,
              "The document is not well-formed XML.");
}

TEST(FeedValidation, HtmlPagesOfferTheFeedsTheyLinkTo)
{
    const std::string page =
        "<HTML><HEAD>"
        "<LINK REL=\"Alternate\" TYPE=\"application/RSS+xml\" TITLE=\"Top &amp; More\" HREF=\"/rss.xml\">"
        "<link rel='stylesheet' type='text/css' href='site.css'>"
        "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"atom.xml\"/>"
        "<link rel=\"alternate home\" type=\"application/rss+xml; charset=utf-8\" title=\"Abs\" "
        "href=\"https://other.example/feed\">"
        "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"javascript:alert(1)\">"
        "<linkage rel=\"alternate\" type=\"application/rss+xml\" href=\"/no.xml\">"
        "</HEAD></HTML>";
    const auto result = ValidateFeedAnswer(kPage, Answer("text/html; charset=utf-8", page));
    ASSERT_EQ(result.outcome, Outcome::Links);
    ASSERT_EQ(result.links.size(), 3u);
    EXPECT_EQ(result.links[0].title, "Top & More");
    EXPECT_EQ(result.links[0].href, "http://news.example/rss.xml");
    EXPECT_EQ(result.links[1].title, "http://news.example/section/atom.xml");
    EXPECT_EQ(result.links[1].href, "http://news.example/section/atom.xml");
    EXPECT_EQ(result.links[2].href, "https://other.example/feed");

    // A missing type is a web page; one without feed links says so.
    const auto none = ValidateFeedAnswer(kPage, Answer("", "<html><link rel=\"icon\" href=\"x\"></html>"));
    EXPECT_EQ(none.outcome, Outcome::Failed);
    EXPECT_EQ(none.message, std::string("No RSS Feeds were referenced in ") + kPage);
}

TEST(FeedValidation, AHostilePageCannotFloodTheList)
{
    std::string page;
    for (int i = 0; i < 10000; ++i)
        page += "<link rel=alternate type=application/rss+xml href=/f" + std::to_string(i) + ">";
    page += "<link rel=\"alternate"; // cut off inside a tag
    const auto result = ValidateFeedAnswer(kPage, Answer("text/html", page));
    EXPECT_EQ(result.links.size(), kMaxFeedLinks);
    EXPECT_EQ(result.links[0].href, "http://news.example/f0");
}

TEST(FeedValidation, AnswersOtherThanOkAreFailures)
{
    const auto result = ValidateFeedAnswer(kPage, Answer("text/xml", kRss2, 404));
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.message, "The server answered with HTTP status 404.");
}

TEST(FeedValidation, LinksResolveAgainstThePage)
{
    const struct {
        const char* base;
        const char* href;
        const char* resolved;
    } cases[] = {
        {"http://a.example/b/c.html", "d.xml", "http://a.example/b/d.xml"},
        {"http://a.example/b/c.html", "/d.xml", "http://a.example/d.xml"},
        {"http://a.example:8080", "d.xml", "http://a.example:8080/d.xml"},
        {"https://a.example/b/", "//cdn.example/f", "https://cdn.example/f"},
        {"http://a.example/b/c?q=/x", "d", "http://a.example/b/d"},
        {"http://a.example/", "HTTPS://x.example/f", "HTTPS://x.example/f"},
        {"http://a.example/", "file:///etc/passwd", ""},
        {"http://a.example/", "  ", ""},
        {"http://a.example/", "feed?id=a:b", "http://a.example/feed?id=a:b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveLink(c.base, c.href), c.resolved) << c.base << " + " << c.href;
}

} // namespace
} // namespace velk
