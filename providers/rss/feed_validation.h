// What the add-feed wizard makes of the answer at a feed address: a feed (RSS or Atom 0.3) with
// the title it proposes and a warning for old formats; an HTML page with the feeds it links
// to; or the reason it is neither. Pure: the fetch is the caller's. Any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/http_get.h"

namespace velk {

// A feed an HTML page names in a <link rel="alternate"> tag; href is absolute.
struct FeedLink {
    std::string title;
    std::string href;
};

struct FeedValidation {
    enum class Outcome { Feed, Links, Failed };
    Outcome outcome = Outcome::Failed;
    std::string title;   // Feed: the channel's title, proposed for the feed
    std::string warning; // Feed: set for formats older than the ones the renderers expect
    std::vector<FeedLink> links; // Links: at least one
    std::string message; // Failed: what to tell the user
};

// A page names at most this many feeds; the rest are passed by.
constexpr std::size_t kMaxFeedLinks = 32;
// Titles proposed from a feed or a link are cut to this many bytes (at a character boundary).
constexpr std::size_t kMaxProposedTitle = 256;

inline constexpr const char* kNotAFeed = "This document does not appear to be an RSS or Atom news feed.";
inline constexpr const char* kOldRss =
    "This document is a RSS format earlier than 2.0. It will not be optimised for the Velk Data Server";
inline constexpr const char* kOldAtom =
    "This document is an Atom format earlier than 0.3. It will not be optimsed for the Velk Data Server.";

// The answer to a GET of url (after its redirects).
FeedValidation ValidateFeedAnswer(std::string_view url, const HttpResponse& response);

// The media type of a Content-Type header, lower case, without parameters; "text/html" when
// the header is missing.
std::string MediaTypeOf(std::string_view content_type);

// href as an absolute address, read against the page at base; empty when it cannot be.
std::string ResolveLink(std::string_view base, std::string_view href);

} // namespace velk
