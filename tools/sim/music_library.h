// The music servers a simulated player can reach and what they hold: songs with their
// resources, playlists, browse containers, radio stations and tuner frequencies, and the
// browse and search queries over them. Generated once (LibraryGenerator) and then read-only,
// so every player of the process shares one library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::sim {

enum class ServerType { DAAP, UPnP, Slim, Radio, Flash, RSP, AM, FM };

// The word that names the type on the wire ("DAAP", "UPnP", "slim", "radio", ...).
std::string_view ServerTypeWord(ServerType type);
// The type named by a server filter word (any case); "all" is not a type.
std::optional<ServerType> ServerTypeFromWord(std::string_view word);

struct SongResource {
    std::string url;
    std::string format;
    int sample_rate = 0;
    int bitrate = 0;
    int channels = 0;
    int bits_per_sample = 0;
    std::int64_t size_bytes = 0;
};

struct Song {
    int id = 0; // position in the server's song table; also its database id
    std::string title;
    std::string artist;
    std::string album;
    std::string genre;
    std::string composer;
    std::string format;
    std::string format_description;
    std::string comment;
    int year = 0;
    int track_number = 0;
    int track_count = 0;
    int disc_number = 0;
    int disc_count = 0;
    std::int64_t length_ms = 0; // 0 for a station
    bool compilation = false;
    bool disabled = false;
    int frequency_khz = 0;      // tuner stations
    std::string location;       // radio stations
    std::string media_language; // radio stations
    bool top_station = false;
    bool favorite = false;
    std::vector<SongResource> resources;
};

struct Playlist {
    std::string name;
    std::vector<int> songs;
};

// One node of a server's browse tree: either child containers or songs.
struct Container {
    std::string name;
    int parent = -1; // -1 for the root
    std::vector<int> children;
    std::vector<int> songs;
};

enum class SongSort { Unordered, Alpha, AlbumTrack };

// What a song listing is narrowed to; empty texts do not narrow.
struct BrowseFilter {
    std::string genre;
    std::string artist;
    std::string album;
    std::string composer;
    std::string location;
    std::string media_language;
    bool top_stations = false;
    bool favorites = false;
    SongSort sort = SongSort::Unordered;
};

enum class SongField { Genre, Artist, Album, Composer, Location, MediaLanguage };

struct MusicServer {
    std::string name;
    ServerType type = ServerType::DAAP;
    std::string password; // empty: none needed
    bool has_containers = false;
    bool has_playlists = false;
    bool partial_results = false;
    std::string query_support; // "none", "songs", "basic" or "partial"
    std::vector<Song> songs;
    std::vector<Playlist> playlists;
    std::vector<Container> containers; // [0] is the root

    bool IsTuner() const { return type == ServerType::AM || type == ServerType::FM; }

    // Song ids that pass the filter, in the filter's order.
    std::vector<int> Songs(const BrowseFilter& filter) const;
    // The distinct values of a field among the songs that pass the filter, sorted.
    std::vector<std::string> Values(SongField field, const BrowseFilter& filter) const;
    // Distinct values of a field that contain the text (any case), sorted.
    std::vector<std::string> SearchValues(SongField field, std::string_view text) const;
    // Songs whose title contains the text; with all_fields, also those whose artist, album,
    // composer or genre does.
    std::vector<int> SearchSongs(std::string_view text, bool all_fields) const;
    // The path of a container from the root, "/" for the root itself.
    std::string ContainerPath(int container) const;
};

class MusicLibrary {
public:
    explicit MusicLibrary(std::vector<MusicServer> servers) : servers_(std::move(servers)) {}

    const std::vector<MusicServer>& servers() const { return servers_; }
    // nullopt when no server has the name.
    std::optional<int> FindServer(std::string_view name) const;

private:
    std::vector<MusicServer> servers_;
};

} // namespace velk::sim
