// One feed of the machine's feed list as the news-feed provider keeps it: what the registry says
// of it, the renderer that draws its items, and the newest copy of the feed downloaded. Shared
// by the main apartment (which draws) and the download threads (which fetch): the copy is
// guarded by the record's own lock; everything else is fixed once the record is published. The
// service calls its renderer's get members from the download threads and Render on the main
// apartment, and changes nothing of the renderer after loading it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/date.h"
#include "platform/guid.h"
#include "platform/xml_document.h"
#include "velk/rss_renderer.h"

namespace velk {

// The namespace of Atom 0.3 feeds, under the prefix "atom" in every feed's queries.
inline constexpr const char* kAtomNamespace = "http://purl.org/atom/ns#";

struct FeedCopy {
    std::shared_ptr<const XmlDocument> document; // none until the first download
    bool atom = false;
    std::optional<Date> date; // how new the feed says it is (UTC)
};

class FeedRecord {
public:
    FeedRecord(Guid guid, std::string key_name, std::optional<Guid> parser,
               std::vector<std::uint8_t> parser_config, std::shared_ptr<IRSSRenderer> renderer)
        : guid_(guid), key_name_(std::move(key_name)), parser_(parser),
          parser_config_(std::move(parser_config)), renderer_(std::move(renderer))
    {
    }

    const Guid& guid() const { return guid_; }
    const std::string& key_name() const { return key_name_; }
    // The renderer class and its state as the registry held them when the record was made.
    const std::optional<Guid>& parser() const { return parser_; }
    const std::vector<std::uint8_t>& parser_config() const { return parser_config_; }
    // None when the renderer's class cannot be created: the feed is then never downloaded.
    const std::shared_ptr<IRSSRenderer>& renderer() const { return renderer_; }

    FeedCopy Current() const
    {
        std::lock_guard lock(mutex_);
        return copy_;
    }
    void Replace(FeedCopy copy)
    {
        std::lock_guard lock(mutex_);
        copy_ = std::move(copy);
    }

    // A failed download is reported once, until one succeeds again.
    std::atomic<bool> error_reported{false};

private:
    const Guid guid_;
    const std::string key_name_;
    const std::optional<Guid> parser_;
    const std::vector<std::uint8_t> parser_config_;
    const std::shared_ptr<IRSSRenderer> renderer_;

    mutable std::mutex mutex_;
    FeedCopy copy_;
};

} // namespace velk
