#include "renderfold/transport_words.h"

#include <array>
#include <utility>

namespace velk {

namespace {

struct StateWord {
    tagAVTransportState state;
    std::string_view word;
    const char* text;
};

constexpr std::array<StateWord, 7> kStates = {{
    {AV_TRANSPORT_STOPPED, "STOPPED", "Stopped"},
    {AV_TRANSPORT_PLAYING, "PLAYING", "Playing"},
    {AV_TRANSPORT_TRANSITIONING, "TRANSITIONING", "Buffering..."},
    {AV_TRANSPORT_PAUSED_PLAYBACK, "PAUSED_PLAYBACK", "Paused"},
    {AV_TRANSPORT_PAUSED_RECORDING, "PAUSED_RECORDING", "Paused (Record)"},
    {AV_TRANSPORT_RECORDING, "RECORDING", "Recording"},
    {AV_TRANSPORT_NO_MEDIA_PRESENT, "NO_MEDIA_PRESENT", "No Media Present"},
}};

// Indexed by PlayMode.
constexpr std::array<std::pair<std::string_view, const char*>, 7> kModes = {{
    {"NORMAL", "Normal"},
    {"SHUFFLE", "Shuffle"},
    {"REPEAT_ONE", "Repeat One"},
    {"REPEAT_ALL", "Repeat All"},
    {"RANDOM", "Random"},
    {"DIRECT_1", "Single Track"},
    {"INTRO", ""},
}};

} // namespace

tagAVTransportState TransportStateFromWord(std::string_view word)
{
    for (const auto& entry : kStates) {
        if (entry.word == word)
            return entry.state;
    }
    return AV_TRANSPORT_UNKNOWN;
}

std::string TransportStateText(tagAVTransportState state)
{
    for (const auto& entry : kStates) {
        if (entry.state == state)
            return entry.text;
    }
    return {};
}

PlayMode PlayModeFromWord(std::string_view word)
{
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        if (kModes[i].first == word)
            return static_cast<PlayMode>(i);
    }
    return PLAY_MODE_OTHER;
}

std::string_view PlayModeWord(PlayMode mode)
{
    return mode > PLAY_MODE_NORMAL && mode < PLAY_MODE_OTHER ? kModes[mode].first : kModes[0].first;
}

std::string PlayModeText(PlayMode mode)
{
    return mode >= PLAY_MODE_NORMAL && mode < PLAY_MODE_OTHER ? kModes[mode].second : "";
}

PlayMode ToggledShuffle(PlayMode mode)
{
    return mode == PLAY_MODE_SHUFFLE ? PLAY_MODE_NORMAL : PLAY_MODE_SHUFFLE;
}

PlayMode CycledRepeat(PlayMode mode)
{
    switch (mode) {
    case PLAY_MODE_NORMAL:
        return PLAY_MODE_REPEAT_ALL;
    case PLAY_MODE_REPEAT_ALL:
        return PLAY_MODE_REPEAT_ONE;
    case PLAY_MODE_REPEAT_ONE:
        return PLAY_MODE_NORMAL;
    default:
        return mode;
    }
}

} // namespace velk
