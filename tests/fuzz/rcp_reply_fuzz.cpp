// Reply lines of song, preset and signal information and visualizer data come from the player
// over the network: any bytes must leave a consistent record or an array of byte values, never
// a crash, and resource indexes must never run past the resources read.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "rcp/rcp_network.h"
#include "rcp/rcp_preset.h"
#include "rcp/rcp_song.h"
#include "rcp/rcp_visualizers.h"

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
    return 0;
}
