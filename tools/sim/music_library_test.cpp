#include "tools/sim/music_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tools/sim/library_generator.h"
#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

std::vector<std::string> Titles(const MusicLibrary& library)
{
    std::vector<std::string> titles;
    for (const auto& song : library.servers()[0].songs)
        titles.push_back(song.title);
    return titles;
}

TEST(MusicLibrary, SameSeedGivesTheSameLibrary)
{
    const MusicLibrary a = LibraryGenerator::Generate({7, 300, "pw"});
    const MusicLibrary b = LibraryGenerator::Generate({7, 300, "pw"});
    const MusicLibrary c = LibraryGenerator::Generate({8, 300, "pw"});
    EXPECT_EQ(Titles(a), Titles(b));
    EXPECT_NE(Titles(a), Titles(c));
    EXPECT_EQ(a.servers()[0].songs.size(), 300u);
    EXPECT_EQ(a.servers()[1].password, "pw");
}

TEST(MusicLibrary, NamesNeverLookLikeProtocolWords)
{
    const MusicLibrary library = LibraryGenerator::Generate({3, 3000, "velk"});
    const std::set<std::string> reserved = {
        "OK",           "ListResultEnd",  "TransactionInitiated", "TransactionComplete",
        "GenericError", "ParameterError", "UnknownCommand"};
    for (const auto& server : library.servers()) {
        for (const auto& song : server.songs) {
            for (const std::string* name : {&song.title, &song.artist, &song.album, &song.genre}) {
                EXPECT_EQ(reserved.count(*name), 0u) << *name;
                EXPECT_FALSE(name->starts_with("ListResultSize")) << *name;
                EXPECT_EQ(name->find_first_of("\r\n"), std::string::npos) << *name;
            }
        }
    }
}

TEST(MusicLibrary, FiltersAndSortOrdersNarrowAndOrderSongs)
{
    const MusicLibrary library = LibraryGenerator::Generate({1, 500, "velk"});
    const MusicServer& server = library.servers()[0];
    const auto genres = server.Values(SongField::Genre, {});
    ASSERT_GE(genres.size(), 2u);
    EXPECT_TRUE(std::is_sorted(genres.begin(), genres.end()));

    BrowseFilter by_genre;
    by_genre.genre = genres[0];
    const auto songs = server.Songs(by_genre);
    ASSERT_FALSE(songs.empty());
    for (const int id : songs)
        EXPECT_EQ(server.songs[id].genre, genres[0]);
    EXPECT_LT(songs.size(), server.songs.size());

    BrowseFilter alpha;
    alpha.sort = SongSort::Alpha;
    const auto sorted = server.Songs(alpha);
    for (std::size_t i = 1; i < sorted.size(); ++i)
        EXPECT_LE(ToLower(server.songs[sorted[i - 1]].title),
                  ToLower(server.songs[sorted[i]].title));
}

TEST(MusicLibrary, ContainerTreeHoldsEverySongUnderAlbums)
{
    const MusicLibrary library = LibraryGenerator::Generate({1, 400, "velk"});
    const MusicServer& server = library.servers()[0];
    const Container& root = server.containers[0];
    std::vector<std::string> top;
    for (const int child : root.children)
        top.push_back(server.containers[child].name);
    EXPECT_EQ(top, (std::vector<std::string>{"Artists", "Albums", "Genres", "Playlists"}));
    std::multiset<int> in_albums;
    for (const int album : server.containers[root.children[1]].children)
        for (const int song : server.containers[album].songs)
            in_albums.insert(song);
    EXPECT_EQ(in_albums.size(), server.songs.size());
    EXPECT_EQ(std::set<int>(in_albums.begin(), in_albums.end()).size(), server.songs.size());
    const int first_artist = server.containers[root.children[0]].children[0];
    EXPECT_EQ(server.ContainerPath(first_artist),
              "/Artists/" + server.containers[first_artist].name);
    EXPECT_EQ(server.ContainerPath(0), "/");
}

TEST(MusicLibrary, RadioStationsCarryLocationsLanguagesAndMarks)
{
    const MusicLibrary library = LibraryGenerator::Generate({1, 100, "velk"});
    const auto radio =
        std::find_if(library.servers().begin(), library.servers().end(),
                     [](const MusicServer& s) { return s.type == ServerType::Radio; });
    ASSERT_NE(radio, library.servers().end());
    EXPECT_GE(radio->Values(SongField::Location, {}).size(), 2u);
    BrowseFilter top;
    top.top_stations = true;
    const auto top_stations = radio->Songs(top);
    EXPECT_FALSE(top_stations.empty());
    EXPECT_LT(top_stations.size(), radio->songs.size());
}

} // namespace
} // namespace velk::sim
