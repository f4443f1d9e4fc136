#include "tools/sim/player.h"

#include <gtest/gtest.h>

#include "tools/sim/library_generator.h"
#include "tools/sim/remote_keys.h"

namespace velk::sim {
namespace {

// A player on a loop that never runs: its timers stay pending, everything else is immediate.
class PlayerTest : public ::testing::Test {
protected:
    PlayerTest()
        : library_(LibraryGenerator::Generate({1, 50, "velk"})),
          player_(loop_, Identity(), library_, "")
    {
    }

    static PlayerIdentity Identity()
    {
        PlayerIdentity identity;
        identity.address = "127.0.0.2";
        identity.name = "Test";
        identity.model = "KD-40";
        identity.firmware = "3.1.2";
        identity.display = *Display::FindModel("Large VFD");
        return identity;
    }

    std::vector<QueueEntry> Songs(std::initializer_list<int> ids)
    {
        std::vector<QueueEntry> entries;
        for (const int id : ids)
            entries.push_back({0, id});
        return entries;
    }

    EventLoop loop_;
    MusicLibrary library_;
    Player player_;
};

TEST_F(PlayerTest, QueueEditsKeepThePlayingEntry)
{
    player_.QueueAndPlay(Songs({10, 11, 12}), 1);
    EXPECT_EQ(player_.CurrentSong()->id, 11);
    EXPECT_TRUE(player_.Insert({0, 20}, 0));
    EXPECT_EQ(player_.current_index(), 2);
    EXPECT_EQ(player_.CurrentSong()->id, 11);
    EXPECT_TRUE(player_.RemoveAt(0));
    EXPECT_EQ(player_.CurrentSong()->id, 11);
    EXPECT_TRUE(player_.RemoveAt(1)); // the playing entry: the next one plays
    EXPECT_EQ(player_.CurrentSong()->id, 12);
    EXPECT_FALSE(player_.Insert({0, 1}, 5));
    EXPECT_FALSE(player_.RemoveAt(-1));
    player_.ClearQueue();
    EXPECT_EQ(player_.CurrentSong(), nullptr);
    EXPECT_EQ(player_.transport(), Transport::Stop);
}

TEST_F(PlayerTest, NextStopsAtTheEndUnlessRepeatingAll)
{
    player_.QueueAndPlay(Songs({1, 2}), 1);
    player_.Next();
    EXPECT_EQ(player_.transport(), Transport::Stop);
    player_.SetRepeat(RepeatMode::All);
    player_.PlayIndex(1);
    player_.Next();
    EXPECT_EQ(player_.transport(), Transport::Play);
    EXPECT_EQ(player_.current_index(), 0);
    player_.Previous(); // within the first seconds: the entry before, around the end
    EXPECT_EQ(player_.current_index(), 1);
}

TEST_F(PlayerTest, StandbyStopsPlaybackAndPlayWakesThePlayer)
{
    player_.Play();
    player_.SetStandby(true);
    EXPECT_EQ(player_.transport(), Transport::Stop);
    player_.Play();
    EXPECT_FALSE(player_.standby());
    EXPECT_EQ(player_.transport(), Transport::Play);
}

TEST_F(PlayerTest, RemoteKeysGoToSubscribersOrArePerformed)
{
    std::vector<std::string> heard;
    const auto id =
        player_.key_listeners().Add([&heard](std::string_view key) { heard.emplace_back(key); });
    player_.PressRemoteKey(*RemoteKeyCode("CK_VOLUME_UP"));
    EXPECT_EQ(heard, std::vector<std::string>{"CK_VOLUME_UP"});
    EXPECT_EQ(player_.volume(), 40);
    player_.key_listeners().Remove(id);
    player_.PressRemoteKey(*RemoteKeyCode("CK_VOLUME_UP"));
    EXPECT_EQ(player_.volume(), 45);
    player_.DispatchKey(*RemoteKeyCode("CK_VOLUME_50"));
    EXPECT_EQ(player_.volume(), 50);
}

TEST_F(PlayerTest, PresetsConnectTheirServerAndPlay)
{
    ASSERT_FALSE(player_.presets().empty());
    for (std::size_t i = 0; i < player_.presets().size(); ++i) {
        SCOPED_TRACE(player_.presets()[i].name);
        EXPECT_TRUE(player_.PlayPreset(static_cast<int>(i)));
        EXPECT_EQ(player_.connected_server(), player_.presets()[i].server);
        EXPECT_EQ(player_.transport(), Transport::Play);
    }
    EXPECT_FALSE(player_.PlayPreset(static_cast<int>(player_.presets().size())));
}

TEST_F(PlayerTest, ClockFollowsSetDateAndTime)
{
    ASSERT_TRUE(player_.SetDate(12, 7, 2026));
    ASSERT_TRUE(player_.SetTime(13, 5, 9));
    const std::tm now = player_.LocalTime();
    EXPECT_EQ(now.tm_mon + 1, 12);
    EXPECT_EQ(now.tm_mday, 7);
    EXPECT_EQ(now.tm_year + 1900, 2026);
    EXPECT_EQ(now.tm_hour, 13);
    EXPECT_EQ(now.tm_min, 5);
    EXPECT_FALSE(player_.SetDate(2, 30, 2026));
    EXPECT_FALSE(player_.SetTime(24, 0, 0));
}

} // namespace
} // namespace velk::sim
