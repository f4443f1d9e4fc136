#include "rcp/testdata/scripted_player.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>

namespace velk::testing {

namespace {

// Each peer listens on an address of its own, so tests may run side by side.
int ListenOnFreeLoopbackAddress(std::string& address)
{
    static std::atomic<int> next = 1;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int n = next++;
        address = "127.91." + std::to_string((getpid() + n / 250) % 250 + 1) + "." +
                  std::to_string(n % 250 + 1);
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(4444);
        inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && listen(fd, 4) == 0)
            return fd;
        close(fd);
    }
    throw std::runtime_error("no free loopback address for a scripted player");
}

} // namespace

ScriptedPlayer::ScriptedPlayer(Script script, std::optional<std::string> greeting)
    : greeting_(std::move(greeting)), script_(std::move(script)),
      listener_(ListenOnFreeLoopbackAddress(address_)), thread_([this] { ThreadMain(); })
{
}

ScriptedPlayer::~ScriptedPlayer()
{
    stop_.Set();
    thread_.join();
    CloseConnection();
    close(listener_);
}

void ScriptedPlayer::Send(std::string_view bytes)
{
    std::lock_guard lock(mutex_);
    if (connection_ >= 0)
        send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void ScriptedPlayer::CloseConnection()
{
    std::lock_guard lock(mutex_);
    if (connection_ >= 0) {
        shutdown(connection_, SHUT_RDWR);
        close(connection_);
        connection_ = -1;
    }
}

std::vector<std::string> ScriptedPlayer::ReceivedLines() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

bool ScriptedPlayer::AnswerShell(std::string_view line)
{
    if (line == "displaytype") {
        Send("Large VFD\r\nMelodeck>");
        return true;
    }
    if (line == "mmc") {
        Send("RCP mode\r\n");
        return true;
    }
    return false;
}

void ScriptedPlayer::ThreadMain()
{
    std::string buffer;
    for (;;) {
        int connection;
        {
            std::lock_guard lock(mutex_);
            connection = connection_;
        }
        const int signalled = connection >= 0
                                  ? WaitAny({stop_, Waitable::Socket(listener_), Waitable::Socket(connection)}, kInfinite)
                                  : WaitAny({stop_, Waitable::Socket(listener_)}, kInfinite);
        if (signalled <= 0)
            return;
        if (signalled == 1) {
            const int accepted = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            CloseConnection();
            {
                std::lock_guard lock(mutex_);
                connection_ = accepted;
            }
            buffer.clear();
            if (greeting_)
                Send(*greeting_);
            else
                CloseConnection();
            continue;
        }
        char chunk[4096];
        const ssize_t received = recv(connection, chunk, sizeof chunk, 0);
        if (received <= 0) {
            CloseConnection();
            continue;
        }
        buffer.append(chunk, static_cast<std::size_t>(received));
        for (std::size_t end; (end = buffer.find('\n')) != std::string::npos;) {
            std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            {
                std::lock_guard lock(mutex_);
                received_.push_back(line);
            }
            script_(line, *this);
        }
    }
}

ScriptedPlayer::Script PlayerWith(std::function<void(std::string_view, ScriptedPlayer&)> rest,
                                  std::string version)
{
    return [rest, version](std::string_view line, ScriptedPlayer& player) {
        if (player.AnswerShell(line))
            return;
        if (line == "GetSoftwareVersion")
            player.Send("GetSoftwareVersion: " + version + "\r\n");
        else if (line == "GetConnectedServer" || line == "GetActiveServerInfo " ||
                 line == "ServerGetCapabilities ")
            // No music server: every question about it answers so.
            player.Send(std::string(line.substr(0, line.find(' '))) + ": ErrorDisconnected\r\n");
        else if (line.starts_with("SetListResultType"))
            player.Send("SetListResultType: OK\r\n");
        else if (rest)
            rest(line, player);
    };
}

} // namespace velk::testing
