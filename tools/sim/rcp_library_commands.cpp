// RCP commands about music: servers and connecting to them, browsing and searching the
// connected server, song and preset information, playlists, containers and the play queue.
#include <algorithm>

#include "tools/sim/rcp_commands.h"
#include "tools/sim/rcp_session.h"
#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

// The connected music server, or nullptr after answering why there is none.
const MusicServer* RequireServer(RcpRequest& r)
{
    Player& player = r.session.player();
    if (!player.settings().setup_complete) {
        r.session.Error(r.word, "ErrorInitialSetupRequired");
        return nullptr;
    }
    const MusicServer* server = player.ConnectedServer();
    if (!server)
        r.session.Error(r.word, "ErrorNoServer");
    return server;
}

// Filters apply to the next list or search only: a client sends the ones it wants each time.
BrowseFilter TakeFilter(RcpSession& session)
{
    BrowseFilter filter = std::move(session.browse().filter);
    session.browse().filter = BrowseFilter{};
    return filter;
}

void ListSongIds(RcpRequest& r, int server_index, const std::vector<int>& ids)
{
    const MusicServer& server = r.session.player().library().servers()[server_index];
    std::vector<std::string> names;
    names.reserve(ids.size());
    std::vector<QueueEntry> entries;
    entries.reserve(ids.size());
    for (const int id : ids) {
        names.push_back(server.songs[id].title);
        entries.push_back({server_index, id});
    }
    r.session.browse().last_songs = std::move(entries);
    r.session.List(r.word, std::move(names));
}

std::vector<std::string> SongInfoLines(const Song& song)
{
    std::vector<std::string> lines = {
        "title: " + song.title,
        "artist: " + song.artist,
        "album: " + song.album,
        "composer: " + song.composer,
        "genre: " + song.genre,
        "format: " + song.format,
        "formatDescription: " + song.format_description,
        "songFormat: " + song.format,
        "status: " + std::string(song.disabled ? "unavailable" : "ready"),
    };
    if (song.length_ms > 0) {
        lines.push_back("trackLengthMS: " + std::to_string(song.length_ms));
        lines.push_back("year: " + std::to_string(song.year));
        lines.push_back("trackNumber: " + std::to_string(song.track_number));
        lines.push_back("trackCount: " + std::to_string(song.track_count));
        lines.push_back("discNumber: " + std::to_string(song.disc_number));
        lines.push_back("discCount: " + std::to_string(song.disc_count));
    }
    if (song.frequency_khz > 0)
        lines.push_back("tunerFrequency: " + std::to_string(song.frequency_khz));
    if (song.compilation)
        lines.push_back("compilation: yes");
    if (song.disabled)
        lines.push_back("disabled: 1");
    if (!song.comment.empty())
        lines.push_back("comment: " + song.comment);
    for (std::size_t i = 0; i < song.resources.size(); ++i) {
        const SongResource& resource = song.resources[i];
        const std::string key = "resource[" + std::to_string(i) + "] ";
        lines.push_back(key + "url: " + resource.url);
        lines.push_back(key + "format: " + resource.format);
        lines.push_back(key + "sampleRate: " + std::to_string(resource.sample_rate));
        lines.push_back(key + "bitrate: " + std::to_string(resource.bitrate));
        lines.push_back(key + "numChannels: " + std::to_string(resource.channels));
        if (resource.size_bytes > 0)
            lines.push_back(key + "sizeBytes: " + std::to_string(resource.size_bytes));
        if (resource.bits_per_sample > 0)
            lines.push_back(key + "bitsPerSample: " + std::to_string(resource.bits_per_sample));
    }
    return lines;
}

// The entry of the connection's last song list at the argument's position.
const QueueEntry* LastSong(RcpRequest& r, std::string_view argument)
{
    const auto& songs = r.session.browse().last_songs;
    auto index = ParseInt(argument, 0, static_cast<int>(songs.size()) - 1);
    if (!index) {
        r.session.Error(r.word, "ParameterError");
        return nullptr;
    }
    return &songs[*index];
}

