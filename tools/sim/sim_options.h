// The velk-sim command line: the simulator's own options, or a subcommand that talks to a
// running simulator through its control socket.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velk::sim {

struct SimOptions {
    // Empty: run the simulator. Otherwise the subcommand ("key", "show", ...) and its words.
    std::string command;
    std::vector<std::string> command_args;

    int players = 1;
    std::string address = "127.0.0.2";
    std::uint16_t port = 4444;
    std::vector<std::string> displays; // cycled over the players; empty: the default mix
    std::vector<std::string> firmware = {"3.1.2"};
    std::vector<std::string> names; // empty: the default names
    int songs = 2000;
    std::uint64_t seed = 1;
    std::string upgrade; // firmware version on offer; empty: none
    std::string password = "velk";
    bool no_server = false;
    bool setup_required = false;
    bool disabled = false;
    bool renderer_only = false;
    bool no_upnp = false;
    bool once = false;   // "show": print one frame and stop
    int count = 50;      // "received": how many lines
    std::string control; // the control socket path
    bool help = false;
};

// The control socket when none is given: $VELK_SIM_CONTROL, else velk-sim.sock in
// $XDG_RUNTIME_DIR, else /tmp/velk-sim-<uid>.sock.
std::string DefaultControlPath();

// Parses the arguments after the program name. false with a message in error for anything
// malformed; the options are then partly filled.
bool ParseSimOptions(const std::vector<std::string_view>& args, SimOptions& options,
                     std::string& error);

// The usage text of --help.
std::string_view SimUsage();

} // namespace velk::sim
