// The feeds as the news-feed provider keeps them, against the registry and a local web server:
// the feed list reread, one download of a feed, and the downloads kept going in the background.
#include "providers/rss/feed_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/class_registry.h"
#include "platform/http_get.h"
#include "platform/registry_test_fixture.h"
#include "platform/stream.h"
#include "providers/rss/feed_downloader.h"
#include "providers/rss/feed_fetch.h"
#include "providers/rss/testdata/feed_server.h"

namespace velk {
namespace {

using testing::AddFeed;
using testing::AtomFeed;
using testing::FeedServer;
using testing::LastDownloaded;
using testing::RssFeed;

constexpr auto kSafety = std::chrono::seconds(10);

bool WaitFor(const std::function<bool()>& condition)
{
    const auto until = std::chrono::steady_clock::now() + kSafety;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string FeedKeyPath(const std::string& name)
{
    return std::string(FeedTable::kFeedsKey) + "\\" + name;
}

std::string UrlOf(const FeedRecord& record)
{
    std::string url;
    record.renderer()->get_URL(url);
    return url;
}

class FeedsTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        ASSERT_EQ(ClassRegistry::RegisterModule(VELK_RSS_MODULE), S_OK);
    }

    FeedServer server_;
    FeedTable table_;
};

TEST_F(FeedsTest, RereadingTheListKeepsUnchangedFeedsAndDropsDeletedOnes)
{
    const std::string kept = AddFeed(server_.Url("/kept"));
    const std::string changed = AddFeed(server_.Url("/old"));
    const std::string deleted = AddFeed(server_.Url("/deleted"));
    const std::string gone = AddFeed(server_.Url("/gone"));
    RegKey feeds;
    ASSERT_EQ(feeds.Open(Hive::LocalMachine, FeedTable::kFeedsKey, RegAccess::All), S_OK);
    RegKey not_a_feed;
    ASSERT_EQ(not_a_feed.Create(feeds, "not a guid"), S_OK);
    const std::string unknown_parser = AddFeed(server_.Url("/unknown"));
    RegKey parser;
    ASSERT_EQ(parser.Open(feeds, unknown_parser, RegAccess::All), S_OK);
    ASSERT_EQ(parser.SetStringValue("Parser", Guid::New().ToString()), S_OK);

    // A feed still being written: its renderer's state comes last.
    const std::string half_written = Guid::New().ToString();
    RegKey half;
    ASSERT_EQ(half.Create(feeds, half_written), S_OK);
    ASSERT_EQ(half.SetStringValue("Parser", CLSID_GenericRSSRenderer.ToString()), S_OK);

    table_.Reload();
    ASSERT_EQ(table_.Records().size(), 5u);
    EXPECT_FALSE(table_.Find(half_written));
    EXPECT_EQ(UrlOf(*table_.Find(kept)), server_.Url("/kept"));
    EXPECT_FALSE(table_.Find(unknown_parser)->renderer()) << "kept, never downloaded";
    EXPECT_FALSE(table_.Find("not a guid"));
    const auto kept_record = table_.Find(kept);
    const auto changed_record = table_.Find(changed);

    // A download notes itself in the subkey: that alone changes no record.
    RegKey noted;
    ASSERT_EQ(noted.Open(feeds, kept, RegAccess::All), S_OK);
    ASSERT_EQ(noted.SetBinaryValue("Last Downloaded", std::vector<std::uint8_t>(8, 1)), S_OK);
    RegKey edited;
    ASSERT_EQ(edited.Open(feeds, changed, RegAccess::All), S_OK);
    ASSERT_EQ(edited.SetBinaryValue("RSSParserConfig", testing::GenericRendererConfig(server_.Url("/new"))),
              S_OK);
    RegKey marked;
    ASSERT_EQ(marked.Open(feeds, deleted, RegAccess::All), S_OK);
    ASSERT_EQ(marked.SetDWORDValue("Flags", FeedTable::kFlagsDeleted), S_OK);
    ASSERT_EQ(feeds.DeleteTree(gone), S_OK);

    table_.Reload();
    EXPECT_EQ(table_.Find(kept), kept_record);
    ASSERT_TRUE(table_.Find(changed));
    EXPECT_NE(table_.Find(changed), changed_record);
    EXPECT_EQ(UrlOf(*table_.Find(changed)), server_.Url("/new"));
    EXPECT_FALSE(table_.Find(deleted));
    EXPECT_FALSE(table_.Find(gone));
    RegKey deleted_key;
    EXPECT_NE(deleted_key.Open(feeds, deleted), S_OK) << "a feed marked deleted goes from the registry";
}

TEST_F(FeedsTest, DownloadMakesANewerCopyCurrentAndNotesIt)
{
    const std::string name = AddFeed(server_.Url("/news"));
    table_.Reload();
    auto record = table_.Find(name);
    ASSERT_TRUE(record && record->renderer());

    struct Step {
        const char* name;
        std::string body;
        std::uint32_t interval_ms;
        bool replaces;
    };
    const Step kSteps[] = {
        {"first copy", RssFeed({"a"}, "Wed, 09 Dec 2026 10:00:00 GMT", "30"), 1800000, true},
        {"same date", RssFeed({"b"}, "Wed, 09 Dec 2026 10:00:00 GMT", "30"), 1800000, false},
        {"older date", RssFeed({"c"}, "Tue, 08 Dec 2026 10:00:00 GMT"), 60000, false},
        {"newer date", RssFeed({"d"}, "Wed, 09 Dec 2026 11:00:00 +0000"), 60000, true},
        {"no date", RssFeed({"e"}), 60000, true},
    };
    for (const auto& step : kSteps) {
        SCOPED_TRACE(step.name);
        const auto before = record->Current().document;
        RegKey key;
        ASSERT_EQ(key.Open(Hive::LocalMachine, FeedKeyPath(name), RegAccess::All), S_OK);
        ASSERT_EQ(key.SetBinaryValue("Last Downloaded", std::vector<std::uint8_t>(8, 0)), S_OK);
        server_.Serve("/news", {200, "text/xml", step.body});

        const FetchOutcome outcome = FetchFeed(*record);
        EXPECT_FALSE(outcome.error) << *outcome.error;
        EXPECT_EQ(outcome.interval_ms, step.interval_ms);
        const auto after = record->Current().document;
        EXPECT_EQ(after != before, step.replaces);
        EXPECT_EQ(LastDownloaded(name) != std::vector<std::uint8_t>(8, 0), step.replaces);
    }

    // An Atom feed says nothing of its age: each copy replaces the last.
    server_.Serve("/news", {200, "application/atom+xml", AtomFeed({"x"})});
    const auto before = record->Current().document;
    EXPECT_EQ(FetchFeed(*record).interval_ms, 60000u);
    EXPECT_NE(record->Current().document, before);
    EXPECT_TRUE(record->Current().atom);
}

TEST_F(FeedsTest, FailedDownloadSaysWhatWentWrong)
{
    server_.Serve("/broken", {200, "text/xml", "<rss><channel>"});
    server_.Serve("/denied", {403, "text/html", "no"});
    server_.Serve("/huge", {200, "text/xml", std::string(HttpRequest().max_body_bytes + 1, ' ')});
    struct Case {
        const char* name;
        std::string url;
        std::string reason;
        HRESULT code;
    };
    const Case kCases[] = {
        {"missing", server_.Url("/missing"), "HTTP status 404 (-2147467259)", E_FAIL},
        {"denied", server_.Url("/denied"), "HTTP status 403 (-2147467259)", E_FAIL},
        {"not XML", server_.Url("/broken"), "a document that is not well-formed XML (-2147024809)",
         E_INVALIDARG},
        {"no server", "http://127.0.0.1:1/feed", "", HRESULT_FROM_WIN32(ERROR_CONNECTION_REFUSED)},
        {"over the size limit", server_.Url("/huge"), "(-2147286928)", STG_E_MEDIUMFULL},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string name = AddFeed(c.url);
        table_.Reload();
        auto record = table_.Find(name);
        ASSERT_TRUE(record);
        const FetchOutcome outcome = FetchFeed(*record);
        ASSERT_TRUE(outcome.error);
        EXPECT_FALSE(outcome.interval_ms);
        const std::string start = "Failed to load feed " + c.url + ". The error returned was ";
        EXPECT_EQ(outcome.error->substr(0, start.size()), start);
        EXPECT_TRUE(outcome.error->ends_with(c.reason)) << *outcome.error;
        EXPECT_EQ(outcome.failure, c.code);
        EXPECT_FALSE(record->Current().document);
    }
}

TEST_F(FeedsTest, CredentialsOfTheFeedAreSent)
{
    const std::string name = AddFeed(server_.Url("/private"), Guid::New(), "reader", "s3cret");
    server_.Serve("/private", {200, "text/xml", RssFeed({"a"}), true});
    table_.Reload();
    ASSERT_FALSE(FetchFeed(*table_.Find(name)).error);
    EXPECT_EQ(server_.Authorization("/private"), "Basic cmVhZGVyOnMzY3JldA==");
}

TEST_F(FeedsTest, DownloaderKeepsEveryFeedFetchedAndReportsAFailureOnce)
{
    server_.Serve("/a", {200, "text/xml", RssFeed({"a1"})});
    const std::string a = AddFeed(server_.Url("/a"));
    const std::string broken = AddFeed(server_.Url("/broken"));
    std::mutex mutex;
    std::vector<std::string> reports;
    FeedDownloader downloader(table_, [&](const std::string& message) {
        std::lock_guard lock(mutex);
        reports.push_back(message);
    });
    downloader.Start();
    // The copy is kept first, its time written to the registry after it.
    ASSERT_TRUE(WaitFor([&] { return table_.Find(a) && table_.Find(a)->Current().document; }));
    EXPECT_TRUE(WaitFor([&] { return LastDownloaded(a).size() == 8u; }));

    // A feed added while it runs is found through the registry's change notification.
    server_.Serve("/b", {200, "text/xml", RssFeed({"b1"})});
    const std::string b = AddFeed(server_.Url("/b"));
    EXPECT_TRUE(WaitFor([&] { return table_.Find(b) && table_.Find(b)->Current().document; }));

    // The broken feed is tried again and again, and reported once.
    EXPECT_TRUE(WaitFor([&] { return server_.Hits("/broken") >= 2; }));
    downloader.Stop();
    std::lock_guard lock(mutex);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(server_.Url("/broken")), std::string::npos);
}

