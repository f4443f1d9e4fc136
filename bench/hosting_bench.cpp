// The provider hosting's own cost, with the test provider module and a player of velk-sim:
// how long a provider that waits for its data takes from OnDataAvailable to its Run, and what
// a reload of the service costs with many hosts. Runs in a scratch registry, without discovery.
#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/apartment.h"
#include "platform/class_registry.h"
#include "platform/reg_key.h"
#include "service/provider_hosting.h"
#include "service/testdata/test_provider_control.h"
#include "service/velk_data_service.h"
#include "service/velk_device.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using testing::kConfigurableProvider;
using testing::PolledProviderClass;
using testing::TestProviderControl;

constexpr std::uint32_t kSafetyMs = 10000;
// Long enough that a polled provider runs only for the first poll of each load.
constexpr std::uint32_t kPollIntervalMs = 60000;
// The simulated players: one for the provider that waits for data, one for the polled ones.
constexpr int kPendingPlayer = 0;
constexpr int kPolledPlayer = 1;

// A registry folder of its own for the run, removed afterwards; no UPnP discovery.
class ScratchRegistry {
public:
    ScratchRegistry()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velkbench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return;
        folder_ = pattern;
        setenv("VELK_REGISTRY_DIR", folder_.c_str(), 1);
        setenv("VELK_DISCOVERY", "off", 1);
    }
    ~ScratchRegistry()
    {
        if (folder_.empty())
            return;
        unsetenv("VELK_REGISTRY_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    bool ready() const { return !folder_.empty(); }

private:
    std::filesystem::path folder_;
};

// What every benchmark shares: the main apartment (this thread), the registered test provider
// module with its control object, and the simulated players.
class Environment {
public:
    Environment()
    {
        if (!apartment_ || FAILED(ClassRegistry::RegisterModule(VELK_TEST_PROVIDER_MODULE)))
            return;
        // The class registry keeps the module loaded; this is a second reference to it.
        module_ = dlopen(VELK_TEST_PROVIDER_MODULE, RTLD_NOW | RTLD_NOLOAD);
        if (!module_)
            return;
        auto control_fn = reinterpret_cast<testing::TestProviderControlFn>(
            dlsym(module_, testing::kTestProviderControlSymbol));
        if (!control_fn)
            return;
        control_ = control_fn();
        ready_ = sim_.ready();
    }
    ~Environment()
    {
        if (module_)
            dlclose(module_);
        if (apartment_)
            apartment_->Close();
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    bool ready() const { return ready_; }
    Apartment& apartment() { return *apartment_; }
    TestProviderControl& control() { return *control_; }
    std::string player_address(int index) const { return sim_.address(index); }

private:
    std::shared_ptr<Apartment> apartment_ = Apartment::Create();
    void* module_ = nullptr;
    TestProviderControl* control_ = nullptr;
    sim::testing::SimProcess sim_{{"--players", "2", "--no-upnp"}};
    bool ready_ = false;
};

std::string PlayerUdn(int index)
{
    return "uuid:player-" + std::to_string(index);
}

// Writes the classes a player lists under the data providers key.
bool ListClasses(int player, const std::vector<Guid>& classes)
{
    std::vector<std::string> strings;
    for (const auto& clsid : classes)
        strings.push_back(clsid.ToString());
    const std::string path =
        std::string(ProviderHosting::kDataProvidersKey) + "\\player-" + std::to_string(player);
    RegKey key;
    return SUCCEEDED(key.Create(Hive::LocalMachine, path)) &&
           SUCCEEDED(key.SetMultiStringValue(ProviderHosting::kClassesValue, strings));
}

// A root object with one connected player for the length of one benchmark run, terminated
// afterwards so that every provider is released.
class ServiceWithPlayer {
public:
    ServiceWithPlayer(const Environment& environment, int player)
    {
        if (FAILED(service_->Initialize()))
            return;
        auto device = std::make_shared<CVelkDevice>();
        if (FAILED(device->Connect(environment.player_address(player), PlayerUdn(player),
                                   "Player " + std::to_string(player), service_->service_cookie())))
            return;
        service_->AddPlayer(device);
        ready_ = true;
    }
    ~ServiceWithPlayer() { service_->Terminate(); }
    ServiceWithPlayer(const ServiceWithPlayer&) = delete;
    ServiceWithPlayer& operator=(const ServiceWithPlayer&) = delete;

    bool ready() const { return ready_; }
    CVelkDataService& service() { return *service_; }

    std::int32_t HostCount()
    {
        std::shared_ptr<IVelkHosts> hosts;
        std::int32_t count = 0;
        if (FAILED(service_->get_Hosts(hosts)) || FAILED(hosts->get_Count(count)))
            return -1;
        return count;
    }

private:
    const std::shared_ptr<CVelkDataService> service_ = std::make_shared<CVelkDataService>();
    bool ready_ = false;
};

// From OnDataAvailable, raised on the main apartment as a provider would, to the provider's Run:
// the worker wakes on the host's data event and calls the host through the interface table, so
// the Run comes on the main apartment, which waits in its pump as the service's loop does. The
// pump returns at the recorded call; checking the count and forgetting the call are included.
void DataAvailableToRun(benchmark::State& state, Environment& environment)
{
    TestProviderControl& control = environment.control();
    control.Reset();
    control.Steer(kConfigurableProvider, {kNoPolling, E_PENDING});
    if (!ListClasses(kPendingPlayer, {kConfigurableProvider})) {
        state.SkipWithError("could not write the player's classes");
        return;
    }
    ServiceWithPlayer run(environment, kPendingPlayer);
    if (!run.ready() || run.HostCount() != 1) {
        state.SkipWithError("the provider did not load");
        return;
    }
    control.Reset();
    for (auto _ : state) {
        control.RaiseDataAvailable(1);
        while (control.Count(kConfigurableProvider, "Run") == 0) {
            if (environment.apartment().PumpUntil({control.call_recorded}, kSafetyMs) != 0) {
                state.SkipWithError("no Run after OnDataAvailable");
                return;
            }
        }
        control.Reset();
    }
}

// The service's Reload with a number of polled hosts, all listed by one player: it rereads which
// players list which class, then for each host terminates its provider, has the worker rescan,
// loads the provider again (create, Initialize, Start) and reattaches the player; a last rescan
// ends it. That is hosts + 1 rescans, each reading every host through the root object on the
// main apartment, and each reloaded provider's first poll, which its new timer fires at once.
void ReloadWithPolledHosts(benchmark::State& state, Environment& environment)
{
    const int host_count = static_cast<int>(state.range(0));
    TestProviderControl& control = environment.control();
    control.Reset();
    std::vector<Guid> classes;
    for (int i = 0; i < host_count; ++i) {
        classes.push_back(PolledProviderClass(i));
        control.Steer(classes.back(), {kPollIntervalMs, S_OK});
    }
    if (!ListClasses(kPolledPlayer, classes)) {
        state.SkipWithError("could not write the player's classes");
        return;
    }
    ServiceWithPlayer run(environment, kPolledPlayer);
    if (!run.ready() || run.HostCount() != host_count) {
        state.SkipWithError("the providers did not load");
        return;
    }
    for (auto _ : state) {
        if (FAILED(run.service().Reload())) {
            state.SkipWithError("Reload failed");
            return;
        }
    }
    if (run.HostCount() != host_count)
        state.SkipWithError("hosts were lost in the reloads");
    state.counters["hosts"] = host_count;
    state.counters["rescans_per_reload"] = host_count + 1;
    control.Reset();
}

} // namespace
} // namespace velk

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    velk::ScratchRegistry registry;
    if (!registry.ready()) {
        std::fprintf(stderr, "no scratch registry folder\n");
        return 1;
    }
    velk::Environment environment;
    if (!environment.ready()) {
        std::fprintf(stderr, "the test provider module or velk-sim did not start\n");
        return 1;
    }

    benchmark::RegisterBenchmark("BM_DataAvailableToRun", velk::DataAvailableToRun,
                                 std::ref(environment))
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
    // One host beside the full set, to see what the number of hosts adds.
    benchmark::RegisterBenchmark("BM_ReloadWithPolledHosts", velk::ReloadWithPolledHosts,
                                 std::ref(environment))
        ->Arg(1)
        ->Arg(velk::testing::kPolledProviderCount)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
