#include "providers/rss/feed_table.h"

#include "platform/class_registry.h"
#include "platform/memory_stream.h"
#include "platform/reg_key.h"

namespace velk {

namespace {

// The renderer of a feed, loaded from its state; none when its class cannot be created.
std::shared_ptr<IRSSRenderer> CreateRenderer(const std::optional<Guid>& parser,
                                             const std::vector<std::uint8_t>& config)
{
    std::shared_ptr<IRSSRenderer> renderer;
    if (!parser || FAILED(ClassRegistry::CreateInstance(*parser, renderer)) || !renderer)
        return nullptr;
    MemoryStream stream(config);
    renderer->Load(stream);
    return renderer;
}

struct FeedKey {
    Guid guid;
    std::string name;
    DWORD flags = 0;
    std::optional<Guid> parser;
    std::vector<std::uint8_t> config;
};

std::optional<FeedKey> ReadFeedKey(const RegKey& feeds, const std::string& name)
{
    const auto guid = Guid::Parse(name);
    RegKey key;
    if (!guid || FAILED(key.Open(feeds, name)))
        return std::nullopt;
    FeedKey feed;
    feed.guid = *guid;
    feed.name = name;
    key.QueryDWORDValue(FeedTable::kFlagsValue, feed.flags);
    std::string parser;
    if (SUCCEEDED(key.QueryStringValue(FeedTable::kParserValue, parser)))
        feed.parser = Guid::Parse(parser);
    // The renderer's state is written last: a feed without it is still being written.
    if (FAILED(key.QueryBinaryValue(FeedTable::kParserConfigValue, feed.config)))
        return std::nullopt;
    return feed;
}

} // namespace

void FeedTable::Reload()
{
    std::lock_guard reloading(reload_mutex_);
    RegKey feeds;
    std::vector<std::string> names;
    if (FAILED(feeds.Open(Hive::LocalMachine, kFeedsKey)) || FAILED(feeds.EnumKeys(names)))
        return;
    std::vector<FeedKey> listed;
    for (const auto& name : names) {
        if (auto feed = ReadFeedKey(feeds, name))
            listed.push_back(std::move(*feed));
    }

    std::vector<std::string> deleted;
    {
        std::lock_guard lock(mutex_);
        std::map<Guid, std::shared_ptr<FeedRecord>> records;
        for (auto& feed : listed) {
            if (feed.flags == kFlagsDeleted) {
                deleted.push_back(feed.name);
                continue;
            }
            auto kept = records_.find(feed.guid);
            if (kept != records_.end() && kept->second->parser() == feed.parser &&
                kept->second->parser_config() == feed.config) {
                records.emplace(feed.guid, kept->second);
                continue;
            }
            auto renderer = CreateRenderer(feed.parser, feed.config);
            records.emplace(feed.guid,
                            std::make_shared<FeedRecord>(feed.guid, feed.name, feed.parser,
                                                         std::move(feed.config), std::move(renderer)));
        }
        records_ = std::move(records);
    }

    if (deleted.empty())
        return;
    RegKey writable;
    if (FAILED(writable.Open(Hive::LocalMachine, kFeedsKey, RegAccess::All)))
        return;
    for (const auto& name : deleted)
        writable.DeleteTree(name);
}

std::shared_ptr<FeedRecord> FeedTable::Find(std::string_view key_name) const
{
    const auto guid = Guid::Parse(key_name);
    if (!guid)
        return nullptr;
    std::lock_guard lock(mutex_);
    auto found = records_.find(*guid);
    return found == records_.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<FeedRecord>> FeedTable::Records() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<FeedRecord>> records;
    for (const auto& [guid, record] : records_)
        records.push_back(record);
    return records;
}

void FeedTable::Clear()
{
    std::lock_guard lock(mutex_);
    records_.clear();
}

} // namespace velk