TEST_F(FeedsTest, AFeedOverTheSizeLimitWaitsItsWholeIntervalWhileAFailingOneIsTriedAgain)
{
    constexpr std::uint32_t kQuickRetryMs = 10;
    server_.Serve("/huge", {200, "text/xml", std::string(HttpRequest().max_body_bytes + 1, ' ')});
    const std::string huge_url = server_.Url("/huge");
    AddFeed(huge_url);
    AddFeed(server_.Url("/missing"));
    std::mutex mutex;
    std::vector<std::string> reports;
    FeedDownloader downloader(
        table_,
        [&](const std::string& message) {
            std::lock_guard lock(mutex);
            reports.push_back(message);
        },
        kQuickRetryMs);
    downloader.Start();
    const auto huge_reported = [&] {
        std::lock_guard lock(mutex);
        return std::any_of(reports.begin(), reports.end(), [&](const std::string& message) {
            return message.find(huge_url) != std::string::npos;
        });
    };
    ASSERT_TRUE(WaitFor(huge_reported));

    // The missing feed's next tries come long before the oversized one's interval is over.
    const int missing_hits = server_.Hits("/missing");
    ASSERT_TRUE(WaitFor([&] { return server_.Hits("/missing") >= missing_hits + 3; }));
    EXPECT_EQ(server_.Hits("/huge"), 1);
    downloader.Stop();
}

} // namespace
} // namespace velk
