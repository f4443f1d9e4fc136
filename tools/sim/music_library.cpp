#include "tools/sim/music_library.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

struct TypeWord {
    ServerType type;
    std::string_view word;
};
constexpr TypeWord kTypeWords[] = {
    {ServerType::DAAP, "DAAP"},   {ServerType::UPnP, "UPnP"},   {ServerType::Slim, "slim"},
    {ServerType::Radio, "radio"}, {ServerType::Flash, "flash"}, {ServerType::RSP, "rsp"},
    {ServerType::AM, "am"},       {ServerType::FM, "fm"},
};

const std::string& FieldOf(const Song& song, SongField field)
{
    switch (field) {
    case SongField::Genre:
        return song.genre;
    case SongField::Artist:
        return song.artist;
    case SongField::Album:
        return song.album;
    case SongField::Composer:
        return song.composer;
    case SongField::Location:
        return song.location;
    case SongField::MediaLanguage:
        return song.media_language;
    }
    return song.title;
}

bool Passes(const Song& song, const BrowseFilter& filter)
{
    const auto matches = [](const std::string& wanted, const std::string& value) {
        return wanted.empty() || EqualsIgnoreCase(wanted, value);
    };
    return matches(filter.genre, song.genre) && matches(filter.artist, song.artist) &&
           matches(filter.album, song.album) && matches(filter.composer, song.composer) &&
           matches(filter.location, song.location) &&
           matches(filter.media_language, song.media_language) &&
           (!filter.top_stations || song.top_station) && (!filter.favorites || song.favorite);
}

} // namespace

std::string_view ServerTypeWord(ServerType type)
{
    for (const auto& entry : kTypeWords)
        if (entry.type == type)
            return entry.word;
    return {};
}

std::optional<ServerType> ServerTypeFromWord(std::string_view word)
{
    for (const auto& entry : kTypeWords)
        if (EqualsIgnoreCase(entry.word, word))
            return entry.type;
    return std::nullopt;
}

std::vector<int> MusicServer::Songs(const BrowseFilter& filter) const
{
    std::vector<int> ids;
    for (const auto& song : songs)
        if (Passes(song, filter))
            ids.push_back(song.id);
    if (filter.sort == SongSort::Alpha) {
        std::stable_sort(ids.begin(), ids.end(), [this](int a, int b) {
            return ToLower(songs[a].title) < ToLower(songs[b].title);
        });
    } else if (filter.sort == SongSort::AlbumTrack) {
        std::stable_sort(ids.begin(), ids.end(), [this](int a, int b) {
            const Song& x = songs[a];
            const Song& y = songs[b];
            return std::tie(x.album, x.disc_number, x.track_number) <
                   std::tie(y.album, y.disc_number, y.track_number);
        });
    }
    return ids;
}

std::vector<std::string> MusicServer::Values(SongField field, const BrowseFilter& filter) const
{
    std::set<std::string> values;
    for (const auto& song : songs) {
        const std::string& value = FieldOf(song, field);
        if (!value.empty() && Passes(song, filter))
            values.insert(value);
    }
    return {values.begin(), values.end()};
}

std::vector<std::string> MusicServer::SearchValues(SongField field, std::string_view text) const
{
    std::set<std::string> values;
    for (const auto& song : songs) {
        const std::string& value = FieldOf(song, field);
        if (!value.empty() && ContainsIgnoreCase(value, text))
            values.insert(value);
    }
    return {values.begin(), values.end()};
}

std::vector<int> MusicServer::SearchSongs(std::string_view text, bool all_fields) const
{
    std::vector<int> ids;
    for (const auto& song : songs) {
        bool found = ContainsIgnoreCase(song.title, text);
        if (!found && all_fields) {
            found = ContainsIgnoreCase(song.artist, text) || ContainsIgnoreCase(song.album, text) ||
                    ContainsIgnoreCase(song.composer, text) || ContainsIgnoreCase(song.genre, text);
        }
        if (found)
            ids.push_back(song.id);
    }
    return ids;
}

std::string MusicServer::ContainerPath(int container) const
{
    std::string path;
    while (container > 0 && container < static_cast<int>(containers.size())) {
        path = "/" + containers[container].name + path;
        container = containers[container].parent;
    }
    return path.empty() ? "/" : path;
}

std::optional<int> MusicLibrary::FindServer(std::string_view name) const
{
    for (std::size_t i = 0; i < servers_.size(); ++i)
        if (servers_[i].name == name)
            return static_cast<int>(i);
    return std::nullopt;
}

} // namespace velk::sim
