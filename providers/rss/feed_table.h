// The machine's feed list (HKLM "SOFTWARE\Velk\DataServer\RSS Feeds", one subkey per feed named
// by its GUID) as the news-feed provider holds it: a record per feed, reread whenever the list
// changes. Any thread; one lock guards the table.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "providers/rss/feed_record.h"

namespace velk {

class FeedTable {
public:
    static constexpr const char* kFeedsKey = "SOFTWARE\\Velk\\DataServer\\RSS Feeds";
    // The values of a feed's subkey; its default value is the title.
    static constexpr const char* kParserValue = "Parser";
    static constexpr const char* kParserConfigValue = "RSSParserConfig";
    static constexpr const char* kFlagsValue = "Flags";
    static constexpr const char* kLastDownloadedValue = "Last Downloaded";
    // "Flags" of a feed stored or downloaded.
    static constexpr std::uint32_t kFlagsStored = 1;
    // A feed whose "Flags" hold this is deleted at the next reread.
    static constexpr std::uint32_t kFlagsDeleted = 0xFFFFFFFF;

    // Rereads the list. A feed keeps its record (and the copy downloaded) while its renderer
    // class and state stay as they were; a changed one gets a new record; a feed marked
    // deleted, or whose subkey has gone, leaves the table, and marked subkeys are deleted.
    // Subkeys whose names are no GUIDs, and feeds without their renderer's state (which is
    // written last), are passed over. Nothing changes when the key cannot be opened.
    void Reload();

    // The record of the feed with that subkey name; none when the table has no such feed.
    std::shared_ptr<FeedRecord> Find(std::string_view key_name) const;
    std::vector<std::shared_ptr<FeedRecord>> Records() const;
    void Clear();

private:
    std::mutex reload_mutex_; // one reread at a time, so that an older one never lands last
    mutable std::mutex mutex_;
    std::map<Guid, std::shared_ptr<FeedRecord>> records_;
};

} // namespace velk
