// The play queue against a scripted player.
#include "rcp/rcp_now_playing.h"

#include <gtest/gtest.h>

#include "rcp/rcp_lists.h"
#include "rcp/rcp_song.h"
#include "rcp/testdata/scripted_session.h"

namespace velk {
namespace {

using testing::LinesReply;
using testing::ListReply;
using testing::OkReply;
using testing::ScriptedSession;
using testing::ValueReply;

using Lines = std::vector<std::string>;

class RcpNowPlaying : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ListNowPlaying(player_.session(), queue_), S_OK);
        ASSERT_EQ(ListSongs(player_.session(), "ListSongs", {}, songs_), S_OK);
        player_.Forget();
    }

    template <class Item, class List> std::shared_ptr<Item> At(List& list, std::int32_t index)
    {
        std::shared_ptr<Item> item;
        EXPECT_EQ(list->Item(Variant(index), item), S_OK);
        return item;
    }

    ScriptedSession player_{{
        {"ListNowPlayingQueue", ListReply("ListNowPlayingQueue", {"One", "Two", "Three"})},
        {"ListSongs", ListReply("ListSongs", {"Four", "Five"})},
        {"GetSongInfo 1", LinesReply("GetSongInfo", {"title: Five"})},
        {"NowPlayingInsert 1 0", OkReply("NowPlayingInsert")},
        {"NowPlayingInsert 1 2", OkReply("NowPlayingInsert")},
        {"NowPlayingInsert 1 5", OkReply("NowPlayingInsert")},
        {"PlayIndex 1", OkReply("PlayIndex")},
        {"NowPlayingRemoveAt 1", OkReply("NowPlayingRemoveAt")},
        {"NowPlayingClear", OkReply("NowPlayingClear")},
        {"GetCurrentNowPlayingIndex",
         ValueReply("GetCurrentNowPlayingIndex", "2") + OkReply("GetCurrentNowPlayingIndex")},
        {"GetCurrentSongInfo", LinesReply("GetCurrentSongInfo", {"title: Three"})},
    }};
    std::shared_ptr<IRCPNowPlayingList> queue_;
    std::shared_ptr<IEnumRCPSong> songs_;
};

TEST_F(RcpNowPlaying, AddInsertsTheSongAtTheGivenPosition)
{
    const auto song = At<IRCPSong>(songs_, 1);
    const auto entry = At<IRCPNowPlayingItem>(queue_, 2);
    player_.Forget();
    struct Case {
        const char* what;
        Variant object;
        Variant after;
        HRESULT expected;
        Lines sent;
    };
    const Case cases[] = {
        {"no position",
         Variant(UnknownPtr(song)),
         Variant::Missing(),
         S_OK,
         {"NowPlayingInsert 1 0"}},
        {"after an entry",
         Variant(UnknownPtr(song)),
         Variant(UnknownPtr(entry)),
         S_OK,
         {"NowPlayingInsert 1 2"}},
        {"a number", Variant(UnknownPtr(song)), Variant(5), S_OK, {"NowPlayingInsert 1 5"}},
        {"not a song", Variant(UnknownPtr(entry)), Variant::Missing(), E_INVALIDARG, {}},
        {"a text", Variant("Five"), Variant::Missing(), E_INVALIDARG, {}},
        {"a bad position", Variant(UnknownPtr(song)), Variant("after"), E_INVALIDARG, {}},
        {"a song as position",
         Variant(UnknownPtr(song)),
         Variant(UnknownPtr(song)),
         E_INVALIDARG,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(queue_->Add(c.object, c.after), c.expected);
        EXPECT_EQ(player_.Sent(), c.sent);
        player_.Forget();
    }
}

TEST_F(RcpNowPlaying, EntriesAndQueueMembersSendTheirCommands)
{
    const auto second = At<IRCPNowPlayingItem>(queue_, 1);
    EXPECT_EQ(second->Play(), S_OK);
    EXPECT_EQ(second->Remove(), S_OK);
    EXPECT_EQ(queue_->Clear(), S_OK);
    EXPECT_EQ(player_.Sent(), (Lines{"PlayIndex 1", "NowPlayingRemoveAt 1", "NowPlayingClear"}));

    std::int32_t index = -1;
    EXPECT_EQ(queue_->get_CurrentIndex(index), S_OK);
    EXPECT_EQ(index, 2);

    std::shared_ptr<IRCPSong> current;
    ASSERT_EQ(queue_->get_CurrentSong(current), S_OK);
    std::string name;
    std::int32_t id = 0;
    current->get_Name(name);
    current->get_ID(id);
    EXPECT_EQ(name, "Three");
    EXPECT_EQ(id, CRCPSong::kUnlistedId);
}

TEST_F(RcpNowPlaying, RefreshListsTheQueueAgainAndKeepsItOnFailure)
{
    std::shared_ptr<IEnumVARIANT> before;
    ASSERT_EQ(queue_->get__NewEnum(before), S_OK);
    player_.Reply("ListNowPlayingQueue", ListReply("ListNowPlayingQueue", {"Only"}));
    ASSERT_EQ(queue_->Refresh(), S_OK);
    std::int32_t count = 0;
    queue_->get_Count(count);
    EXPECT_EQ(count, 1);
    // An enumerator of the longer queue stops where the entries end.
    std::vector<Variant> entries;
    EXPECT_EQ(before->Next(3, entries), E_INVALIDARG);
    EXPECT_EQ(entries.size(), 1u);

    player_.Reply("ListNowPlayingQueue", ValueReply("ListNowPlayingQueue", "ErrorNoServer"));
    EXPECT_EQ(queue_->Refresh(), E_RCP_NO_SERVER);
    queue_->get_Count(count);
    EXPECT_EQ(count, 1);
}

} // namespace
} // namespace velk
