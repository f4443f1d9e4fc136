#include "tools/sim/library_generator.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

namespace velk::sim {
namespace {

// SplitMix64: small, fast and the same everywhere (the standard distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A number in [low, high].
    int Between(int low, int high)
    {
        return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1));
    }
    bool OneIn(int n) { return Between(1, n) == 1; }
    template <std::size_t N> std::string_view Pick(const std::array<std::string_view, N>& words)
    {
        return words[Next() % N];
    }

private:
    std::uint64_t state_;
};

constexpr std::array<std::string_view, 40> kAdjectives = {
    "Silver",  "Midnight", "Electric", "Golden",   "Quiet",    "Wild",      "Paper",  "Crystal",
    "Velvet",  "Northern", "Hollow",   "Broken",   "Bright",   "Distant",   "Secret", "Lonely",
    "Burning", "Frozen",   "Painted",  "Sleeping", "Crimson",  "Wandering", "Hidden", "Falling",
    "Summer",  "Winter",   "Morning",  "Evening",  "Restless", "Gentle",    "Silent", "Neon",
    "Copper",  "Amber",    "Lucky",    "Twisted",  "Rolling",  "Endless",   "Sunday", "Open"};
constexpr std::array<std::string_view, 40> kNouns = {
    "River",   "Harbour", "Garden",  "Mirror",  "Engine",    "Lantern", "Ocean",   "Tower",
    "Forest",  "Comet",   "Signal",  "Window",  "Valley",    "Thunder", "Feather", "Station",
    "Bridge",  "Island",  "Machine", "Orchard", "Shadow",    "Meadow",  "Circus",  "Compass",
    "Parade",  "Horizon", "Canyon",  "Desert",  "Satellite", "Anchor",  "Highway", "Lighthouse",
    "Sparrow", "Heart",   "Avenue",  "Moon",    "Rain",      "Fire",    "Letter",  "Dream"};
constexpr std::array<std::string_view, 24> kFirstNames = {
    "Anna", "Ben",   "Clara", "David",  "Elena", "Felix",  "Grace",  "Hugo",
    "Iris", "Jonas", "Kate",  "Leo",    "Maya",  "Nils",   "Olivia", "Paul",
    "Rosa", "Sam",   "Tara",  "Victor", "Wanda", "Xavier", "Yara",   "Zoe"};
constexpr std::array<std::string_view, 24> kLastNames = {
    "Berg",   "Carter", "Dahl",   "Ellis",  "Frost",  "Garner", "Hale",   "Ivers",
    "Jansen", "Keller", "Lund",   "Moreau", "Nash",   "Ortega", "Price",  "Quinn",
    "Reyes",  "Stone",  "Turner", "Vance",  "Weller", "Young",  "Zeller", "Abbott"};
constexpr std::array<std::string_view, 14> kGenres = {
    "Rock", "Pop",  "Jazz",   "Blues",   "Classical", "Electronic", "Folk",
    "Soul", "Funk", "Reggae", "Country", "Hip-Hop",   "Ambient",    "Latin"};
constexpr std::array<std::string_view, 6> kLocations = {"Europe", "North America", "South America",
                                                        "Asia",   "Africa",        "Oceania"};
constexpr std::array<std::string_view, 7> kMediaLanguages = {
    "English", "German", "French", "Spanish", "Dutch", "Italian", "Japanese"};

struct Format {
    std::string_view name;        // "format" of a song
    std::string_view description; // "formatDescription"
    std::string_view mime;        // resource format
    std::string_view extension;
    int bitrate;
    int bits_per_sample;
};
constexpr std::array<Format, 4> kFormats = {{
    {"MP3", "MPEG audio layer 3", "audio/mpeg", "mp3", 256, 16},
    {"AAC", "AAC audio", "audio/mp4", "m4a", 256, 16},
    {"WMA", "Windows Media audio", "audio/x-ms-wma", "wma", 192, 16},
    {"FLAC", "Free lossless audio", "audio/flac", "flac", 900, 24},
}};

std::string PersonName(Random& random)
{
    return std::string(random.Pick(kFirstNames)) + " " + std::string(random.Pick(kLastNames));
}

std::string ArtistName(Random& random)
{
    switch (random.Between(0, 3)) {
    case 0:
        return "The " + std::string(random.Pick(kAdjectives)) + " " +
               std::string(random.Pick(kNouns)) + "s";
    case 1:
        return PersonName(random);
    case 2:
        return std::string(random.Pick(kNouns)) + " " + std::string(random.Pick(kNouns));
    default:
        return PersonName(random) + " Trio";
    }
}

std::string TitleText(Random& random)
{
    switch (random.Between(0, 3)) {
    case 0:
        return std::string(random.Pick(kAdjectives)) + " " + std::string(random.Pick(kNouns));
    case 1:
        return "The " + std::string(random.Pick(kNouns)) + " of " +
               std::string(random.Pick(kNouns)) + "s";
    case 2:
        return std::string(random.Pick(kAdjectives)) + " " + std::string(random.Pick(kAdjectives)) +
               " " + std::string(random.Pick(kNouns));
    default:
        return "Under the " + std::string(random.Pick(kAdjectives)) + " " +
               std::string(random.Pick(kNouns));
    }
}

