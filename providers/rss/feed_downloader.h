// Keeps the feeds of a table downloaded. Its thread rereads the table whenever the feed list
// changes in the registry (and once when it starts) and gives each feed a timer, due at once and
// then every few seconds until a download tells the feed's own interval. Timers only queue work:
// a pool of workers runs the downloads, so that at most kMaxDownloads run at once and a slow
// site holds up no other feed. Owned by the news-feed provider, which starts and stops it; the
// report callback runs on a worker.
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
#include "providers/rss/feed_table.h"

namespace velk {

class FeedDownloader {
public:
    static constexpr std::size_t kMaxDownloads = 5;
    // Between tries of a feed that has not been downloaded yet.
    static constexpr std::uint32_t kRetryIntervalMs = 3000;

    // A failed download, in the words of the event log; once per feed until one succeeds.
    using Report = std::function<void(const std::string& message)>;

    FeedDownloader(FeedTable& table, Report report);
    ~FeedDownloader();
    FeedDownloader(const FeedDownloader&) = delete;
    FeedDownloader& operator=(const FeedDownloader&) = delete;

    void Start();
    // Stops the thread and the workers; downloads under way are cancelled.
    void Stop();

private:
    struct FeedTimer {
        std::shared_ptr<FeedRecord> record;
        TimerQueue::TimerId id = 0;
    };

    void Run();
    void Work();
    // Gives the table's feeds their timers and takes them from feeds that have gone.
    void UpdateTimers();
    void Queue(const std::shared_ptr<FeedRecord>& record);
    void Download(const std::shared_ptr<FeedRecord>& record);

    FeedTable& table_;
    const Report report_;
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