void AddServerCommands(RcpCommandMap& commands)
{
    commands["SetServerFilter"] = [](RcpRequest& r) {
        std::set<ServerType> types;
        bool all = false;
        for (const auto word : SplitWords(r.argument)) {
            if (EqualsIgnoreCase(word, "all")) {
                all = true;
            } else if (auto type = ServerTypeFromWord(word)) {
                types.insert(*type);
            } else {
                return r.session.Error(r.word, "ParameterError");
            }
        }
        r.session.browse().server_types = all ? std::set<ServerType>{} : types;
        r.session.Ok(r.word);
    };
    commands["ListServers"] = [](RcpRequest& r) {
        const auto& servers = r.session.player().library().servers();
        const auto& types = r.session.browse().server_types;
        std::vector<std::string> names;
        std::vector<int> indices;
        for (std::size_t i = 0; i < servers.size(); ++i) {
            if (!types.empty() && types.count(servers[i].type) == 0)
                continue;
            names.push_back(servers[i].name);
            indices.push_back(static_cast<int>(i));
        }
        r.session.browse().last_servers = std::move(indices);
        r.session.List(r.word, std::move(names));
    };
    commands["SetServerConnectPassword"] = [](RcpRequest& r) {
        r.session.browse().server_password = std::string(r.argument);
        r.session.Ok(r.word);
    };
    commands["ServerConnect"] = [](RcpRequest& r) {
        Player& player = r.session.player();
        if (!player.settings().setup_complete)
            return r.session.Error(r.word, "ErrorInitialSetupRequired");
        const auto& listed = r.session.browse().last_servers;
        auto index = ParseInt(r.argument, 0, static_cast<int>(listed.size()) - 1);
        if (!index)
            return r.session.Error(r.word, "ParameterError");
        const int server = listed[*index];
        const MusicServer& wanted = player.library().servers()[server];
        r.session.Value(r.word, "TransactionInitiated");
        // An error word ends the transaction: no TransactionComplete follows it.
        if (!wanted.password.empty() && r.session.browse().server_password != wanted.password)
            return r.session.Error(r.word, "ConnectionFailedPassword");
        player.ConnectServer(server);
        r.session.Value(r.word, "Connected");
        r.session.Value(r.word, "TransactionComplete");
    };
    commands["ServerDisconnect"] = [](RcpRequest& r) {
        if (!r.session.player().connected_server())
            return r.session.Error(r.word, "ErrorDisconnected");
        r.session.player().DisconnectServer();
        r.session.Ok(r.word);
    };
    commands["GetConnectedServer"] = [](RcpRequest& r) {
        const MusicServer* server = r.session.player().ConnectedServer();
        if (!server)
            return r.session.Error(r.word, "ErrorDisconnected");
        r.session.ValueAndOk(r.word, server->name);
    };
    commands["GetActiveServerInfo"] = [](RcpRequest& r) {
        const MusicServer* server = r.session.player().ConnectedServer();
        if (!server)
            return r.session.Error(r.word, "ErrorDisconnected");
        r.session.Lines(r.word, {"Name: " + server->name,
                                 "Type: " + std::string(ServerTypeWord(server->type))});
    };
    commands["ServerGetCapabilities"] = [](RcpRequest& r) {
        const MusicServer* server = r.session.player().ConnectedServer();
        if (!server)
            return r.session.Error(r.word, "ErrorDisconnected");
        const auto yes_no = [](bool value) { return std::string(value ? "yes" : "no"); };
        r.session.Lines(r.word,
                        {"Name: " + server->name, "Containers: " + yes_no(server->has_containers),
                         "Playlists: " + yes_no(server->has_playlists),
                         "PartialResults: " + yes_no(server->partial_results),
                         "QuerySupport: " + server->query_support});
    };
}