// Each name once: a repeated one gets a number.
std::string Unique(std::map<std::string, int>& used, std::string name)
{
    const int seen = used[name]++;
    return seen == 0 ? name : name + " " + std::to_string(seen + 1);
}

void AddResources(Song& song, Random& random, const Format& format, std::string_view server_path)
{
    SongResource main;
    main.url = "http://127.0.0.1:3689/" + std::string(server_path) + "/items/" +
               std::to_string(song.id) + "." + std::string(format.extension);
    main.format = format.mime;
    main.sample_rate = random.OneIn(4) ? 48000 : 44100;
    main.bitrate = format.bitrate;
    main.channels = 2;
    main.bits_per_sample = format.bits_per_sample;
    main.size_bytes = song.length_ms / 1000 * format.bitrate * 1000 / 8;
    song.resources.push_back(main);
    if (format.name == "FLAC") {
        // Lossless songs also offer a compressed copy for players that cannot decode them.
        SongResource copy = main;
        copy.url = "http://127.0.0.1:3689/" + std::string(server_path) + "/items/" +
                   std::to_string(song.id) + ".mp3";
        copy.format = "audio/mpeg";
        copy.bitrate = 256;
        copy.bits_per_sample = 16;
        copy.size_bytes = song.length_ms / 1000 * 256 * 1000 / 8;
        song.resources.push_back(copy);
    }
}

int AddContainer(MusicServer& server, std::string name, int parent)
{
    const int index = static_cast<int>(server.containers.size());
    server.containers.push_back(Container{std::move(name), parent, {}, {}});
    if (parent >= 0)
        server.containers[parent].children.push_back(index);
    return index;
}

// The browse tree: Artists / artist / album, Albums / album, Genres / genre, Playlists / list.
void BuildContainers(MusicServer& server)
{
    AddContainer(server, "", -1);
    const int artists = AddContainer(server, "Artists", 0);
    const int albums = AddContainer(server, "Albums", 0);
    const int genres = AddContainer(server, "Genres", 0);
    const int playlists = AddContainer(server, "Playlists", 0);
    std::map<std::string, int> artist_nodes, album_nodes, artist_album_nodes, genre_nodes;
    for (const auto& song : server.songs) {
        auto artist = artist_nodes.find(song.artist);
        if (artist == artist_nodes.end())
            artist =
                artist_nodes.emplace(song.artist, AddContainer(server, song.artist, artists)).first;
        const std::string artist_album = song.artist + "\n" + song.album;
        auto artist_album_node = artist_album_nodes.find(artist_album);
        if (artist_album_node == artist_album_nodes.end())
            artist_album_node =
                artist_album_nodes
                    .emplace(artist_album, AddContainer(server, song.album, artist->second))
                    .first;
        server.containers[artist_album_node->second].songs.push_back(song.id);
        auto album = album_nodes.find(song.album);
        if (album == album_nodes.end())
            album = album_nodes.emplace(song.album, AddContainer(server, song.album, albums)).first;
        server.containers[album->second].songs.push_back(song.id);
        auto genre = genre_nodes.find(song.genre);
        if (genre == genre_nodes.end())
            genre = genre_nodes.emplace(song.genre, AddContainer(server, song.genre, genres)).first;
        server.containers[genre->second].songs.push_back(song.id);
    }
    for (const auto& playlist : server.playlists) {
        const int node = AddContainer(server, playlist.name, playlists);
        server.containers[node].songs = playlist.songs;
    }
}

void GenerateSongs(MusicServer& server, Random& random, int song_count,
                   std::string_view server_path)
{
    std::map<std::string, int> artist_names, album_names;
    // Composers of classical music come from a pool of their own.
    std::vector<std::string> composers;
    for (int i = 0; i < 12; ++i)
        composers.push_back(PersonName(random));
    while (static_cast<int>(server.songs.size()) < song_count) {
        const std::string artist = Unique(artist_names, ArtistName(random));
        const std::string genre(random.Pick(kGenres));
        const int album_count = random.Between(1, 4);
        for (int a = 0; a < album_count && static_cast<int>(server.songs.size()) < song_count;
             ++a) {
            const std::string album = Unique(album_names, TitleText(random));
            const bool compilation = random.OneIn(15);
            const int year = random.Between(1960, 2024);
            const int disc_count = random.OneIn(10) ? 2 : 1;
            const int track_count = random.Between(8, 14);
            const Format& format = kFormats[random.Next() % kFormats.size()];
            for (int disc = 1; disc <= disc_count; ++disc) {
                for (int track = 1; track <= track_count; ++track) {
                    if (static_cast<int>(server.songs.size()) >= song_count)
                        break;
                    Song song;
                    song.id = static_cast<int>(server.songs.size());
                    song.title = TitleText(random);
                    song.artist = compilation ? ArtistName(random) : artist;
                    song.album = album;
                    song.genre = genre;
                    song.composer = genre == "Classical"
                                        ? composers[random.Next() % composers.size()]
                                        : song.artist;
                    song.format = format.name;
                    song.format_description = format.description;
                    song.year = year;
                    song.track_number = track;
                    song.track_count = track_count;
                    song.disc_number = disc;
                    song.disc_count = disc_count;
                    song.length_ms = random.Between(95, 420) * 1000 + random.Between(0, 999);
                    song.compilation = compilation;
                    song.disabled = random.OneIn(50);
                    if (random.OneIn(8))
                        song.comment = "Recorded live";
                    AddResources(song, random, format, server_path);
                    server.songs.push_back(std::move(song));
                }
            }
        }
    }
    const int playlist_count = 4 + song_count / 500;
    std::map<std::string, int> playlist_names;
    for (int p = 0; p < playlist_count && song_count > 0; ++p) {
        Playlist playlist;
        playlist.name = Unique(playlist_names, std::string(random.Pick(kAdjectives)) + " Mix");
        const int length = std::min(song_count, random.Between(10, 40));
        for (int i = 0; i < length; ++i)
            playlist.songs.push_back(random.Between(0, song_count - 1));
        server.playlists.push_back(std::move(playlist));
    }
    BuildContainers(server);
}

