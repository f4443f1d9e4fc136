// The velk-sim subcommands: each talks to a running simulator over its control socket and
// prints what a user asked for.
#pragma once

#include "tools/sim/sim_options.h"

namespace velk::sim {

class SimCommands {
public:
    // The process exit status: 0 on success, 1 on failure (explained on stderr).
    static int Run(const SimOptions& options);
};

} // namespace velk::sim
