#include "tools/sim/presets.h"

#include <optional>
#include <utility>

#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

std::string_view TypeWord(PresetType type)
{
    switch (type) {
    case PresetType::Internet:
        return "kInternetPreset";
    case PresetType::FM:
        return "kFMPreset";
    case PresetType::AM:
        return "kAMPreset";
    case PresetType::Playlist:
        return "kPlaylistPreset";
    case PresetType::Query:
        return "kQueryPreset";
    }
    return {};
}

std::string_view ServerTypeOfPreset(const Preset& preset, const MusicServer& server)
{
    switch (preset.type) {
    case PresetType::Internet:
        return "kFavoriteRadio";
    case PresetType::FM:
        return "kFMTuner";
    case PresetType::AM:
        return "kAMTuner";
    default:
        break;
    }
    switch (server.type) {
    case ServerType::UPnP:
        return "kUPnP";
    case ServerType::RSP:
        return "kRSP";
    default:
        return "kITunes";
    }
}

std::optional<int> ServerOfType(const MusicLibrary& library, ServerType type)
{
    for (std::size_t i = 0; i < library.servers().size(); ++i)
        if (library.servers()[i].type == type)
            return static_cast<int>(i);
    return std::nullopt;
}

bool Matches(const std::string& wanted, const std::string& value, bool exact)
{
    if (wanted.empty())
        return true;
    return exact ? EqualsIgnoreCase(wanted, value) : ContainsIgnoreCase(value, wanted);
}

} // namespace

std::vector<std::string> Preset::InfoLines(const MusicLibrary& library) const
{
    const MusicServer& owner = library.servers().at(server);
    std::vector<std::string> lines = {
        "name: " + name,
        "type: " + std::string(TypeWord(type)),
        "id: " + std::to_string(song >= 0 ? song : playlist),
        "serverName: " + owner.name,
        "serverType: " + std::string(ServerTypeOfPreset(*this, owner)),
    };
    switch (type) {
    case PresetType::Internet:
        lines.push_back("URL: " + url);
        break;
    case PresetType::FM:
    case PresetType::AM:
        lines.push_back("frequency: " + std::to_string(frequency_khz));
        break;
    case PresetType::Playlist:
        lines.push_back("filename: " + filename);
        lines.push_back("path: " + path);
        break;
    case PresetType::Query:
        lines.push_back("filter genre: " + filter_genre);
        lines.push_back("filter artist: " + filter_artist);
        lines.push_back("filter composer: " + filter_composer);
        lines.push_back("filter title: " + filter_title);
        lines.push_back("filter album: " + filter_album);
        lines.push_back("filter allFields: " + filter_all_fields);
        break;
    }
    if (type == PresetType::Playlist || type == PresetType::Query) {
        lines.push_back(std::string("filter exactMatch: ") + (exact_match ? "1" : "0"));
        lines.push_back(std::string("shuffleMode: ") + (shuffle ? "on" : "off"));
        lines.push_back("repeatMode: " + repeat);
    }
    return lines;
}

std::vector<int> Preset::Songs(const MusicLibrary& library) const
{
    const MusicServer& owner = library.servers().at(server);
    if (song >= 0)
        return {song};
    if (type == PresetType::Playlist)
        return owner.playlists.at(playlist).songs;
    std::vector<int> ids;
    for (const auto& candidate : owner.songs) {
        const bool all_fields = filter_all_fields.empty() ||
                                ContainsIgnoreCase(candidate.title, filter_all_fields) ||
                                ContainsIgnoreCase(candidate.artist, filter_all_fields) ||
                                ContainsIgnoreCase(candidate.album, filter_all_fields);
        if (all_fields && Matches(filter_genre, candidate.genre, exact_match) &&
            Matches(filter_artist, candidate.artist, exact_match) &&
            Matches(filter_album, candidate.album, exact_match) &&
            Matches(filter_composer, candidate.composer, exact_match) &&
            Matches(filter_title, candidate.title, exact_match))
            ids.push_back(candidate.id);
    }
    return ids;
}

std::vector<Preset> PresetCatalog::FromLibrary(const MusicLibrary& library)
{
    std::vector<Preset> presets;
    if (auto radio = ServerOfType(library, ServerType::Radio)) {
        const auto& stations = library.servers()[*radio].songs;
        for (std::size_t i = 0; i < stations.size() && i < 2; ++i) {
            Preset preset;
            preset.name = stations[i].title;
            preset.type = PresetType::Internet;
            preset.server = *radio;
            preset.song = stations[i].id;
            preset.url =
                stations[i].resources.empty() ? std::string() : stations[i].resources[0].url;
            presets.push_back(preset);
        }
    }
    for (const auto& [type, preset_type] :
         {std::pair{ServerType::FM, PresetType::FM}, std::pair{ServerType::AM, PresetType::AM}}) {
        auto tuner = ServerOfType(library, type);
        if (!tuner)
            continue;
        const auto& stations = library.servers()[*tuner].songs;
        for (std::size_t i = 0; i < stations.size() && i < 2; ++i) {
            Preset preset;
            preset.name = stations[i].title;
            preset.type = preset_type;
            preset.server = *tuner;
            preset.song = stations[i].id;
            preset.frequency_khz = stations[i].frequency_khz;
            presets.push_back(preset);
        }
    }
    if (!library.servers().empty() && !library.servers()[0].playlists.empty()) {
        const MusicServer& home = library.servers()[0];
        Preset playlist;
        playlist.name = home.playlists[0].name;
        playlist.type = PresetType::Playlist;
        playlist.server = 0;
        playlist.playlist = 0;
        playlist.filename = home.playlists[0].name + ".m3u";
        playlist.path = "/Playlists/" + home.playlists[0].name;
        playlist.shuffle = true;
        playlist.repeat = "all";
        presets.push_back(playlist);
    }
    if (!library.servers().empty() && !library.servers()[0].songs.empty()) {
        const Song& first = library.servers()[0].songs[0];
        Preset genre;
        genre.name = "All " + first.genre;
        genre.type = PresetType::Query;
        genre.server = 0;
        genre.filter_genre = first.genre;
        genre.exact_match = true;
        genre.repeat = "all";
        presets.push_back(genre);
        Preset artist;
        artist.name = "Best of " + first.artist;
        artist.type = PresetType::Query;
        artist.server = 0;
        artist.filter_artist = first.artist;
        artist.shuffle = true;
        artist.repeat = "one";
        presets.push_back(artist);
    }
    return presets;
}

} // namespace velk::sim