Song Station(int id, std::string name, std::string genre)
{
    Song song;
    song.id = id;
    song.title = std::move(name);
    song.genre = std::move(genre);
    song.format = "MP3";
    song.format_description = "MPEG audio stream";
    return song;
}

void GenerateRadio(MusicServer& server, Random& random)
{
    std::map<std::string, int> names;
    for (int id = 0; id < 60; ++id) {
        Song song = Station(id,
                            Unique(names, std::string(random.Pick(kNouns)) + " " +
                                              (random.OneIn(2) ? "Radio" : "FM")),
                            std::string(random.Pick(kGenres)));
        song.location = random.Pick(kLocations);
        song.media_language = random.Pick(kMediaLanguages);
        song.top_station = random.OneIn(5);
        song.favorite = random.OneIn(8);
        SongResource stream;
        stream.url = "http://127.0.0.1:8000/stations/" + std::to_string(id) + ".m3u";
        stream.format = "audio/mpeg";
        stream.sample_rate = 44100;
        stream.bitrate = 128;
        stream.channels = 2;
        song.resources.push_back(stream);
        server.songs.push_back(std::move(song));
    }
}

void GenerateTuner(MusicServer& server, Random& random, bool fm)
{
    std::map<std::string, int> names;
    const int count = fm ? 12 : 8;
    for (int id = 0; id < count; ++id) {
        const int frequency =
            fm ? 87500 + random.Between(0, 205) * 100 : 530 + random.Between(0, 117) * 10;
        Song song = Station(
            id, Unique(names, std::string(random.Pick(kAdjectives)) + " " + (fm ? "FM" : "AM")),
            std::string(random.Pick(kGenres)));
        song.frequency_khz = frequency;
        song.format = fm ? "FM" : "AM";
        song.format_description = fm ? "FM tuner" : "AM tuner";
        server.songs.push_back(std::move(song));
    }
}

MusicServer Server(std::string name, ServerType type, bool containers, bool playlists, bool partial,
                   std::string query_support)
{
    MusicServer server;
    server.name = std::move(name);
    server.type = type;
    server.has_containers = containers;
    server.has_playlists = playlists;
    server.partial_results = partial;
    server.query_support = std::move(query_support);
    return server;
}

} // namespace

MusicLibrary LibraryGenerator::Generate(const LibraryOptions& options)
{
    Random random(options.seed);
    const int main_count = std::clamp(options.song_count, 0, 1000000);
    const int small_count = std::max(20, main_count / 10);
    std::vector<MusicServer> servers;

    servers.push_back(Server("Home Music", ServerType::DAAP, true, true, true, "partial"));
    GenerateSongs(servers.back(), random, main_count, "home");
    servers.push_back(Server("Family Music", ServerType::DAAP, true, true, true, "partial"));
    servers.back().password = options.password;
    GenerateSongs(servers.back(), random, small_count, "family");
    servers.push_back(Server("Media Server", ServerType::UPnP, true, true, true, "basic"));
    GenerateSongs(servers.back(), random, small_count, "media");
    servers.push_back(Server("Firefly Library", ServerType::RSP, true, true, false, "songs"));
    GenerateSongs(servers.back(), random, small_count / 2, "firefly");
    servers.push_back(Server("SlimServer", ServerType::Slim, true, false, false, "songs"));
    GenerateSongs(servers.back(), random, small_count / 2, "slim");
    servers.push_back(Server("Internet Radio", ServerType::Radio, false, false, false, "basic"));
    GenerateRadio(servers.back(), random);
    servers.push_back(Server("FM Tuner", ServerType::FM, false, false, false, "none"));
    GenerateTuner(servers.back(), random, true);
    servers.push_back(Server("AM Tuner", ServerType::AM, false, false, false, "none"));
    GenerateTuner(servers.back(), random, false);
    return MusicLibrary(std::move(servers));
}

} // namespace velk::sim
