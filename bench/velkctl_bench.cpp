// What one velkctl call costs a script end to end: start the program, connect to the player as
// the service would (shell, display type, control mode, standby check), evaluate one expression,
// shut down. Against the simulated player over loopback.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

int RunVelkctl(const std::string& address, const char* expression)
{
    std::vector<std::string> argv = {VELKCTL_BINARY, "--player", address, expression};
    std::vector<char*> pointers;
    for (auto& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, VELKCTL_BINARY, &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

void BM_VelkctlGetVolume(benchmark::State& state)
{
    static sim::testing::SimProcess sim({"--no-upnp"});
    if (!sim.ready()) {
        state.SkipWithError("velk-sim did not start");
        return;
    }
    for (auto _ : state) {
        if (RunVelkctl(sim.address(), "RCPSession.Volume") != 0) {
            state.SkipWithError("velkctl failed");
            return;
        }
    }
}
BENCHMARK(BM_VelkctlGetVolume)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velk
