// The provider hosting of the root object against the test provider module and real players of
// velk-sim: which classes load for whom, what each provider is given, when it runs, and that
// every provider call runs on the main apartment.
#include "service/velk_data_host.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <functional>

#include "platform/apartment.h"
#include "platform/class_registry.h"
#include "platform/event_log.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "platform/testdata/run_apartment_until.h"
#include "service/provider_hosting.h"
#include "service/testdata/test_provider_control.h"
#include "service/velk_data_service.h"
#include "service/velk_device.h"
#include "tools/sim/sim_test_support.h"
#include "velk/ircp_session.h"

namespace velk {
namespace {

using sim::testing::SimProcess;
using testing::kBrokenProvider;
using testing::kConfigurableProvider;
using testing::kPlainProvider;
using testing::ProviderSteering;
using testing::TestProviderControl;

constexpr std::uint32_t kSafetyMs = 10000;
// How long a test watches for calls that must not come.
constexpr std::uint32_t kQuietMs = 100;
const Guid kUnregisteredClass = *Guid::Parse("{3C0F5E7A-6B1D-4E2A-9C3B-7D8E9F0A1BFF}");

std::string PlayerKeyPath(int index)
{
    return std::string(ProviderHosting::kDataProvidersKey) + "\\player-" + std::to_string(index);
}

// A device-state stream: the host header (no fields) and then the provider's own bytes.
std::vector<std::uint8_t> DeviceState(std::string_view provider_part)
{
    std::vector<std::uint8_t> bytes{0, 0};
    bytes.insert(bytes.end(), provider_part.begin(), provider_part.end());
    return bytes;
}

class DataHostTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        main_thread_ = std::this_thread::get_id();
        apartment_ = Apartment::Create();
        ASSERT_TRUE(apartment_);
        ASSERT_EQ(ClassRegistry::RegisterModule(VELK_TEST_PROVIDER_MODULE), S_OK);
        // The class registry keeps the module loaded; this handle is the same one.
        module_ = dlopen(VELK_TEST_PROVIDER_MODULE, RTLD_NOW);
        ASSERT_NE(module_, nullptr) << dlerror();
        auto control = reinterpret_cast<testing::TestProviderControlFn>(
            dlsym(module_, testing::kTestProviderControlSymbol));
        ASSERT_NE(control, nullptr);
        control_ = control();
        control_->Reset();
        service_ = std::make_shared<CVelkDataService>();
        ASSERT_EQ(service_->Initialize(), S_OK);
    }

    void TearDown() override
    {
        if (service_) {
            EXPECT_EQ(service_->Terminate(), S_OK);
        }
        if (control_) {
            EXPECT_EQ(control_->live, 0) << "every provider is released";
            EXPECT_TRUE(control_->data_event.empty()) << "every sink is unadvised";
            for (const auto& call : control_->Calls())
                EXPECT_EQ(call.thread, main_thread_) << call.name << " ran on another thread";
        }
        service_.reset();
        if (apartment_)
            apartment_->Close();
        if (module_)
            dlclose(module_);
        RegistryFixture::TearDown();
    }

    static void ListClasses(int player, const std::vector<std::string>& classes, bool multi)
    {
        RegKey key;
        ASSERT_EQ(key.Create(Hive::LocalMachine, PlayerKeyPath(player)), S_OK);
        if (multi)
            ASSERT_EQ(key.SetMultiStringValue(ProviderHosting::kClassesValue, classes), S_OK);
        else
            ASSERT_EQ(key.SetStringValue(ProviderHosting::kClassesValue, classes.at(0)), S_OK);
    }

    static void WriteState(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        RegKey key;
        ASSERT_EQ(key.Create(Hive::LocalMachine, path), S_OK);
        ASSERT_EQ(key.SetBinaryValue("Parameters", bytes), S_OK);
    }

    static void WriteDeviceState(int player, const Guid& clsid, std::string_view provider_part)
    {
        WriteState(PlayerKeyPath(player) + "\\" + clsid.ToString(), DeviceState(provider_part));
    }

    // A connected player of the simulator, entered through the root object.
    std::shared_ptr<CVelkDevice> AddPlayer(const SimProcess& sim, int index)
    {
        auto player = std::make_shared<CVelkDevice>();
        EXPECT_EQ(player->Connect(sim.address(index), "uuid:player-" + std::to_string(index),
                                  "Player " + std::to_string(index), service_->service_cookie()),
                  S_OK);
        service_->AddPlayer(player);
        return player;
    }

