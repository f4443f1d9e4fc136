// Reply lines of song, preset and signal information and visualizer data come from the player
// over the network: any bytes must leave a consistent record or an array of byte values, never
// a crash, and resource indexes must never run past the resources read. The bytes as they
// arrive, in reads of any size, cut into lines that give back exactly what arrived, and never
// more than one line is held.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rcp/rcp_network.h"
#include "rcp/rcp_preset.h"
#include "rcp/rcp_song.h"
#include "rcp/rcp_visualizers.h"
#include "rcp/reply_lines.h"

namespace {

void CutAsReads(std::string_view input)
{
    constexpr std::size_t kMaxLine = 64;
    velk::ReplyLineBuffer buffer(kMaxLine);
    std::string taken;
    std::size_t fed = 0;
    while (fed < input.size()) {
        // Each read's size from the byte it starts with.
        const std::size_t size = std::min<std::size_t>(
            1 + static_cast<unsigned char>(input[fed]) % 17, input.size() - fed);
        const bool fits = buffer.Append(input.substr(fed, size));
        fed += size;
        if (!fits) {
            if (buffer.Pending().size() <= kMaxLine)
                std::abort();
            return;
        }
        while (const auto line = buffer.NextLine()) {
            if (line->find("\r\n") != std::string_view::npos)
                std::abort();
            // A line given back comes again, the same.
            if (line->size() % 2 == 0) {
                buffer.Unread();
                const auto again = buffer.NextLine();
                if (!again || *again != *line)
                    std::abort();
            }
            taken += *line;
            taken += "\r\n";
        }
        if (buffer.Pending().size() > kMaxLine)
            std::abort();
    }
    if (taken + std::string(buffer.Pending()) != input)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Each line of the input as one reply line.
    velk::SongInfo song;
    velk::PresetInfo preset;
    std::size_t lines = 0;
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        const std::string_view line = input.substr(start, end - start);
        velk::ApplySongInfoLine(song, line);
        velk::ApplyPresetInfoLine(preset, line);
        velk::SignalQualityFromLine(velk::RCPSignalQuality::SignalQualityNoise, line);
        ++lines;
        start = end + 1;
    }
    if (song.resources.size() > lines || song.duration_seconds < 0)
        std::abort();

    // The whole input as one data value.
    const velk::Variant bytes = velk::ParseVisualizerData(input);
    const auto* array = bytes.Get<velk::VariantArray>();
    if (!array || array->elements.size() > input.size() / 2)
        std::abort();
    for (const auto& byte : array->elements) {
        const auto* value = byte.Get<std::int32_t>();
        if (!value || *value < 0 || *value > 255)
            std::abort();
    }

    CutAsReads(input);
    return 0;
}
