// Keeps the feeds of a table downloaded. Its thread rereads the table whenever the feed list
// changes in the registry (and once when it starts) and gives each feed a timer, due at once;
// each download sets the feed's timer again, for when its FeedRetry says (the feed's interval,
// or a retry that backs off after a failure). Timers only queue work: a pool of workers runs
// the downloads, so that at most kMaxDownloads run at once and a slow site holds up no other
// feed. Owned by the news-feed provider, which starts and stops it; the report callback runs on
// a worker.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "platform/timer_queue.h"
#include "providers/rss/feed_fetch.h"
#include "providers/rss/feed_retry.h"
#include "providers/rss/feed_table.h"

namespace velk {

class FeedDownloader {
public:
    static constexpr std::size_t kMaxDownloads = 5;
    // The first retry of a feed that failed (later ones wait longer), and between looks at the
    // feed list while there is no key to watch.
    static constexpr std::uint32_t kRetryIntervalMs = 3000;

    // A failed download, in the words of the event log; once per feed until one succeeds.
    using Report = std::function<void(const std::string& message)>;

    // first_retry_ms: the wait before a failed feed's first retry (tests shorten it).
    FeedDownloader(FeedTable& table, Report report,
                   std::uint32_t first_retry_ms = kRetryIntervalMs);
    ~FeedDownloader();
    FeedDownloader(const FeedDownloader&) = delete;
    FeedDownloader& operator=(const FeedDownloader&) = delete;

    void Start();
    // Stops the thread and the workers; downloads under way are cancelled.
    void Stop();

private:
    // A one-shot timer, set again after each download of the feed.
    struct FeedTimer {
        std::shared_ptr<FeedRecord> record;
        TimerQueue::TimerId id = 0;
        FeedRetry retry;
    };

    void Run();
    void Work();
    // Gives the table's feeds their timers and takes them from feeds that have gone.
    void UpdateTimers();
    // A timer that queues the feed's download after due_ms; the caller holds the lock.
    TimerQueue::TimerId SetTimer(const std::shared_ptr<FeedRecord>& record, std::uint32_t due_ms);
    void Queue(const std::shared_ptr<FeedRecord>& record);
    // A failure goes to the report callback once, until a download succeeds again.
    void ReportOutcome(FeedRecord& record, const FetchOutcome& outcome);
    // Sets the feed's timer for its next download after this one; the caller holds the lock.
    void ScheduleNext(const std::shared_ptr<FeedRecord>& record, const FetchOutcome& outcome);

    FeedTable& table_;
    const Report report_;
    const std::uint32_t first_retry_ms_;
    Event stop_;
    std::thread thread_;
    std::vector<std::thread> workers_;
    std::unique_ptr<TimerQueue> timers_;

    std::mutex mutex_;
    std::condition_variable work_ready_;
    bool stopping_ = false;
    std::deque<std::shared_ptr<FeedRecord>> queue_;
    std::set<const FeedRecord*> pending_; // queued or downloading: never twice at once
    std::map<Guid, FeedTimer> feed_timers_;
};

} // namespace velk
