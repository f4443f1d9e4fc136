// The data service finding players over UPnP, in process, against simulated players inside a
// private network namespace (SSDP never leaves it): players come and go, other renderers are
// left out, and a player's transport events reach its player object.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/apartment.h"
#include "platform/event.h"
#include "platform/testdata/run_apartment_until.h"
#include "service/velk_data_service.h"
#include "service/velk_device.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;

constexpr std::uint32_t kDiscoveryWaitMs = 30000;

class RecordingSink : public _IVelkDataServiceEvent {
public:
    HRESULT OnAddDevice(const std::shared_ptr<IVelkDevice>& device) override
    {
        std::string udn;
        device->get_UDN(udn);
        added.push_back(udn);
        return S_OK;
    }
    HRESULT OnRemoveDevice(const std::shared_ptr<IVelkDevice>& device) override
    {
        std::string udn;
        device->get_UDN(udn);
        removed.push_back(udn);
        return S_OK;
    }

    std::vector<std::string> added;
    std::vector<std::string> removed;
};

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override { unsetenv("VELK_DISCOVERY"); }

    void TearDown() override
    {
        if (root_)
            root_->Terminate();
        root_.reset();
        apartment_->Close();
    }

    bool PumpUntil(const std::function<bool()>& condition, std::uint32_t timeout_ms)
    {
        return RunApartmentUntil(*apartment_, condition, timeout_ms, 50);
    }

    std::int32_t PlayerCount()
    {
        std::shared_ptr<IVelkDevices> players;
        std::int32_t count = -1;
        if (SUCCEEDED(root_->get_VelkDevices(players)))
            players->get_Count(count);
        return count;
    }

    std::shared_ptr<Apartment> apartment_ = Apartment::Create();
    std::shared_ptr<CVelkDataService> root_ = std::make_shared<CVelkDataService>();
};

TEST_F(DiscoveryTest, PlayersComeAndGoOtherRenderersStayOut)
{
    SimProcess sim({"--players", "2", "--renderer-only"});
    ASSERT_TRUE(sim.ready());
    auto sink = std::make_shared<RecordingSink>();
    DWORD cookie = 0;
    ASSERT_EQ(root_->Advise(sink, cookie), S_OK);
    ASSERT_EQ(root_->Initialize(), S_OK);

    ASSERT_TRUE(PumpUntil([&] { return sink->added.size() >= 2; }, kDiscoveryWaitMs));
    // The renderer of another maker answers no shell: it never becomes a player.
    PumpUntil([] { return false; }, 2000);
    EXPECT_EQ(sink->added.size(), 2u);
    EXPECT_EQ(PlayerCount(), 2);

    // A transport change on the player reaches its player object.
    std::shared_ptr<IVelkDevices> players;
    ASSERT_EQ(root_->get_VelkDevices(players), S_OK);
    std::shared_ptr<IVelkDevice> player;
    ASSERT_EQ(players->Item(Variant(sink->added[0]), player), S_OK);
    auto device = std::dynamic_pointer_cast<CVelkDevice>(player);
    ASSERT_TRUE(device);
    std::shared_ptr<IRCPSession> session;
    ASSERT_EQ(player->get_RCPSession(session), S_OK);
    ASSERT_EQ(session->Play(), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return device->playing(); }, kDiscoveryWaitMs));
    ASSERT_EQ(session->Stop(), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return !device->playing(); }, kDiscoveryWaitMs));

    // A player that says goodbye leaves the collection.
    std::string address;
    for (const auto& line : sim.Control("players")) {
        if (line.find(sink->added[1]) != std::string::npos)
            address = line.substr(0, line.find('\t'));
    }
    ASSERT_FALSE(address.empty());
    sim.Control("fault " + address + " upnp off");
    ASSERT_TRUE(PumpUntil([&] { return !sink->removed.empty(); }, kDiscoveryWaitMs));
    EXPECT_EQ(sink->removed, std::vector<std::string>{sink->added[1]});
    EXPECT_EQ(PlayerCount(), 1);

    EXPECT_EQ(root_->RemoveDevice("uuid:nobody"), E_FAIL);
    EXPECT_EQ(root_->RemoveDevice(sink->added[0]), S_OK);
    EXPECT_EQ(PlayerCount(), 0);
    EXPECT_EQ(root_->Unadvise(cookie), S_OK);
}

// Scripts pass TRUE as -1, programs in C++ as 1: either starts the search.
TEST_F(DiscoveryTest, EitherTrueStartsTheSearchFromAScript)
{
    SimProcess sim({"--players", "1"});
    ASSERT_TRUE(sim.ready());
    setenv("VELK_DISCOVERY", "off", 1);
    for (const std::int32_t on : {-1, 1}) {
        SCOPED_TRACE(on);
        root_ = std::make_shared<CVelkDataService>();
        ASSERT_EQ(root_->Initialize(), S_OK);
        ASSERT_EQ(root_->ControlService(ServiceName::ServiceNameUPnP, on), S_OK);
        EXPECT_TRUE(PumpUntil([&] { return PlayerCount() == 1; }, kDiscoveryWaitMs));
        ASSERT_EQ(root_->Terminate(), S_OK);
    }
}

TEST_F(DiscoveryTest, APlayerWhoseShellStartsLateIsFoundOnceItAnswers)
{
    SimProcess sim({"--players", "1"});
    ASSERT_TRUE(sim.ready());
    sim.Control("fault " + sim.address() + " silent on");
    auto sink = std::make_shared<RecordingSink>();
    DWORD cookie = 0;
    ASSERT_EQ(root_->Advise(sink, cookie), S_OK);
    ASSERT_EQ(root_->Initialize(), S_OK);
    // Announced, but its shell greets no one yet.
    PumpUntil([] { return false; }, 3000);
    EXPECT_TRUE(sink->added.empty());
    sim.Control("fault " + sim.address() + " silent off");
    EXPECT_TRUE(PumpUntil([&] { return sink->added.size() == 1; }, kDiscoveryWaitMs));
}

} // namespace
} // namespace velk
