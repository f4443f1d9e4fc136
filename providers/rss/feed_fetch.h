// One download of a feed: fetched with its renderer's address and credentials, parsed, and made
// the feed's current copy when it is newer than the one held; the feed's subkey then notes the
// download ("Flags" 1, "Last Downloaded"). Blocks; runs on a download worker.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/event.h"
#include "providers/rss/feed_record.h"

namespace velk {

struct FetchOutcome {
    // When to fetch again: from the feed after a download, none otherwise.
    std::optional<std::uint32_t> interval_ms;
    // What went wrong, as the event log says it, and its code; none (S_OK) after a download.
    std::optional<std::string> error;
    HRESULT failure = S_OK;
};

// Setting cancel (when given) ends a download under way early: neither outcome is set then.
FetchOutcome FetchFeed(FeedRecord& record, const Event* cancel = nullptr);

// The namespace declarations of a renderer ("xmlns:p='uri' xmlns:q=\"uri\""), by prefix;
// pieces of another form are passed over.
std::map<std::string, std::string> ParseNamespaceDeclarations(std::string_view declarations);

} // namespace velk
