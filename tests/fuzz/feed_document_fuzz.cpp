// Feeds come from any web server: whatever document arrives must be parsed or refused, and a
// parsed one must give its schedule and the display line of each item's title, without a crash
// or a hang.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "platform/xml_document.h"
#include "platform/xml_dom_node.h"
#include "providers/rss/feed_record.h"
#include "providers/rss/feed_schedule.h"
#include "providers/rss/feed_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<velk::XmlDocument> parsed;
    if (velk::FAILED(velk::XmlDocument::Parse(text, parsed)))
        return 0;
    parsed->SetSelectionNamespaces({{"atom", velk::kAtomNamespace}});
    const velk::FeedSchedule schedule = velk::ScheduleOf(*parsed);
    if (schedule.interval_ms < 60000 || (schedule.date && !schedule.date->IsValid()))
        std::abort();
    std::shared_ptr<const velk::XmlDocument> document = std::move(parsed);
    for (const char* items : {"//rss/channel/item", "//atom:feed//atom:entry"}) {
        for (const auto& item : document->SelectNodes(items)) {
            auto node = velk::MakeDomNode(document, item);
            std::shared_ptr<velk::IXMLDOMNode> title;
            if (node->selectSingleNode("title", title) != velk::S_OK &&
                node->selectSingleNode("atom:title", title) != velk::S_OK)
                continue;
            std::string words;
            title->get_text(words);
            velk::DisplayLine(velk::DecodeNumericReferences(words));
        }
    }
    return 0;
}
