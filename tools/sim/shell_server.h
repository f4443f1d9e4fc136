// A player's command port (4444 on its own address): accepts any number of connections at
// once, starts each in shell mode, applies the player's scripted faults to their answers, and
// closes them all when the player reboots or a fault drops them. Lives on the loop thread;
// owned by the Simulator, one per player.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "platform/hresult.h"
#include "tools/sim/connection.h"
#include "tools/sim/player.h"

namespace velk::sim {

class ShellServer {
public:
    static constexpr std::uint16_t kDefaultPort = 4444;
    static constexpr std::size_t kMaxConnections = 64;

    ShellServer(EventLoop& loop, Player& player);
    ~ShellServer();
    ShellServer(const ShellServer&) = delete;
    ShellServer& operator=(const ShellServer&) = delete;

    // Listens on the player's address; E_FAIL (with a message on stderr) when that fails.
    HRESULT Start(std::uint16_t port);
    // Closes every connection: after what is queued has been written (a reboot), or at once
    // (a scripted fault).
    void DropAll(bool flush_first);
    std::size_t connection_count() const { return connections_.size(); }

private:
    void Accept();
    void Closed(int id);

    EventLoop& loop_;
    Player& player_;
    int listen_fd_ = -1;
    int next_id_ = 1;
    std::map<int, std::unique_ptr<Connection>> connections_;
    Listeners<>::Id reboot_listener_ = 0;
};

// A listening TCP socket on an IPv4 address (dotted quad), non-blocking; -1 on failure with
// the reason in error.
int ListenTcp(const std::string& address, std::uint16_t port, std::string& error);

} // namespace velk::sim
