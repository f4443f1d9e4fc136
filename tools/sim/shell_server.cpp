#include "tools/sim/shell_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/sim/shell_session.h"

namespace velk::sim {

int ListenTcp(const std::string& address, std::uint16_t port, std::string& error)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return -1;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || listen(fd, 16) != 0) {
        error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

ShellServer::ShellServer(EventLoop& loop, Player& player) : loop_(loop), player_(player)
{
    reboot_listener_ = player_.reboot_listeners().Add([this] { DropAll(true); });
}

ShellServer::~ShellServer()
{
    player_.reboot_listeners().Remove(reboot_listener_);
    connections_.clear();
    if (listen_fd_ >= 0) {
        loop_.Unwatch(listen_fd_);
        close(listen_fd_);
    }
}

HRESULT ShellServer::Start(std::uint16_t port)
{
    std::string error;
    listen_fd_ = ListenTcp(player_.identity().address, port, error);
    if (listen_fd_ < 0) {
        std::fprintf(stderr, "velk-sim: cannot listen: %s\n", error.c_str());
        return E_FAIL;
    }
    loop_.Watch(listen_fd_, POLLIN, [this](short) { Accept(); });
    return S_OK;
}

void ShellServer::Accept()
{
    for (;;) {
        const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (connections_.size() >= kMaxConnections) {
            close(fd);
            continue;
        }
        const int id = next_id_++;
        auto connection = std::make_unique<Connection>(loop_, fd, id);
        connection->SetOutputPolicy([this] {
            return Connection::OutputPolicy{player_.faults().silent,
                                            player_.faults().reply_delay_ms};
        });
        connection->SetOnClosed([this](int closed_id) { Closed(closed_id); });
        auto session = std::make_unique<ShellSession>(player_, *connection);
        ShellSession& shell = *session;
        connection->SetHandler(std::move(session));
        connections_.emplace(id, std::move(connection));
        shell.Greet();
    }
}

void ShellServer::Closed(int id)
{
    // A sketch ends with the connection that drew it: nothing else would ever hand the
    // display back.
    if (player_.display().sketch_owner() == id) {
        player_.display().EndSketch();
        player_.DisplayChanged();
    }
    connections_.erase(id);
}

void ShellServer::DropAll(bool flush_first)
{
    for (auto& [id, connection] : connections_) {
        if (flush_first)
            connection->CloseAfterFlush();
        else
            connection->Close();
    }
}

} // namespace velk::sim
