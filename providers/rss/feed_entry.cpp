#include "providers/rss/feed_entry.h"

#include "platform/class_registry.h"
#include "platform/file_time.h"
#include "platform/reg_key.h"
#include "platform/reg_stream.h"
#include "providers/rss/feed_table.h"

namespace velk {

namespace {

std::string FeedKeyPath(const std::string& key_name)
{
    return std::string(FeedTable::kFeedsKey) + "\\" + key_name;
}

} // namespace

std::shared_ptr<IRSSRenderer> MakeRenderer(const Guid& parser, const std::string& udn,
                                           const std::string& model, const std::string& key_name)
{
    std::shared_ptr<IRSSRenderer> renderer;
    if (FAILED(ClassRegistry::CreateInstance(parser, renderer)) || !renderer)
        return nullptr;
    renderer->Initialize(udn, model);
    std::shared_ptr<IStream> stream;
    if (!key_name.empty() &&
        SUCCEEDED(OpenRegStream(Hive::LocalMachine, FeedKeyPath(key_name),
                                FeedTable::kParserConfigValue, StreamMode::Read, stream)))
        renderer->Load(*stream);
    return renderer;
}

std::vector<FeedEntry> ReadFeedEntries(const std::string& udn, const std::string& model)
{
    std::vector<FeedEntry> entries;
    RegKey feeds;
    std::vector<std::string> names;
    if (FAILED(feeds.Open(Hive::LocalMachine, FeedTable::kFeedsKey)) || FAILED(feeds.EnumKeys(names)))
        return entries;
    for (const auto& name : names) {
        RegKey key;
        if (FAILED(key.Open(feeds, name)))
            continue;
        FeedEntry entry;
        entry.key_name = name;
        key.QueryDWORDValue(FeedTable::kFlagsValue, entry.flags);
        if (entry.flags == FeedTable::kFlagsDeleted)
            continue;
        key.QueryStringValue("", entry.title);
        std::string parser;
        key.QueryStringValue(FeedTable::kParserValue, parser);
        if (auto guid = Guid::Parse(parser)) {
            entry.parser = *guid;
            entry.renderer = MakeRenderer(*guid, udn, model, name);
        }
        if (entry.renderer)
            entry.renderer->get_URL(entry.url);
        std::vector<std::uint8_t> stamp;
        if (SUCCEEDED(key.QueryBinaryValue(FeedTable::kLastDownloadedValue, stamp)))
            entry.last_downloaded = TimeOfFileTime(stamp);
        entries.push_back(std::move(entry));
    }
    return entries;
}

HRESULT StoreFeed(FeedDraft& draft)
{
    if (!draft.renderer)
        return E_POINTER;
    const std::string name = draft.key_name.empty() ? Guid::New().ToString() : draft.key_name;
    RegKey key;
    HRESULT hr = key.Create(Hive::LocalMachine, FeedKeyPath(name));
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = key.SetStringValue("", draft.title)) ||
        FAILED(hr = key.SetStringValue(FeedTable::kParserValue, draft.parser.ToString())) ||
        FAILED(hr = key.SetDWORDValue(FeedTable::kFlagsValue, FeedTable::kFlagsStored)))
        return hr;
    // Last: the provider passes by a feed until its renderer's state is there.
    std::shared_ptr<IStream> stream;
    hr = OpenRegStream(Hive::LocalMachine, FeedKeyPath(name), FeedTable::kParserConfigValue,
                       StreamMode::Write, stream);
    if (FAILED(hr) || FAILED(hr = draft.renderer->Save(*stream)) || FAILED(hr = stream->Commit()))
        return hr;
    key.Flush();
    draft.key_name = name;
    return S_OK;
}

} // namespace velk
