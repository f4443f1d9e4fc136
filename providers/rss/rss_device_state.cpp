#include "providers/rss/rss_device_state.h"

#include "platform/encoding.h"
#include "platform/stream_fields.h"
#include "providers/rss/feed_table.h"

namespace velk {

void RssDeviceState::Advance(const FeedTable& table)
{
    item = -1;
    current.reset();
    const std::size_t count = feeds.size();
    const std::size_t start = position && *position + 1 < count ? *position + 1 : 0;
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t at = (start + step) % count;
        auto record = table.Find(feeds[at]);
        if (record && record->renderer() && record->Current().document) {
            position = at;
            current = std::move(record);
            return;
        }
    }
}

void RssDeviceState::Reset(const FeedTable& table)
{
    position.reset();
    Advance(table);
}

HRESULT ReadRssDeviceState(IStream& stream, RssDeviceState& state)
{
    // A count that is missing or negative gives an empty list: the player is then told that it
    // has no feeds, rather than showing nothing.
    std::int32_t count = 0;
    if (ReadInt32(stream, count) != S_OK)
        count = 0;
    RssDeviceState read_state;
    for (std::int32_t i = 0; i < count; ++i) {
        std::string name;
        // A list cut short (or damaged) keeps the names before the cut.
        if (ReadCountedBytes(stream, name) != S_OK)
            break;
        read_state.feeds.push_back(FromAnsi(name));
    }
    state = std::move(read_state);
    return S_OK;
}

HRESULT WriteRssDeviceState(IStream& stream, const RssDeviceState& state)
{
    HRESULT hr = WriteInt32(stream, static_cast<std::int32_t>(state.feeds.size()));
    for (std::size_t i = 0; SUCCEEDED(hr) && i < state.feeds.size(); ++i)
        hr = WriteCountedBytes(stream, ToAnsi(state.feeds[i]));
    return hr;
}

} // namespace velk
