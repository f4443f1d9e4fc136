// The words a renderer's AVTransport uses for its state and play mode, the numbers the window
// keeps for them and the words it shows; and the play-mode steps of the Control page's shuffle
// and repeat buttons. Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>

#include "velk/media_renderer.h"

namespace velk {

// The play modes in the order a renderer's words map to them; any other word is PLAY_MODE_OTHER.
enum PlayMode : int {
    PLAY_MODE_NORMAL = 0,
    PLAY_MODE_SHUFFLE = 1,
    PLAY_MODE_REPEAT_ONE = 2,
    PLAY_MODE_REPEAT_ALL = 3,
    PLAY_MODE_RANDOM = 4,
    PLAY_MODE_DIRECT_1 = 5,
    PLAY_MODE_INTRO = 6,
    PLAY_MODE_OTHER = 7,
};

// "PLAYING" -> AV_TRANSPORT_PLAYING, ...; any other word AV_TRANSPORT_UNKNOWN.
tagAVTransportState TransportStateFromWord(std::string_view word);
// "Playing", "Buffering...", ...; empty for AV_TRANSPORT_UNKNOWN.
std::string TransportStateText(tagAVTransportState state);

PlayMode PlayModeFromWord(std::string_view word);
// The word SetPlayMode sends: "NORMAL" for PLAY_MODE_NORMAL and anything unknown.
std::string_view PlayModeWord(PlayMode mode);
// "Normal", "Shuffle", ...; empty for PLAY_MODE_INTRO and PLAY_MODE_OTHER.
std::string PlayModeText(PlayMode mode);

// The shuffle button: shuffle off when on, on from any other mode.
PlayMode ToggledShuffle(PlayMode mode);
// The repeat button: NORMAL -> REPEAT_ALL -> REPEAT_ONE -> NORMAL; other modes stay.
PlayMode CycledRepeat(PlayMode mode);

} // namespace velk