void AddBrowseCommands(RcpCommandMap& commands)
{
    struct TextFilter {
        const char* word;
        std::string BrowseFilter::*field;
    };
    static const TextFilter kTextFilters[] = {
        {"SetBrowseFilterGenre", &BrowseFilter::genre},
        {"SetBrowseFilterArtist", &BrowseFilter::artist},
        {"SetBrowseFilterAlbum", &BrowseFilter::album},
        {"SetBrowseFilterComposer", &BrowseFilter::composer},
        {"SetBrowseFilterLocation", &BrowseFilter::location},
        {"SetBrowseFilterMediaLanguage", &BrowseFilter::media_language},
    };
    for (const auto& filter : kTextFilters) {
        commands[filter.word] = [&filter](RcpRequest& r) {
            r.session.browse().filter.*filter.field = std::string(r.argument);
            r.session.Ok(r.word);
        };
    }
    commands["SetBrowseFilterTopStations"] = [](RcpRequest& r) {
        r.session.browse().filter.top_stations = r.argument != "off";
        r.session.Ok(r.word);
    };
    commands["SetBrowseFilterFavorites"] = [](RcpRequest& r) {
        r.session.browse().filter.favorites = r.argument != "off";
        r.session.Ok(r.word);
    };
    commands["SetSongListSort"] = [](RcpRequest& r) {
        SongSort sort;
        if (r.argument == "alpha")
            sort = SongSort::Alpha;
        else if (r.argument == "albumTrack")
            sort = SongSort::AlbumTrack;
        else if (r.argument == "none")
            sort = SongSort::Unordered;
        else
            return r.session.Error(r.word, "ParameterError");
        r.session.browse().filter.sort = sort;
        r.session.Ok(r.word);
    };

    struct FieldList {
        const char* list;
        const char* search;
        SongField field;
    };
    static const FieldList kFieldLists[] = {
        {"ListGenres", nullptr, SongField::Genre},
        {"ListArtists", "SearchArtists", SongField::Artist},
        {"ListAlbums", "SearchAlbums", SongField::Album},
        {"ListComposers", "SearchComposers", SongField::Composer},
        {"ListLocations", nullptr, SongField::Location},
        {"ListMediaLanguages", nullptr, SongField::MediaLanguage},
    };
    for (const auto& list : kFieldLists) {
        commands[list.list] = [&list](RcpRequest& r) {
            const MusicServer* server = RequireServer(r);
            if (!server)
                return;
            r.session.List(r.word, server->Values(list.field, TakeFilter(r.session)));
        };
        if (!list.search)
            continue;
        commands[list.search] = [&list](RcpRequest& r) {
            const MusicServer* server = RequireServer(r);
            if (!server)
                return;
            TakeFilter(r.session);
            r.session.List(r.word, server->SearchValues(list.field, r.argument));
        };
    }
    commands["ListSongs"] = [](RcpRequest& r) {
        if (const MusicServer* server = RequireServer(r))
            ListSongIds(r, *r.session.player().connected_server(),
                        server->Songs(TakeFilter(r.session)));
    };
    for (const char* word : {"SearchSongs", "SearchAll"}) {
        commands[word] = [all = std::string_view(word) == "SearchAll"](RcpRequest& r) {
            const MusicServer* server = RequireServer(r);
            if (!server)
                return;
            TakeFilter(r.session);
            ListSongIds(r, *r.session.player().connected_server(),
                        server->SearchSongs(r.argument, all));
        };
    }
    commands["GetSongInfo"] = [](RcpRequest& r) {
        if (const QueueEntry* entry = LastSong(r, r.argument))
            r.session.Lines(r.word, SongInfoLines(*r.session.player().SongOf(*entry)));
    };
    commands["GetCurrentSongInfo"] = [](RcpRequest& r) {
        const Song* song = r.session.player().CurrentSong();
        if (!song)
            return r.session.Error(r.word, "GenericError");
        r.session.Lines(r.word, SongInfoLines(*song));
    };
    commands["ListPlaylists"] = [](RcpRequest& r) {
        const MusicServer* server = RequireServer(r);
        if (!server)
            return;
        std::vector<std::string> names;
        for (const auto& playlist : server->playlists)
            names.push_back(playlist.name);
        r.session.List(r.word, std::move(names));
    };
    commands["ListPlaylistSongs"] = [](RcpRequest& r) {
        const MusicServer* server = RequireServer(r);
        if (!server)
            return;
        auto index = ParseInt(r.argument, 0, static_cast<int>(server->playlists.size()) - 1);
        if (!index)
            return r.session.Error(r.word, "ParameterError");
        ListSongIds(r, *r.session.player().connected_server(), server->playlists[*index].songs);
    };
}

void AddContainerCommands(RcpCommandMap& commands)
{
    // Containers are browsed from the player's current position, which all its connections
    // share.
    const auto require_containers = [](RcpRequest& r) -> const MusicServer* {
        const MusicServer* server = RequireServer(r);
        if (server && !server->has_containers) {
            r.session.Error(r.word, "CommandDispatchError");
            return nullptr;
        }
        return server;
    };
    commands["ListContainerContents"] = [require_containers](RcpRequest& r) {
        const MusicServer* server = require_containers(r);
        if (!server)
            return;
        const Container& here = server->containers[r.session.player().container()];
        if (here.children.empty()) {
            ListSongIds(r, *r.session.player().connected_server(), here.songs);
            return;
        }
        std::vector<std::string> names;
        for (const int child : here.children)
            names.push_back(server->containers[child].name);
        r.session.List(r.word, std::move(names));
    };
    commands["ContainerEnter"] = [require_containers](RcpRequest& r) {
        const MusicServer* server = require_containers(r);
        if (!server)
            return;
        const Container& here = server->containers[r.session.player().container()];
        auto index = ParseInt(r.argument, 0, static_cast<int>(here.children.size()) - 1);
        if (!index)
            return r.session.Error(r.word, "ParameterError");
        r.session.player().set_container(here.children[*index]);
        r.session.Ok(r.word);
    };
    commands["ContainerExit"] = [require_containers](RcpRequest& r) {
        const MusicServer* server = require_containers(r);
        if (!server)
            return;
        const int parent = server->containers[r.session.player().container()].parent;
        if (parent < 0)
            return r.session.Error(r.word, "ParameterError");
        r.session.player().set_container(parent);
        r.session.Ok(r.word);
    };
    commands["GetCurrentContainerPath"] = [require_containers](RcpRequest& r) {
        if (const MusicServer* server = require_containers(r))
            r.session.ValueAndOk(r.word, server->ContainerPath(r.session.player().container()));
    };
}

