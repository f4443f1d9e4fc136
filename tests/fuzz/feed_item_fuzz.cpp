// Feed items, their dates and stored state come from the network and from stored bytes: any
// input must give a display line without control characters and a date or none, and any bytes
// read as a renderer's or a player's stream must be taken or refused without a crash or a huge
// allocation.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/memory_stream.h"
#include "providers/rss/feed_schedule.h"
#include "providers/rss/feed_text.h"
#include "providers/rss/generic_renderer_state.h"
#include "providers/rss/rss_device_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string line = velk::DisplayLine(velk::DecodeNumericReferences(text));
    for (const char c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            std::abort();
    }
    if (!line.empty() && (line.front() == ' ' || line.back() == ' '))
        std::abort();

    if (const auto date = velk::ParseFeedDate(text); date && !date->IsValid())
        std::abort();

    // No key in this folder: credentials never open, everything else is read.
    static const velk::DataProtection no_key("/nonexistent/velk-fuzz");
    velk::MemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    velk::GenericRendererState state;
    velk::ReadGenericRendererState(stream, no_key, state);
    velk::MemoryStream list(std::vector<std::uint8_t>(data, data + size));
    velk::RssDeviceState player;
    velk::ReadRssDeviceState(list, player);
    return 0;
}
