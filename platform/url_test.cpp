// URLs as users type them: which are taken, and the canonical form they are stored in.
#include "platform/url.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(Url, TakesAbsoluteUrlsInTheirCanonicalForm)
{
    struct Case {
        const char* typed;
        const char* canonical;
        const char* scheme;
        const char* host;
    };
    const Case kCases[] = {
        {"http://news.example/rss", "http://news.example/rss", "http", "news.example"},
        {"HTTPS://News.Example/RSS", "https://news.example/RSS", "https", "news.example"},
        {"http://news.example/top stories.xml", "http://news.example/top%20stories.xml", "http",
         "news.example"},
        {"http://news.example:8080/a?b=c#d", "http://news.example:8080/a?b=c#d", "http",
         "news.example"},
        {"feed://news.example/rss", "feed://news.example/rss", "feed", "news.example"},
        {"http://user:pw@news.example/", "http://user:pw@news.example/", "http", "news.example"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.typed);
        const auto url = ParseUrl(c.typed);
        ASSERT_TRUE(url);
        EXPECT_EQ(url->canonical, c.canonical);
        EXPECT_EQ(url->scheme, c.scheme);
        EXPECT_EQ(url->host, c.host);
    }
}

TEST(Url, RefusesWhatIsNoAbsoluteUrl)
{
    const std::string kRefused[] = {
        "",
        "news.example/rss",
        "http://",
        "http://news.example/a\nb",
        "http://news.example/a\tb",
        "http://news.example/" + std::string(kMaxUrlLength, 'a'),
        // Fits as typed, but not once its spaces are encoded.
        "http://news.example/" + std::string(kMaxUrlLength - 30, ' '),
    };
    for (const auto& text : kRefused) {
        SCOPED_TRACE(text.substr(0, 60));
        EXPECT_FALSE(ParseUrl(text));
    }
}

} // namespace
} // namespace velk
