#include "providers/rss/feed_retry.h"

#include <algorithm>

#include "platform/stream.h"

namespace velk {

std::uint32_t FeedRetry::Downloaded(std::uint32_t interval_ms)
{
    interval_ms_ = interval_ms;
    failures_ = 0;
    return interval_ms_;
}

std::uint32_t FeedRetry::Failed(HRESULT failure)
{
    if (failure == STG_E_MEDIUMFULL)
        return interval_ms_;
    // Past 32 doublings every wait is the interval: the count stops there.
    failures_ = std::min<std::uint32_t>(failures_ + 1, 32);
    const std::uint64_t wait = std::uint64_t{first_retry_ms_} << (failures_ - 1);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(wait, interval_ms_));
}

} // namespace velk
