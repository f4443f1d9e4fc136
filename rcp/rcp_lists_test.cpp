// The session's lists and the items that act by their ID, against a scripted player: the exact
// lines they send and what they make of the replies.
#include "rcp/rcp_lists.h"

#include <gtest/gtest.h>

#include "platform/error_info.h"
#include "rcp/rcp_network.h"
#include "rcp/testdata/scripted_session.h"

namespace velk {
namespace {

using testing::ListReply;
using testing::OkReply;
using testing::ScriptedSession;
using testing::ValueReply;

using Lines = std::vector<std::string>;

template <class Collection>
std::vector<std::pair<std::int32_t, std::string>> Contents(Collection& list)
{
    std::vector<std::pair<std::int32_t, std::string>> contents;
    std::int32_t count = 0;
    EXPECT_EQ(list.get_Count(count), S_OK);
    for (std::int32_t i = 0; i < count; ++i) {
        std::shared_ptr<typename Collection::Item_t> item;
        EXPECT_EQ(list.Item(Variant(i), item), S_OK);
        std::int32_t id = 0;
        std::string name;
        item->get_ID(id);
        item->get_Name(name);
        contents.emplace_back(id, name);
    }
    return contents;
}

TEST(RcpLists, NamesBecomeItemsWithTheirPositionAsID)
{
    ScriptedSession player({{"ListGenres", ListReply("ListGenres", {"Jazz", "Rock", "Ska"})}});
    ASSERT_EQ(player.opened(), S_OK);
    std::shared_ptr<IEnumRCPList> genres;
    ASSERT_EQ(ListItems(player.session(), "ListGenres", {}, genres), S_OK);
    const std::vector<std::pair<std::int32_t, std::string>> expected = {
        {0, "Jazz"}, {1, "Rock"}, {2, "Ska"}};
    EXPECT_EQ(Contents(*genres), expected);
    EXPECT_EQ(player.Sent(), Lines{"ListGenres "});

    // The enumerator walks the same items.
    std::shared_ptr<IEnumVARIANT> items;
    ASSERT_EQ(genres->get__NewEnum(items), S_OK);
    std::vector<Variant> fetched;
    EXPECT_EQ(items->Next(5, fetched), S_FALSE);
    ASSERT_EQ(fetched.size(), 3u);
    auto last = std::dynamic_pointer_cast<IRCPListItem>(*fetched[2].Get<UnknownPtr>());
    ASSERT_TRUE(last);
    std::string name;
    last->get_Name(name);
    EXPECT_EQ(name, "Ska");
}

TEST(RcpLists, ItemRefusesIndexesOutsideTheList)
{
    ScriptedSession player({{"ListGenres", ListReply("ListGenres", {"Jazz", "Rock"})}});
    std::shared_ptr<IEnumRCPList> genres;
    ASSERT_EQ(ListItems(player.session(), "ListGenres", {}, genres), S_OK);
    struct Case {
        const char* what;
        Variant index;
        HRESULT expected;
    };
    const Case cases[] = {
        {"last", Variant(1), S_OK},
        {"a number as text", Variant("1"), S_OK},
        {"one past", Variant(2), E_INVALIDARG},
        {"negative", Variant(-1), E_INVALIDARG},
        {"a name", Variant("Jazz"), E_INVALIDARG},
        {"beyond 32 bits", Variant(1e12), E_INVALIDARG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearErrorInfo();
        std::shared_ptr<IRCPListItem> item;
        EXPECT_EQ(genres->Item(c.index, item), c.expected);
        EXPECT_EQ(GetErrorInfo().has_value(), FAILED(c.expected));
    }
}

TEST(RcpLists, PlayerCountsAreOnlyHints)
{
    struct Case {
        const char* announced;
        Lines names;
    };
    const Case cases[] = {
        {"5", {"Amsterdam", "Berlin"}},
        {"0", {"Amsterdam"}},
        {"4000000000000", {"Amsterdam"}},
        {"many", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.announced);
        ScriptedSession player({{"ListLocations", ListReply("ListLocations", c.names, c.announced)},
                                {"ListArtists", ListReply("ListArtists", c.names, c.announced)}});
        Variant strings;
        ASSERT_EQ(ListStrings(player.session(), "ListLocations", strings), S_OK);
        std::vector<Variant> expected(c.names.begin(), c.names.end());
        EXPECT_EQ(strings, Variant(expected));

        std::shared_ptr<IEnumRCPList> artists;
        ASSERT_EQ(ListItems(player.session(), "ListArtists", {}, artists), S_OK);
        std::int32_t count = -1;
        artists->get_Count(count);
        EXPECT_EQ(count, static_cast<std::int32_t>(c.names.size()));
    }
}

TEST(RcpLists, FailedListIsTheFailureOfTheMember)
{
    ScriptedSession player({{"ListSongs", ValueReply("ListSongs", "ErrorNoServer")}});
    std::shared_ptr<IEnumRCPSong> songs;
    ClearErrorInfo();
    EXPECT_EQ(ListSongs(player.session(), "ListSongs", {}, songs), E_RCP_NO_SERVER);
    EXPECT_FALSE(songs);
    const auto error = GetErrorInfo();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->help_context, static_cast<DWORD>(E_RCP_NO_SERVER));
}

// The first lines sent: a successful connect is followed by the session's server refresh.
Lines FirstLines(Lines lines, std::size_t count)
{
    lines.resize(std::min(count, lines.size()));
    return lines;
}

TEST(RcpLists, ServerConnectSendsPasswordRepeatsTheListAndConnectsByID)
{
    ScriptedSession player({
        {"ListServers", ListReply("ListServers", {"Home Music", "Family Music", "Radio"})},
        {"SetServerConnectPassword secret", OkReply("SetServerConnectPassword")},
        {"ServerConnect 1", ValueReply("ServerConnect", "TransactionInitiated") +
                                ValueReply("ServerConnect", "TransactionComplete")},
        {"ServerDisconnect", OkReply("ServerDisconnect")},
        {"GetActiveServerInfo",
         testing::LinesReply("GetActiveServerInfo", {"Name: Family Music", "Type: UPnP"})},
    });
    std::shared_ptr<IEnumRCPServers> servers;
    ASSERT_EQ(ListServers(player.session(), servers), S_OK);
    std::shared_ptr<IRCPServer> family;
    ASSERT_EQ(servers->Item(Variant("Family Music"), family), S_OK);
    std::shared_ptr<IRCPServer> missing;
    EXPECT_EQ(servers->Item(Variant("family music"), missing), E_INVALIDARG);

    player.Forget();
    ASSERT_EQ(family->Connect(Variant("secret")), S_OK);
    const Lines with_password = {"SetServerConnectPassword secret", "ListServers ",
                                 "ServerConnect 1"};
    EXPECT_EQ(FirstLines(player.Sent(), 3), with_password);
    // The session reads the newly connected server, whose type every listed server reports.
    RCPServerType type{};
    EXPECT_EQ(family->get_ServerType(type), S_OK);
    EXPECT_EQ(type, RCPServerType::ServerTypeUPnP);

    player.Forget();
    ASSERT_EQ(family->Connect(Variant::Missing()), S_OK);
    EXPECT_EQ(FirstLines(player.Sent(), 2), (Lines{"ListServers ", "ServerConnect 1"}));

    player.Forget();
    EXPECT_EQ(family->Disconnect(), S_OK);
    EXPECT_EQ(player.Sent(), Lines{"ServerDisconnect"});
}

TEST(RcpLists, PresetPlayRepeatsTheListAndPlaysByID)
{
    ScriptedSession player({
        {"ListPresets", ListReply("ListPresets", {"Jazz FM", "Classic", "Talk"})},
        {"GetPresetInfo 2", testing::LinesReply("GetPresetInfo", {"name: Talk Radio"})},
        {"PlayPreset 2", OkReply("PlayPreset")},
    });
    std::shared_ptr<IEnumRCPPresets> presets;
    ASSERT_EQ(ListPresets(player.session(), presets), S_OK);
    std::shared_ptr<IRCPPreset> third;
    ASSERT_EQ(presets->Item(Variant(2), third), S_OK);
    std::string name;
    third->get_Name(name);
    EXPECT_EQ(name, "Talk Radio");

    player.Forget();
    EXPECT_EQ(third->Play(), S_OK);
    EXPECT_EQ(player.Sent(), (Lines{"ListPresets ", "PlayPreset 2"}));
}

TEST(RcpLists, PlaylistSongsAndPlayRepeatTheListFirst)
{
    ScriptedSession player({
        {"ListPlaylists", ListReply("ListPlaylists", {"Party", "Quiet"})},
        {"ListPlaylistSongs 1", ListReply("ListPlaylistSongs", {"One", "Two", "Three"})},
        {"QueueAndPlay 2", OkReply("QueueAndPlay")},
    });
    std::shared_ptr<IEnumRCPPlaylist> playlists;
    ASSERT_EQ(ListPlaylists(player.session(), playlists), S_OK);
    std::shared_ptr<IRCPPlaylist> quiet;
    ASSERT_EQ(playlists->Item(Variant(1), quiet), S_OK);

    player.Forget();
    std::shared_ptr<IEnumRCPSong> songs;
    ASSERT_EQ(quiet->get_Songs(songs), S_OK);
    std::int32_t count = 0;
    songs->get_Count(count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(player.Sent(), (Lines{"ListPlaylists ", "ListPlaylistSongs 1"}));

    player.Forget();
    EXPECT_EQ(quiet->Play(2), S_OK);
    EXPECT_EQ(player.Sent(), (Lines{"ListPlaylists ", "ListPlaylistSongs 1", "QueueAndPlay 2"}));
}

using SelectableOf =
    std::function<HRESULT(const SessionPtr&, std::shared_ptr<IRCPSelectableItem>&)>;

// The second item of a list made by list_into.
template <class List>
SelectableOf SecondOf(std::function<HRESULT(const SessionPtr&, std::shared_ptr<List>&)> list_into)
{
    return [list_into](const SessionPtr& session, std::shared_ptr<IRCPSelectableItem>& item) {
        std::shared_ptr<List> list;
        HRESULT hr = list_into(session, list);
        std::shared_ptr<typename List::Item_t> found;
        if (SUCCEEDED(hr))
            hr = list->Item(Variant(1), found);
        item = found;
        return hr;
    };
}

TEST(RcpLists, SelectableItemsSelectByIDWithoutRepeatingTheList)
{
    struct Case {
        const char* list;
        const char* select_word;
        SelectableOf second;
    };
    const Case cases[] = {
        {"ListRegions", "SetRegion",
         SecondOf<IEnumRCPRegions>([](const SessionPtr& session, auto& list) {
             return MakeNetwork(session)->get_Regions(list);
         })},
        {"ListWiFiNetworks", "SetWiFiNetworkSelection",
         SecondOf<IEnumRCPWiFiNetworks>([](const SessionPtr& session, auto& list) {
             return MakeNetwork(session)->get_WiFiNetworks(list);
         })},
        {"ListTimeZones", "SetTimeZone", SecondOf<IEnumRCPTimeZones>(ListTimeZones)},
        {"ListLanguages", "SetLanguage", SecondOf<IEnumRCPLanguages>(ListLanguages)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        const std::string select = std::string(c.select_word) + " 1";
        ScriptedSession player(
            {{c.list, ListReply(c.list, {"First", "Second"})}, {select, OkReply(c.select_word)}});
        std::shared_ptr<IRCPSelectableItem> second;
        ASSERT_EQ(c.second(player.session(), second), S_OK);
        player.Forget();
        EXPECT_EQ(second->Select(), S_OK);
        EXPECT_EQ(player.Sent(), Lines{select});
    }
}

TEST(RcpLists, ObjectsAnswerScriptsByMemberName)
{
    ScriptedSession player({{"ListServers", ListReply("ListServers", {"Home Music", "Radio"})}});
    std::shared_ptr<IEnumRCPServers> servers;
    ASSERT_EQ(ListServers(player.session(), servers), S_OK);

    const auto call = [](IDispatchable& object, std::string_view name, MemberKind kind,
                         std::vector<Variant> args, Variant& result) {
        DISPID dispid = 0;
        HRESULT hr = object.Table().GetIDOfName(name, dispid);
        return SUCCEEDED(hr) ? object.Invoke(dispid, kind, args, result) : hr;
    };
    Variant count;
    EXPECT_EQ(call(*servers, "Count", MemberKind::PropertyGet, {}, count), S_OK);
    EXPECT_EQ(count, Variant(2));
    Variant radio;
    ASSERT_EQ(call(*servers, "Item", MemberKind::Method, {Variant("Radio")}, radio), S_OK);
    auto server = std::dynamic_pointer_cast<IDispatchable>(*radio.Get<UnknownPtr>());
    ASSERT_TRUE(server);
    Variant id;
    EXPECT_EQ(call(*server, "ID", MemberKind::PropertyGet, {}, id), S_OK);
    EXPECT_EQ(id, Variant(1));
    Variant items;
    EXPECT_EQ(call(*servers, "_NewEnum", MemberKind::PropertyGet, {}, items), S_OK);
}

} // namespace
} // namespace velk
