// velk-sim: simulated Melodeck players for the service, the desktop programs, the tests and
// the demo; or, with a subcommand, a client of a running simulator's control socket.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/sim/sim_commands.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/simulator.h"

int main(int argc, char** argv)
{
    using namespace velk::sim;
    std::vector<std::string_view> args(argv + 1, argv + argc);
    SimOptions options;
    std::string error;
    if (!ParseSimOptions(args, options, error)) {
        std::fprintf(stderr, "velk-sim: %s\n%s", error.c_str(), SimUsage().data());
        return 2;
    }
    if (options.help) {
        std::fputs(SimUsage().data(), stdout);
        return 0;
    }
    if (!options.command.empty())
        return SimCommands::Run(options);

    Simulator simulator(options);
    if (velk::FAILED(simulator.Start()))
        return 1;
    const auto& players = simulator.players();
    // Scripts and tests wait for this line before they connect.
    std::printf("velk-sim: ready, %zu device(s) from %s, control socket %s\n", players.size(),
                players.front()->identity().address.c_str(), options.control.c_str());
    std::fflush(stdout);
    simulator.Run();
    return 0;
}
