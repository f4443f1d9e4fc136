#include "platform/registry_watcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <set>

#include "platform/hive_file.h"

namespace velk {

namespace {

// A commit shows as a write to the hive file and the creation and removal of its journal.
constexpr std::uint32_t kFolderEvents =
    IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_ONLYDIR;

bool IsBelow(std::string_view path, std::string_view folder)
{
    return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '\\';
}

bool Affects(const HiveFile::Change& change, std::string_view path, bool subtree)
{
    return change.path == path || (subtree && IsBelow(change.path, path)) ||
           (change.subtree && IsBelow(path, change.path));
}

std::string FolderOf(const HiveFile& file)
{
    return std::filesystem::path(file.path()).parent_path().string();
}

} // namespace

RegistryWatcher::RegistryWatcher()
    : inotify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), thread_([this] { Run(); })
{
}

RegistryWatcher::~RegistryWatcher()
{
    stop_.Set();
    thread_.join();
    if (inotify_ >= 0)
        close(inotify_);
}

HRESULT RegistryWatcher::Add(std::shared_ptr<HiveFile> file, std::string path, bool subtree,
                             std::int64_t after, Event& event, std::uint64_t owner)
{
    {
        std::lock_guard lock(mutex_);
        watches_.push_back({owner, std::move(file), std::move(path), subtree, after, &event});
    }
    changed_.Set();
    return S_OK;
}

void RegistryWatcher::Cancel(std::uint64_t owner)
{
    std::lock_guard lock(mutex_);
    std::erase_if(watches_, [&](const Watch& watch) { return watch.owner == owner; });
}

void RegistryWatcher::Run()
{
    for (;;) {
        bool all_watched = false;
        try {
            all_watched = UpdateFolderWatches();
            // Read after the folders are watched: a change made before then is in the log
            // already.
            CheckLogs();
        } catch (const std::bad_alloc&) {
            // Tried again at the next wake-up; the fallback interval makes sure there is one.
        }
        const std::uint32_t timeout = all_watched ? kInfinite : kFallbackPollMs;
        const int woken = inotify_ >= 0
                              ? WaitAny({stop_, changed_, Waitable::Socket(inotify_)}, timeout)
                              : WaitAny({stop_, changed_}, timeout);
        if (woken == 0)
            return;
        if (woken == 2)
            DrainNotifications();
    }
}

bool RegistryWatcher::UpdateFolderWatches()
{
    std::set<std::string> wanted;
    {
        std::lock_guard lock(mutex_);
        for (const auto& watch : watches_)
            wanted.insert(FolderOf(*watch.file));
    }
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (wanted.count(it->first) == 0) {
            inotify_rm_watch(inotify_, it->second);
            it = folders_.erase(it);
        } else {
            ++it;
        }
    }
    bool all_watched = true;
    for (const auto& folder : wanted) {
        if (folders_.count(folder))
            continue;
        const int descriptor =
            inotify_ >= 0 ? inotify_add_watch(inotify_, folder.c_str(), kFolderEvents) : -1;
        if (descriptor < 0)
            all_watched = false;
        else
            folders_[folder] = descriptor;
    }
    return all_watched;
}

void RegistryWatcher::DrainNotifications()
{
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const auto size = read(inotify_, buffer, sizeof buffer);
        if (size <= 0)
            return;
        for (ssize_t offset = 0; offset < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            // The folder went away: its watch is gone, and it is added again when needed.
            if (event->mask & IN_IGNORED) {
                std::erase_if(folders_,
                              [&](const auto& folder) { return folder.second == event->wd; });
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

void RegistryWatcher::CheckLogs()
{
    // Snapshot of the files to read and how far back, taken without reading under the lock:
    // reading waits for the file's own lock, which a thread in a transaction holds while it may
    // call Add or Cancel.
    struct Pending {
        std::shared_ptr<HiveFile> file;
        std::int64_t after; // the oldest point any of its watches began at
    };
    std::map<const HiveFile*, Pending> files;
    {
        std::lock_guard lock(mutex_);
        for (const auto& watch : watches_) {
            auto [it, added] =
                files.try_emplace(watch.file.get(), Pending{watch.file, watch.after});
            if (!added)
                it->second.after = std::min(it->second.after, watch.after);
        }
    }
    for (const auto& entry : files) {
        const HiveFile* file = entry.first;
        std::vector<HiveFile::Change> changes;
        std::int64_t oldest = 0;
        if (FAILED(entry.second.file->ReadChanges(entry.second.after, changes, oldest)) ||
            changes.empty())
            continue;
        std::lock_guard lock(mutex_);
        std::erase_if(watches_, [&](const Watch& watch) {
            if (watch.file.get() != file)
                return false;
            // Entries after the watch began were pruned: they may have been about its key.
            bool fire = oldest > watch.after + 1;
            for (const auto& change : changes) {
                if (fire)
                    break;
                fire = change.sequence > watch.after && Affects(change, watch.path, watch.subtree);
            }
            if (fire)
                watch.event->Set();
            return fire;
        });
    }
}

} // namespace velk