    bool PumpUntil(const std::function<bool()>& condition)
    {
        return RunApartmentUntil(*apartment_, condition, kSafetyMs);
    }

    void PumpFor(std::uint32_t ms)
    {
        Event never;
        apartment_->PumpUntil({never}, ms);
    }

    std::vector<DispatchablePtr> Hosts()
    {
        std::shared_ptr<IVelkHosts> hosts;
        EXPECT_EQ(service_->get_Hosts(hosts), S_OK);
        std::int32_t count = 0;
        hosts->get_Count(count);
        std::vector<DispatchablePtr> items;
        for (std::int32_t i = 0; i < count; ++i) {
            DispatchablePtr host;
            EXPECT_EQ(hosts->Item(Variant(i), host), S_OK);
            items.push_back(host);
        }
        return items;
    }

    static Variant Get(IDispatchable& object, std::string_view name)
    {
        DISPID dispid = 0;
        EXPECT_EQ(object.Table().GetIDOfName(name, dispid), S_OK) << name;
        std::vector<Variant> args;
        Variant result;
        EXPECT_EQ(object.Invoke(dispid, MemberKind::PropertyGet, args, result), S_OK) << name;
        return result;
    }

    static bool MonitoringKeys(CVelkDevice& player)
    {
        std::shared_ptr<IRCPSession> session;
        bool on = false;
        EXPECT_EQ(player.get_RCPSession(session), S_OK);
        if (session)
            session->get_MonitorRemoteKey(on);
        return on;
    }

    std::size_t Runs(const Guid& clsid) { return control_->Count(clsid, "Run"); }

    std::thread::id main_thread_;
    std::shared_ptr<Apartment> apartment_;
    void* module_ = nullptr;
    TestProviderControl* control_ = nullptr;
    std::shared_ptr<CVelkDataService> service_;
};

TEST_F(DataHostTest, ProviderListedByTwoPlayersLoadsOnceAndServesBoth)
{
    SimProcess sim({"--players", "2"});
    ASSERT_TRUE(sim.ready());
    const std::string configurable = kConfigurableProvider.ToString();
    ListClasses(0, {configurable}, false);
    // Not a class id, then the same class twice: attached once per listing, served once.
    ListClasses(1, {"not a class id", configurable, configurable}, true);
    WriteDeviceState(0, kConfigurableProvider, "zero");
    WriteDeviceState(1, kConfigurableProvider, "one");
    WriteState("SOFTWARE\\Velk\\DataServer\\Globals\\" + configurable,
               std::vector<std::uint8_t>{'g', 'l', 'o', 'b', 'a', 'l'});
    control_->Steer(kConfigurableProvider, {60000, S_OK});

    RecordingEventLog log;
    auto first = AddPlayer(sim, 0);
    auto second = AddPlayer(sim, 1);
    EXPECT_TRUE(log.Records().empty()) << "a string that is no class id is skipped silently";

    // The first poll comes at once, among these calls: left out here.
    std::vector<std::string> names;
    std::vector<std::string> details;
    for (const auto& call : control_->Calls()) {
        if (call.name == "Run")
            continue;
        names.push_back(call.name);
        if (call.name != "Initialize" && call.name != "Start")
            details.push_back(call.detail);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"LoadObjectState", "Initialize", "Start", "LoadDeviceState",
                                        "LoadDeviceState", "LoadDeviceState"}));
    EXPECT_EQ(details, (std::vector<std::string>{"global", "uuid:player-0 zero",
                                                 "uuid:player-1 one", "uuid:player-1 one"}));

    const auto hosts = Hosts();
    ASSERT_EQ(hosts.size(), 1u);
    auto host = std::dynamic_pointer_cast<IVelkDataHost>(hosts[0]);
    ASSERT_TRUE(host);
    std::shared_ptr<IVelkDevices> served;
    ASSERT_EQ(host->get_VelkDevices(served), S_OK);
    std::int32_t count = 0;
    ASSERT_EQ(served->get_Count(count), S_OK);
    EXPECT_EQ(count, 2);

    // What velkctl reads by name.
    EXPECT_EQ(Get(*hosts[0], "CLSID"), Variant(configurable));
    EXPECT_EQ(Get(*hosts[0], "Status"),
              Variant(static_cast<std::int32_t>(HostStatus::HostStatusAcceptingRequests)));
    EXPECT_EQ(Get(*hosts[0], "PollingFrequency"), Variant(std::uint32_t{60000}));
    std::uint32_t cookie = 0;
    ASSERT_EQ(host->get_Cookie(cookie), S_OK);
    EXPECT_EQ(Get(*hosts[0], "Cookie"), Variant(cookie));

    EXPECT_TRUE(MonitoringKeys(*first));
    EXPECT_TRUE(MonitoringKeys(*second));
    ASSERT_EQ(service_->RemoveDevice("uuid:player-1"), S_OK);
    EXPECT_EQ(control_->Count(kConfigurableProvider, "Terminate"), 0u) << "one player is left";
    ASSERT_EQ(host->get_VelkDevices(served), S_OK);
    ASSERT_EQ(served->get_Count(count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(MonitoringKeys(*second)) << "detaching returns the remote-key request";
}

TEST_F(DataHostTest, UnregisteredClassIsSkippedSilentlyAndAFailingOneIsReported)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    ListClasses(
        0, {kUnregisteredClass.ToString(), kBrokenProvider.ToString(), kPlainProvider.ToString()},
        true);
    RecordingEventLog log;
    AddPlayer(sim, 0);

    std::vector<EventLogRecord> failures;
    for (const auto& record : log.Records()) {
        if (record.event_id == CVelkDataHost::kEventProviderNotCreated)
            failures.push_back(record);
    }
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].type, EventLogType::Error);
    EXPECT_EQ(failures[0].category, static_cast<std::uint16_t>(EventCategories::Object));
    EXPECT_EQ(failures[0].strings,
              (std::vector<std::string>{"Velk Test Broken Provider", "80004002"}));
    const auto hosts = Hosts();
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(Get(*hosts[0], "CLSID"), Variant(kPlainProvider.ToString()));
    EXPECT_EQ(control_->Names(kPlainProvider), (std::vector<std::string>{"Initialize", "Start"}))
        << "a provider without configuration gets no state calls";
}

