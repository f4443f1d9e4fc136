// The simulator's control socket (a Unix stream socket): how tests, the demo and the velk-sim
// subcommands press remote keys, read a player's display and state, read the lines it
// received, and script faults. One request line, answered by data lines and a last line "OK"
// or "ERROR <reason>"; "watch" instead streams a frame line at every display change. Lives on
// the loop thread; owned by the Simulator.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"
#include "tools/sim/connection.h"

namespace velk::sim {

class Simulator;
class Player;

class ControlServer {
public:
    ControlServer(EventLoop& loop, Simulator& simulator);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Binds the socket (owner-only access). Fails when another simulator answers on it.
    HRESULT Start(const std::string& path);

    // "frame <width> <height> <column bytes in hex>": the display as GetDisplayData has it.
    static std::string FrameLine(const Player& player);

private:
    class Session;

    void Accept();

    EventLoop& loop_;
    Simulator& simulator_;
    std::string path_;
    int listen_fd_ = -1;
    int next_id_ = 1;
    std::map<int, std::unique_ptr<Connection>> connections_;
};

} // namespace velk::sim
