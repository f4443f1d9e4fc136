// Change notification for registry keys, in this process and across processes: one thread per
// process that wakes on inotify events in the folders of watched hive files, reads each file's
// change log, and sets the events of the one-shot watches whose keys changed. Owned by the
// Registry, started on first use, stopped and joined at exit.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "platform/hresult.h"

namespace velk {

class HiveFile;

class RegistryWatcher {
public:
    // Without inotify for a folder (none left, or the folder cannot be watched) the logs are
    // read at this interval instead.
    static constexpr std::uint32_t kFallbackPollMs = 1000;

    RegistryWatcher();
    ~RegistryWatcher();
    RegistryWatcher(const RegistryWatcher&) = delete;
    RegistryWatcher& operator=(const RegistryWatcher&) = delete;

    // Sets event once, when the log of file records a change after sequence `after` to the key
    // at the folded path (or below it, with subtree). The event must outlive the watch: until it
    // is set or the owner's watches are cancelled.
    HRESULT Add(std::shared_ptr<HiveFile> file, std::string path, bool subtree, std::int64_t after,
                Event& event, std::uint64_t owner);
    // Drops the owner's watches; none of their events is set after this returns.
    void Cancel(std::uint64_t owner);

private:
    struct Watch {
        std::uint64_t owner;
        std::shared_ptr<HiveFile> file;
        std::string path;
        bool subtree;
        std::int64_t after;
        Event* event;
    };

    void Run();
    // Watches the folders of the watched files and no others; false when one is not watched.
    bool UpdateFolderWatches();
    void DrainNotifications();
    void CheckLogs();

    std::mutex mutex_;
    std::vector<Watch> watches_;
    // Folder -> inotify watch descriptor; touched by the watcher thread only.
    std::map<std::string, int> folders_;
    int inotify_ = -1;
    Event stop_;
    Event changed_{Event::Reset::Auto};
    std::thread thread_;
};

} // namespace velk
