// Builds the simulated music library from a seed: the same seed and song count give the same
// servers, songs, playlists and stations on every run and every machine.
#pragma once

#include <cstdint>

#include "tools/sim/music_library.h"

namespace velk::sim {

struct LibraryOptions {
    std::uint64_t seed = 1;
    int song_count = 2000;         // songs of the main server; the others hold fewer
    std::string password = "velk"; // of the one server that asks for one
};

class LibraryGenerator {
public:
    static MusicLibrary Generate(const LibraryOptions& options);
};

} // namespace velk::sim
