// When a feed is fetched next, from how its downloads have gone: after a download, at the feed's
// own interval; after a failure, soon and then less and less often, the wait doubling from the
// first retry up to that interval; and a feed over the size limit only after the whole interval,
// as every try would move as much again. One per feed; its owner keeps it under its lock.
#pragma once

#include <cstdint>

#include "platform/hresult.h"
#include "providers/rss/feed_schedule.h"

namespace velk {

class FeedRetry {
public:
    explicit FeedRetry(std::uint32_t first_retry_ms) : first_retry_ms_(first_retry_ms) {}

    // The wait before the next fetch after a download that gave the feed's interval.
    std::uint32_t Downloaded(std::uint32_t interval_ms);
    // The wait before the next fetch after a failed one; failure is its code (STG_E_MEDIUMFULL
    // for a body over the size limit).
    std::uint32_t Failed(HRESULT failure);

private:
    const std::uint32_t first_retry_ms_;
    // The feed's own interval, from its last download; the default before the first.
    std::uint32_t interval_ms_ = kDefaultFeedIntervalMs;
    std::uint32_t failures_ = 0; // since the last download
};

} // namespace velk
