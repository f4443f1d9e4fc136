// A player's part of the news-feed provider: the feeds it shows, in order (subkey names of the
// machine's feed list), and where it is in them: the current feed and the item shown last.
// Its stream holds the list: a 32-bit little-endian count, then each name as a 32-bit byte
// count and its ANSI bytes. Main apartment.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/stream.h"
#include "providers/rss/feed_record.h"

namespace velk {

class FeedTable;

struct RssDeviceState {
    std::vector<std::string> feeds;
    std::optional<std::size_t> position; // of the current feed in `feeds`
    std::shared_ptr<FeedRecord> current;
    std::int32_t item = -1; // the item shown last; -1 before the first

    // Moves to the next feed of the list that has a copy to show (from the first when there is
    // no position), item -1: feeds the table does not know, that cannot be drawn or have not
    // been downloaded yet are passed by. Without any such feed there is no current feed and
    // the position stays.
    void Advance(const FeedTable& table);
    // Back to the first feed of the list.
    void Reset(const FeedTable& table);
};

// Reads the list; a stream that ends early, a damaged name or a negative count gives the names
// read so far. Never fails.
HRESULT ReadRssDeviceState(IStream& stream, RssDeviceState& state);
HRESULT WriteRssDeviceState(IStream& stream, const RssDeviceState& state);

} // namespace velk
