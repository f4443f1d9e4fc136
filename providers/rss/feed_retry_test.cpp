// When a feed is fetched next: its interval after a download, a retry that backs off after a
// failure, and the whole interval after a body over the size limit.
#include "providers/rss/feed_retry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/stream.h"

namespace velk {
namespace {

constexpr std::uint32_t kFirstRetryMs = 3000;
constexpr std::uint32_t kMinute = 60000;
constexpr HRESULT kRefused = HRESULT_FROM_WIN32(ERROR_CONNECTION_REFUSED);

// One download's outcome: a feed with its interval, or a failure's code.
struct Step {
    HRESULT failure;
    std::uint32_t interval_ms;
};
constexpr Step Downloaded(std::uint32_t interval_ms)
{
    return {S_OK, interval_ms};
}
constexpr Step Failed(HRESULT failure)
{
    return {failure, 0};
}

TEST(FeedRetry, FailuresBackOffUpToTheIntervalAndADownloadStartsOver)
{
    struct Case {
        const char* what;
        std::vector<Step> steps;
        std::vector<std::uint32_t> waits_ms;
    };
    const Case kCases[] = {
        {"a feed that never comes doubles its wait up to the default interval",
         {Failed(E_FAIL), Failed(E_FAIL), Failed(kRefused), Failed(E_FAIL), Failed(E_FAIL),
          Failed(E_FAIL), Failed(E_FAIL)},
         {3000, 6000, 12000, 24000, 48000, kMinute, kMinute}},
        {"a download waits the feed's own interval",
         {Downloaded(30 * kMinute), Downloaded(5 * kMinute)},
         {30 * kMinute, 5 * kMinute}},
        {"after a download the failures back off up to the feed's interval",
         {Downloaded(2 * kMinute), Failed(E_FAIL), Failed(E_FAIL), Failed(E_FAIL), Failed(E_FAIL),
          Failed(E_FAIL), Failed(E_FAIL), Failed(E_FAIL)},
         {2 * kMinute, 3000, 6000, 12000, 24000, 48000, 96000, 2 * kMinute}},
        {"a download starts the back-off over",
         {Failed(E_FAIL), Failed(E_FAIL), Failed(E_FAIL), Downloaded(kMinute), Failed(E_FAIL)},
         {3000, 6000, 12000, kMinute, 3000}},
        {"a body over the size limit waits the whole interval, before and after a download",
         {Failed(STG_E_MEDIUMFULL), Failed(STG_E_MEDIUMFULL), Downloaded(10 * kMinute),
          Failed(STG_E_MEDIUMFULL)},
         {kMinute, kMinute, 10 * kMinute, 10 * kMinute}},
        {"a body over the size limit does not count as a retry",
         {Failed(E_FAIL), Failed(STG_E_MEDIUMFULL), Failed(E_FAIL)},
         {3000, kMinute, 6000}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        FeedRetry retry(kFirstRetryMs);
        std::vector<std::uint32_t> waits;
        for (const auto& step : c.steps)
            waits.push_back(SUCCEEDED(step.failure) ? retry.Downloaded(step.interval_ms)
                                                    : retry.Failed(step.failure));
        EXPECT_EQ(waits, c.waits_ms);
    }
}

// However long a feed fails, the doubled wait neither overflows nor passes the interval.
TEST(FeedRetry, TheLongestIntervalStillCapsTheWait)
{
    FeedRetry retry(kFirstRetryMs);
    retry.Downloaded(0xFFFFFFFFu);
    std::uint32_t wait = 0;
    for (int i = 0; i < 40; ++i)
        wait = retry.Failed(E_FAIL);
    EXPECT_EQ(wait, 0xFFFFFFFFu);
}

} // namespace
} // namespace velk
