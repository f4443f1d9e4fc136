// What the news-feed provider's page edits: the feeds the player being configured shows, in
// order, by subkey name of the machine's feed list. The page's changes go into the provider at
// once; saving the player's state (the configuration side's Apply) stores them.
#pragma once

#include <string>
#include <vector>

namespace velk {

class IRssFeedListSettings {
public:
    virtual ~IRssFeedListSettings() = default;

    // The player handed to Configure: its UDN and model.
    virtual std::string ConfiguredPlayer() const = 0;
    virtual std::string ConfiguredModel() const = 0;
    virtual std::vector<std::string> PlayerFeeds() const = 0;
    virtual void SetPlayerFeeds(std::vector<std::string> feeds) = 0;
};

} // namespace velk
