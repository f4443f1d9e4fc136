// The provider framework against real players of velk-sim: which arriving players are
// subscribed, what every arriving and departing player is sent, and what a remote key does.
#include "providers/common/data_provider.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "platform/apartment.h"
#include "platform/registry_test_fixture.h"
#include "platform/testdata/run_apartment_until.h"
#include "providers/common/testdata/recording_player.h"
#include "service/velk_device.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;
using testing::RecordingPlayer;

constexpr std::uint32_t kSafetyMs = 10000;

// A provider of the feed kind whose device states the test decides.
class FeedKindProvider : public CDataProvider {
public:
    FeedKindProvider() : CDataProvider(ProviderKind::Feed) {}

    std::set<std::string> configured;
    std::vector<std::string> cursor_resets;

protected:
    bool HasDeviceState(const std::string& udn) const override { return configured.contains(udn); }
    void ResetDisplayCursor(const std::string& udn) override { cursor_resets.push_back(udn); }
};

class DataProviderTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        apartment_ = Apartment::Create();
        ASSERT_TRUE(apartment_);
        ASSERT_TRUE(sim_.ready());
        provider_ = std::make_shared<FeedKindProvider>();
    }

    void TearDown() override
    {
        provider_.reset();
        players_.clear();
        if (apartment_)
            apartment_->Close();
        RegistryFixture::TearDown();
    }

    std::shared_ptr<RecordingPlayer> Player(int index)
    {
        auto player = std::make_shared<CVelkDevice>();
        EXPECT_EQ(player->Connect(sim_.address(index), Udn(index), "Player", 0), S_OK);
        players_.push_back(player);
        return std::make_shared<RecordingPlayer>(player);
    }

    static std::string Udn(int index) { return "uuid:player-" + std::to_string(index); }

    static bool MonitoringKeys(IVelkDevice& player)
    {
        std::shared_ptr<IRCPSession> session;
        bool on = false;
        EXPECT_EQ(player.get_RCPSession(session), S_OK);
        if (session)
            session->get_MonitorRemoteKey(on);
        return on;
    }

    bool HasReceived(int index, const std::string& line)
    {
        const auto lines = sim_.Received(index);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // A key pressed before the player has the key subscription is the player's own.
    void AwaitKeySubscription()
    {
        ASSERT_TRUE(PumpUntil([&] { return HasReceived(0, "IrDemodSubscribe"); }));
    }

    bool PumpUntil(const std::function<bool()>& condition)
    {
        return RunApartmentUntil(*apartment_, condition, kSafetyMs);
    }

    SimProcess sim_{{"--players", "1"}};
    std::shared_ptr<Apartment> apartment_;
    std::vector<std::shared_ptr<CVelkDevice>> players_;
    std::shared_ptr<FeedKindProvider> provider_;
};

TEST_F(DataProviderTest, ArrivingPlayerIsSubscribedOnlyWithADeviceStateAndAlwaysHandedBack)
{
    const std::string quit = RecordingPlayer::SketchCall(SketchVerbs::SketchQuit);
    for (const bool configured : {false, true}) {
        SCOPED_TRACE(configured ? "configured" : "not configured");
        provider_ = std::make_shared<FeedKindProvider>();
        if (configured)
            provider_->configured.insert(Udn(0));
        auto player = Player(0);

        EXPECT_EQ(provider_->OnAddDevice(player), S_OK);
        EXPECT_EQ(provider_->IsSubscribed(Udn(0)), configured);
        EXPECT_EQ(MonitoringKeys(*player), configured);
        EXPECT_EQ(provider_->cursor_resets.size(), configured ? 1u : 0u);
        EXPECT_EQ(player->calls(), std::vector<std::string>{quit});
        provider_->OnRemoveDevice(player);
    }
}

TEST_F(DataProviderTest, RemovingAPlayerTwiceAnswersSFalseAndHandsItBackAgain)
{
    provider_->configured.insert(Udn(0));
    auto player = Player(0);
    ASSERT_EQ(provider_->OnAddDevice(player), S_OK);
    ASSERT_TRUE(MonitoringKeys(*player));

    EXPECT_EQ(provider_->OnRemoveDevice(player), S_OK);
    EXPECT_FALSE(provider_->IsSubscribed(Udn(0)));
    EXPECT_FALSE(MonitoringKeys(*player)) << "the key request is returned";
    EXPECT_EQ(provider_->OnRemoveDevice(player), S_FALSE);
    EXPECT_EQ(player->Count(RecordingPlayer::SketchCall(SketchVerbs::SketchQuit)), 3u)
        << "arrival and both removals hand the display back";
}

TEST_F(DataProviderTest, ExitGivesTheDisplayUpAtOnceAndKeepsTheKeyFromThePlayer)
{
    provider_->configured.insert(Udn(0));
    auto player = Player(0);
    ASSERT_EQ(provider_->OnAddDevice(player), S_OK);
    AwaitKeySubscription();

    // Any other key is the player's own.
    sim_.Control("key " + sim_.address() + " CK_MENU");
    EXPECT_TRUE(PumpUntil([&] { return HasReceived(0, "IrDispatchCommand CK_MENU"); }));
    EXPECT_EQ(player->Count("GiveUpDisplay 0"), 0u);

    sim_.Control("key " + sim_.address() + " CK_EXIT");
    ASSERT_TRUE(PumpUntil([&] { return player->Count("GiveUpDisplay 0") == 1; }));
    EXPECT_TRUE(PumpUntil([&] { return HasReceived(0, "sketch -c quit"); }));
    EXPECT_FALSE(HasReceived(0, "IrDispatchCommand CK_EXIT"));
}

TEST_F(DataProviderTest, KeyAfterTheProviderHasGoneIsLeftToThePlayer)
{
    provider_->configured.insert(Udn(0));
    auto player = Player(0);
    ASSERT_EQ(provider_->OnAddDevice(player), S_OK);
    AwaitKeySubscription();
    // Released without Terminate: its handler stays connected but must not reach it.
    provider_.reset();

    sim_.Control("key " + sim_.address() + " CK_EXIT");
    EXPECT_TRUE(PumpUntil([&] { return HasReceived(0, "IrDispatchCommand CK_EXIT"); }));
    EXPECT_EQ(player->Count("GiveUpDisplay 0"), 0u);
}

} // namespace
} // namespace velk
