// The player's presets (six buttons in three banks on the remote): one of every kind, made
// from the music library so that playing them finds their station, playlist or songs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/music_library.h"

namespace velk::sim {

enum class PresetType { Internet, FM, AM, Playlist, Query };

struct Preset {
    std::string name;
    PresetType type = PresetType::Internet;
    int server = 0; // index in the library
    int song = -1;  // the station of a radio or tuner preset
    int playlist = -1;
    std::string url;
    std::string filename;
    std::string path;
    int frequency_khz = 0;
    // Query presets.
    std::string filter_genre;
    std::string filter_artist;
    std::string filter_album;
    std::string filter_composer;
    std::string filter_title;
    std::string filter_all_fields;
    bool exact_match = false;
    bool shuffle = false;
    std::string repeat = "none";

    // The key: value lines that describe the preset.
    std::vector<std::string> InfoLines(const MusicLibrary& library) const;
    // The songs that playing the preset queues.
    std::vector<int> Songs(const MusicLibrary& library) const;
};

class PresetCatalog {
public:
    static std::vector<Preset> FromLibrary(const MusicLibrary& library);
};

} // namespace velk::sim