TEST_F(DataHostTest, ProviderWhoseInitializeFailsIsTerminatedAndNotKept)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    ListClasses(0, {kConfigurableProvider.ToString()}, false);
    control_->Steer(kConfigurableProvider, {kNoPolling, E_FAIL});
    AddPlayer(sim, 0);
    EXPECT_EQ(control_->Names(kConfigurableProvider),
              (std::vector<std::string>{"Initialize", "Start", "Terminate"}));
    EXPECT_TRUE(Hosts().empty());
    EXPECT_EQ(control_->live, 0);
    EXPECT_TRUE(control_->data_event.empty());
}

TEST_F(DataHostTest, PendingProviderIsNeverPolledAndRunsAfterItsData)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    ListClasses(0, {kConfigurableProvider.ToString()}, false);
    // The interval it writes does not count.
    control_->Steer(kConfigurableProvider, {1, E_PENDING});
    AddPlayer(sim, 0);
    const auto hosts = Hosts();
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(Get(*hosts[0], "PollingFrequency"), Variant(kNoPolling));
    PumpFor(kQuietMs);
    EXPECT_EQ(Runs(kConfigurableProvider), 0u);

    // Raised three times while this apartment does not run: the worker's Run waits for it, and
    // the manual-reset event gathers the rest into at most one more.
    control_->RaiseDataAvailable(3);
    ASSERT_TRUE(PumpUntil([&] { return Runs(kConfigurableProvider) >= 1; }));
    PumpFor(kQuietMs);
    EXPECT_LE(Runs(kConfigurableProvider), 2u);

    // Raised once more after those runs: one more Run.
    const std::size_t before = Runs(kConfigurableProvider);
    control_->RaiseDataAvailable(1);
    ASSERT_TRUE(PumpUntil([&] { return Runs(kConfigurableProvider) == before + 1; }));
}

TEST_F(DataHostTest, PollIntervalZeroRunsOnceAndAnIntervalRepeats)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    ListClasses(0, {kPlainProvider.ToString(), kConfigurableProvider.ToString()}, true);
    control_->Steer(kPlainProvider, {0, S_OK});
    control_->Steer(kConfigurableProvider, {1, S_OK});
    AddPlayer(sim, 0);
    ASSERT_TRUE(PumpUntil([&] { return Runs(kConfigurableProvider) >= 3; }));
    EXPECT_EQ(Runs(kPlainProvider), 1u);
}

