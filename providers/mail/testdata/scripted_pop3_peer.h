// Test support: a hostile POP3 server on loopback for what a real one will not do. It takes
// one connection at a time and plays its script: each step waits for a command line that
// starts with the step's prefix (none for the greeting) and sends the step's bytes; a step
// may stall instead (send nothing more until the client goes). Everything received is kept.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velk::testing {

struct PeerStep {
    std::string expect; // the command's start; empty for the greeting
    std::string reply;
    bool stall_after = false; // keep the connection open, silent, after the reply
};

class ScriptedPop3Peer {
public:
    explicit ScriptedPop3Peer(std::vector<PeerStep> script) : script_(std::move(script))
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 4);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        if (pipe2(stop_pipe_, O_CLOEXEC) != 0)
            return;
        thread_ = std::thread([this] { Serve(); });
    }

    ~ScriptedPop3Peer()
    {
        if (thread_.joinable()) {
            const char byte = 0;
            (void)!write(stop_pipe_[1], &byte, 1);
            thread_.join();
        }
        close(listener_);
        close(stop_pipe_[0]);
        close(stop_pipe_[1]);
    }

    std::uint16_t port() const { return port_; }
    int connections() const { return connections_; }
    std::string received() const
    {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    // Waits for fd to be readable; false when stopped.
    bool WaitReadable(int fd)
    {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
        return poll(fds, 2, -1) > 0 && fds[1].revents == 0;
    }

    void Serve()
    {
        while (WaitReadable(listener_)) {
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            ++connections_;
            Play(client);
            close(client);
        }
    }

    void Play(int client)
    {
        std::string pending;
        for (const auto& step : script_) {
            while (!step.expect.empty()) {
                const auto end = pending.find("\r\n");
                if (end != std::string::npos) {
                    const std::string line = pending.substr(0, end);
                    pending.erase(0, end + 2);
                    if (line.starts_with(step.expect))
                        break;
                    continue;
                }
                if (!Receive(client, pending))
                    return;
            }
            send(client, step.reply.data(), step.reply.size(), MSG_NOSIGNAL);
            if (step.stall_after)
                break;
        }
        // Silent until the client goes (or the test ends).
        for (std::string ignored; Receive(client, ignored);)
            ignored.clear();
    }

    // Appends what arrives to pending and keeps it; false once the client has gone or the peer
    // stops.
    bool Receive(int client, std::string& pending)
    {
        char chunk[1024];
        if (!WaitReadable(client))
            return false;
        const ssize_t got = recv(client, chunk, sizeof chunk, 0);
        if (got <= 0)
            return false;
        pending.append(chunk, static_cast<std::size_t>(got));
        std::lock_guard lock(mutex_);
        received_.append(chunk, static_cast<std::size_t>(got));
        return true;
    }

    const std::vector<PeerStep> script_;
    int listener_ = -1;
    int stop_pipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::atomic<int> connections_ = 0;
    mutable std::mutex mutex_;
    std::string received_;
    std::thread thread_;
};

} // namespace velk::testing
