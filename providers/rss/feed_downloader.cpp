#include "providers/rss/feed_downloader.h"

#include "platform/reg_key.h"

namespace velk {

namespace {

// The key whose changes tell of a changed feed list: the feeds key with everything below it,
// or, while there is none, its parent (for the key's creation). False when neither opens.
bool WatchFeedList(RegKey& key, Event& changed)
{
    key.Close();
    changed.Reset();
    if (SUCCEEDED(key.Open(Hive::LocalMachine, FeedTable::kFeedsKey)))
        return SUCCEEDED(key.NotifyChange(changed, true));
    const std::string feeds = FeedTable::kFeedsKey;
    return SUCCEEDED(key.Open(Hive::LocalMachine, feeds.substr(0, feeds.rfind('\\')))) &&
           SUCCEEDED(key.NotifyChange(changed, false));
}

} // namespace

FeedDownloader::FeedDownloader(FeedTable& table, Report report, std::uint32_t first_retry_ms)
    : table_(table), report_(std::move(report)), first_retry_ms_(first_retry_ms)
{
}

FeedDownloader::~FeedDownloader()
{
    Stop();
}

void FeedDownloader::Start()
{
    if (thread_.joinable())
        return;
    stop_.Reset();
    stopping_ = false;
    timers_ = std::make_unique<TimerQueue>();
    for (std::size_t i = 0; i < kMaxDownloads; ++i)
        workers_.emplace_back([this] { Work(); });
    thread_ = std::thread([this] { Run(); });
}

void FeedDownloader::Stop()
{
    if (!thread_.joinable())
        return;
    stop_.Set();
    thread_.join();
    // From here on neither a timer nor a worker touches the timers: then they can go.
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
        pending_.clear();
        feed_timers_.clear();
    }
    work_ready_.notify_all();
    timers_.reset();
    for (auto& worker : workers_)
        worker.join();
    workers_.clear();
}

void FeedDownloader::Run()
{
    Event changed;
    changed.Set(); // the table is read once at the start
    RegKey watched;
    for (;;) {
        const bool watching = watched.IsOpen();
        // Without a key to watch, the list is looked at again now and then.
        const int woken = WaitAny({stop_, changed}, watching ? kInfinite : kRetryIntervalMs);
        if (woken == 0)
            return;
        // Watched again before the reread: a change made meanwhile wakes us once more.
        WatchFeedList(watched, changed);
        table_.Reload();
        UpdateTimers();
    }
}

void FeedDownloader::UpdateTimers()
{
    const auto records = table_.Records();
    std::vector<TimerQueue::TimerId> gone;
    std::unique_lock lock(mutex_);
    std::map<Guid, FeedTimer> kept;
    for (const auto& record : records) {
        if (!record->renderer())
            continue;
        auto found = feed_timers_.find(record->guid());
        if (found != feed_timers_.end() && found->second.record == record) {
            kept.emplace(record->guid(), std::move(found->second));
            feed_timers_.erase(found);
            continue;
        }
        kept.emplace(record->guid(),
                     FeedTimer{record, SetTimer(record, 0), FeedRetry(first_retry_ms_)});
    }
    // What is left belongs to feeds that have gone or have been replaced.
    for (const auto& [guid, timer] : feed_timers_)
        gone.push_back(timer.id);
    feed_timers_ = std::move(kept);
    // Deleting waits for a running callback, which may be waiting for the lock.
    lock.unlock();
    for (const auto id : gone)
        timers_->DeleteTimer(id);
}

TimerQueue::TimerId FeedDownloader::SetTimer(const std::shared_ptr<FeedRecord>& record,
                                             std::uint32_t due_ms)
{
    std::weak_ptr<FeedRecord> weak = record;
    return timers_->CreateTimer(
        [this, weak] {
            if (auto live = weak.lock())
                Queue(live);
        },
        due_ms, 0);
}

void FeedDownloader::Queue(const std::shared_ptr<FeedRecord>& record)
{
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || stop_.IsSet() || !pending_.insert(record.get()).second)
            return;
        queue_.push_back(record);
    }
    work_ready_.notify_one();
}

void FeedDownloader::Work()
{
    for (;;) {
        std::shared_ptr<FeedRecord> record;
        {
            std::unique_lock lock(mutex_);
            work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            record = std::move(queue_.front());
            queue_.pop_front();
        }
        const FetchOutcome outcome = FetchFeed(*record, &stop_);
        // Stopping: what was under way says nothing of the feed.
        const bool stopped = stop_.IsSet();
        if (!stopped)
            ReportOutcome(*record, outcome);
        // No longer pending before its timer is set again: a timer due at once finds it free.
        std::lock_guard lock(mutex_);
        pending_.erase(record.get());
        if (!stopped)
            ScheduleNext(record, outcome);
    }
}

void FeedDownloader::ReportOutcome(FeedRecord& record, const FetchOutcome& outcome)
{
    if (!outcome.error) {
        record.error_reported = false;
        return;
    }
    if (!record.error_reported.exchange(true) && report_)
        report_(*outcome.error);
}

void FeedDownloader::ScheduleNext(const std::shared_ptr<FeedRecord>& record,
                                  const FetchOutcome& outcome)
{
    auto found = feed_timers_.find(record->guid());
    // A feed that has gone or been replaced meanwhile has no timer of its own any more.
    if (stopping_ || found == feed_timers_.end() || found->second.record != record)
        return;
    FeedRetry& retry = found->second.retry;
    const std::uint32_t due_ms =
        outcome.error ? retry.Failed(outcome.failure)
                      : retry.Downloaded(outcome.interval_ms.value_or(kDefaultFeedIntervalMs));
    found->second.id = SetTimer(record, due_ms);
}

} // namespace velk
