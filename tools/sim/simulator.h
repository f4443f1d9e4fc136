// The whole simulator in one process: the generated music library, the players on their
// consecutive loopback addresses with their command ports, the control socket and (unless
// left out) a UPnP media renderer per player. Start binds everything; Run serves on the
// calling thread until Stop or SIGINT / SIGTERM.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"
#include "tools/sim/control_server.h"
#include "tools/sim/event_loop.h"
#include "tools/sim/music_library.h"
#include "tools/sim/player.h"
#include "tools/sim/shell_server.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/upnp_host.h"

namespace velk::sim {

class Simulator {
public:
    explicit Simulator(const SimOptions& options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Builds the players and binds every socket; a failure is explained on stderr.
    HRESULT Start();
    // Serves until Stop, SIGINT or SIGTERM (which Start makes wake the loop).
    void Run();
    // Any thread.
    void Stop() { loop_.Stop(); }

    EventLoop& loop() { return loop_; }
    const std::vector<std::unique_ptr<Player>>& players() const { return players_; }
    // nullptr for an address no simulated device has.
    Player* FindPlayer(std::string_view address);
    ShellServer* FindShellServer(std::string_view address);
    // The player's UPnP device follows faults().upnp_hidden: byebye, or announce again.
    void UpnpAvailabilityChanged(Player& player);

private:
    PlayerIdentity MakeIdentity(int index, bool renderer_only) const;
    HRESULT WatchSignals();
    void StartUpnp();

    SimOptions options_;
    EventLoop loop_;
    std::unique_ptr<MusicLibrary> library_;
    std::vector<std::unique_ptr<Player>> players_; // the renderer-only device comes last
    std::vector<std::unique_ptr<ShellServer>> shell_servers_;
    std::unique_ptr<ControlServer> control_;
    std::unique_ptr<UpnpHost> upnp_;
    int signal_fd_ = -1;
};

// The address `offset` places after `first` (dotted quads).
std::string AddressAfter(const std::string& first, int offset);

} // namespace velk::sim
