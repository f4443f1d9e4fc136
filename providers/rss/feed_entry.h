// A feed of the machine's list as the pages see it: its subkey read into a row (title, renderer
// made for the player being configured, flags, last download), and a feed written as the
// add-feed wizard and the feed's own sheet store it. GUI thread only.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/guid.h"
#include "platform/unknown.h"
#include "velk/rss_renderer.h"

namespace velk {

// What the add-feed wizard and a feed's sheet work on: the owner of their pages.
struct FeedDraft : IUnknown {
    std::string udn;   // the player the renderer is made for
    std::string model;
    std::string key_name; // the feed's subkey; empty for a feed not stored yet
    std::string title;
    std::string proposed_title; // the channel's title, as the address check found it
    Guid parser;
    std::shared_ptr<IRSSRenderer> renderer; // of class `parser`; null when it cannot be made
    bool wizard_mode = true; // adding a feed, rather than configuring one
};

struct FeedEntry {
    std::string key_name;
    std::string title;
    Guid parser;
    std::uint32_t flags = 0xFFFFFFFF; // a feed without "Flags" counts as marked for deletion
    std::optional<std::chrono::system_clock::time_point> last_downloaded;
    std::shared_ptr<IRSSRenderer> renderer; // null when its class cannot be made
    std::string url;                         // from the renderer
};

// A renderer of class parser for the player, with the stored state of the feed key_name when
// given (and readable); null when the class cannot be made.
std::shared_ptr<IRSSRenderer> MakeRenderer(const Guid& parser, const std::string& udn,
                                           const std::string& model,
                                           const std::string& key_name = {});

// Every feed of the list that is not marked for deletion, in subkey order.
std::vector<FeedEntry> ReadFeedEntries(const std::string& udn, const std::string& model);

// Writes the draft's feed: a new subkey (named by a new GUID) when it has none yet, the title,
// "Parser", "Flags" 1 and, last, the renderer's state. The draft's key_name is set.
HRESULT StoreFeed(FeedDraft& draft);

} // namespace velk