void AddQueueCommands(RcpCommandMap& commands)
{
    commands["ListNowPlayingQueue"] = [](RcpRequest& r) {
        Player& player = r.session.player();
        std::vector<std::string> names;
        for (const auto& entry : player.queue())
            names.push_back(player.SongOf(entry)->title);
        r.session.browse().last_songs = player.queue();
        r.session.List(r.word, std::move(names));
    };
    commands["GetCurrentNowPlayingIndex"] = [](RcpRequest& r) {
        r.session.ValueAndOk(r.word, std::to_string(r.session.player().current_index()));
    };
    commands["PlayIndex"] = [](RcpRequest& r) {
        auto index = ParseInt(r.argument);
        if (!index || !r.session.player().PlayIndex(*index))
            return r.session.Error(r.word, "ParameterError");
        r.session.Ok(r.word);
    };
    commands["NowPlayingRemoveAt"] = [](RcpRequest& r) {
        auto index = ParseInt(r.argument);
        if (!index || !r.session.player().RemoveAt(*index))
            return r.session.Error(r.word, "ParameterError");
        r.session.Ok(r.word);
    };
    commands["NowPlayingClear"] = [](RcpRequest& r) {
        r.session.player().ClearQueue();
        r.session.Ok(r.word);
    };
    commands["NowPlayingInsert"] = [](RcpRequest& r) {
        const auto words = SplitWords(r.argument);
        if (words.empty() || words.size() > 2)
            return r.session.Error(r.word, "ParameterError");
        const QueueEntry* entry = LastSong(r, words[0]);
        if (!entry)
            return;
        auto position = words.size() == 2 ? ParseInt(words[1]) : std::optional<int>(0);
        if (!position || !r.session.player().Insert(*entry, *position))
            return r.session.Error(r.word, "ParameterError");
        r.session.Ok(r.word);
    };
    commands["QueueAndPlay"] = [](RcpRequest& r) {
        const auto& songs = r.session.browse().last_songs;
        auto index = ParseInt(r.argument, 0, static_cast<int>(songs.size()) - 1);
        if (!index)
            return r.session.Error(r.word, "ParameterError");
        r.session.player().QueueAndPlay(songs, *index);
        r.session.Ok(r.word);
    };
    commands["QueueAndPlayOne"] = [](RcpRequest& r) {
        if (const QueueEntry* entry = LastSong(r, r.argument)) {
            r.session.player().QueueAndPlay({*entry}, 0);
            r.session.Ok(r.word);
        }
    };
}

void AddPresetCommands(RcpCommandMap& commands)
{
    commands["ListPresets"] = [](RcpRequest& r) {
        std::vector<std::string> names;
        for (const auto& preset : r.session.player().presets())
            names.push_back(preset.name);
        r.session.List(r.word, std::move(names));
    };
    commands["GetPresetInfo"] = [](RcpRequest& r) {
        const auto& presets = r.session.player().presets();
        auto index = ParseInt(r.argument, 0, static_cast<int>(presets.size()) - 1);
        if (!index)
            return r.session.Error(r.word, "ParameterError");
        r.session.Lines(r.word, presets[*index].InfoLines(r.session.player().library()));
    };
    commands["PlayPreset"] = [](RcpRequest& r) {
        auto index = ParseInt(r.argument);
        if (!index || !r.session.player().PlayPreset(*index))
            return r.session.Error(r.word, "ParameterError");
        r.session.Ok(r.word);
    };
}

} // namespace

void AddLibraryCommands(RcpCommandMap& commands)
{
    AddServerCommands(commands);
    AddBrowseCommands(commands);
    AddContainerCommands(commands);
    AddQueueCommands(commands);
    AddPresetCommands(commands);
}

} // namespace velk::sim