TEST_F(DataHostTest, LastPlayerGoneTerminatesTheProviderAndEndsItsPolling)
{
    SimProcess sim({"--players", "2"});
    ASSERT_TRUE(sim.ready());
    ListClasses(0, {kPlainProvider.ToString()}, false);
    ListClasses(1, {kPlainProvider.ToString()}, false);
    control_->Steer(kPlainProvider, {1, S_OK});
    AddPlayer(sim, 0);
    AddPlayer(sim, 1);
    ASSERT_TRUE(PumpUntil([&] { return Runs(kPlainProvider) >= 2; }));

    ASSERT_EQ(service_->RemoveDevice("uuid:player-0"), S_OK);
    ASSERT_EQ(service_->RemoveDevice("uuid:player-1"), S_OK);
    auto names = control_->Names(kPlainProvider);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "Terminate");
    EXPECT_TRUE(Hosts().empty());
    EXPECT_EQ(control_->live, 0);
    PumpFor(kQuietMs);
    EXPECT_EQ(control_->Names(kPlainProvider), names) << "no Run after Terminate";
}

// A provider's Run that waits on a player keeps the main apartment serving others: here its last
// player leaves meanwhile, and the rescan that follows must not wait for the poll that is running
// this very Run.
TEST_F(DataHostTest, APlayerLeavingWhileItsProviderRunsDoesNotStallTheService)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    ListClasses(0, {kPlainProvider.ToString()}, false);
    bool removed = false;
    control_->Steer(kPlainProvider, {1, S_OK});
    control_->SteerRun(kPlainProvider, [&] {
        std::shared_ptr<IVelkDevices> players;
        std::int32_t count = 0;
        // The first runs may come while the player is still being added.
        if (removed || FAILED(service_->get_VelkDevices(players)) ||
            FAILED(players->get_Count(count)) || count == 0)
            return;
        removed = true;
        EXPECT_EQ(service_->RemoveDevice("uuid:player-0"), S_OK);
    });
    // A cycle of waits never ends: end the test with a clear failure instead.
    Event done;
    std::thread watchdog([&done] {
        if (!done.Wait(60000)) {
            std::fputs("the service stalled: a wait closed into a cycle\n", stderr);
            std::_Exit(1);
        }
    });
    AddPlayer(sim, 0);
    EXPECT_TRUE(PumpUntil([&] { return removed && Hosts().empty(); }));
    done.Set();
    watchdog.join();
    EXPECT_EQ(control_->Names(kPlainProvider).back(), "Terminate");
}

TEST_F(DataHostTest, ServiceStopWaitsForPollingAndTerminatesLast)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    ListClasses(0, {kPlainProvider.ToString()}, false);
    control_->Steer(kPlainProvider, {1, S_OK});
    AddPlayer(sim, 0);
    ASSERT_TRUE(PumpUntil([&] { return Runs(kPlainProvider) >= 3; }));

    EXPECT_EQ(service_->Terminate(), S_OK);
    const auto names = control_->Names(kPlainProvider);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "Terminate");
    PumpFor(kQuietMs);
    EXPECT_EQ(control_->Names(kPlainProvider), names) << "no poll callback outlives the stop";
}

TEST_F(DataHostTest, ReloadRereadsStatesAndDropsProvidersNoLongerListed)
{
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    ListClasses(0, {kConfigurableProvider.ToString(), kPlainProvider.ToString()}, true);
    WriteDeviceState(0, kConfigurableProvider, "before");
    control_->Steer(kConfigurableProvider, {kNoPolling, E_PENDING});
    auto player = AddPlayer(sim, 0);
    ASSERT_EQ(Hosts().size(), 2u);

    WriteDeviceState(0, kConfigurableProvider, "after");
    ListClasses(0, {kConfigurableProvider.ToString()}, false);
    control_->Reset();
    ASSERT_EQ(service_->Reload(), S_OK);

    EXPECT_EQ(control_->Names(kPlainProvider), (std::vector<std::string>{"Terminate"}));
    std::vector<std::string> device_states;
    for (const auto& call : control_->Calls()) {
        if (call.name == "LoadDeviceState")
            device_states.push_back(call.detail);
    }
    // Read again for the reload's attach, and once more after the provider came back.
    EXPECT_EQ(device_states,
              (std::vector<std::string>{"uuid:player-0 after", "uuid:player-0 after"}));
    const auto names = control_->Names(kConfigurableProvider);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Terminate"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Initialize"), 1);
    const auto hosts = Hosts();
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(Get(*hosts[0], "Status"),
              Variant(static_cast<std::int32_t>(HostStatus::HostStatusAcceptingRequests)));
    EXPECT_TRUE(MonitoringKeys(*player));

    // The reloaded provider's data event is the worker's again.
    control_->RaiseDataAvailable(1);
    ASSERT_TRUE(PumpUntil([&] { return Runs(kConfigurableProvider) == 1; }));
}

} // namespace
} // namespace velk
