#include "rcp/testdata/scripted_player.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <stdexcept>

namespace velk::testing {

namespace {

constexpr std::size_t kFastBlockBytes = 64 * 1024;

// The peer whose script runs on this thread, if any.
thread_local const ScriptedPlayer* t_scripting = nullptr;

int ListenOn(const std::string& address)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(4444);
    inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && listen(fd, 4) == 0)
        return fd;
    close(fd);
    return -1;
}

// Each peer listens on an address of its own, so tests may run side by side.
int ListenOnFreeLoopbackAddress(std::string& address)
{
    static std::atomic<int> next = 1;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int n = next++;
        address = "127.91." + std::to_string((getpid() + n / 250) % 250 + 1) + "." +
                  std::to_string(n % 250 + 1);
        if (const int fd = ListenOn(address); fd >= 0)
            return fd;
    }
    throw std::runtime_error("no free loopback address for a scripted player");
}

int ListenOnAddress(std::string& address)
{
    if (address.empty())
        return ListenOnFreeLoopbackAddress(address);
    const int fd = ListenOn(address);
    if (fd < 0)
        throw std::runtime_error("a scripted player cannot listen on " + address);
    return fd;
}

} // namespace

ScriptedPlayer::ScriptedPlayer(Script script, std::optional<std::string> greeting,
                               std::string address)
    : greeting_(std::move(greeting)), script_(std::move(script)), address_(std::move(address)),
      listener_(ListenOnAddress(address_)), thread_([this] { ThreadMain(); })
{
}

ScriptedPlayer::~ScriptedPlayer()
{
    stop_.Set();
    thread_.join();
    for (const auto& connection : connections_)
        close(connection.fd);
    close(listener_);
}

ScriptedPlayer::Connection* ScriptedPlayer::Current()
{
    if (t_scripting == this) {
        for (auto& connection : connections_) {
            if (connection.fd == current_)
                return &connection;
        }
        return nullptr;
    }
    return connections_.empty() ? nullptr : &connections_.back();
}

void ScriptedPlayer::Send(std::string_view bytes)
{
    std::lock_guard lock(mutex_);
    if (auto* connection = Current())
        send(connection->fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void ScriptedPlayer::CloseConnection()
{
    std::lock_guard lock(mutex_);
    // The peer's thread sees the end and lets the descriptor go.
    if (auto* connection = Current())
        shutdown(connection->fd, SHUT_RDWR);
}

void ScriptedPlayer::Stream(std::string unit, std::chrono::milliseconds interval,
                            std::size_t max_bytes)
{
    std::lock_guard lock(mutex_);
    auto* connection = Current();
    if (!connection || unit.empty())
        return;
    Flow flow;
    flow.unit_size = unit.size();
    flow.block = unit;
    while (interval.count() == 0 && flow.block.size() < kFastBlockBytes)
        flow.block += unit;
    flow.interval = interval;
    flow.next = Clock::now();
    flow.left = max_bytes;
    connection->stream = std::move(flow);
}

std::vector<std::string> ScriptedPlayer::ReceivedLines() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

bool ScriptedPlayer::WaitForLine(std::string_view line, std::uint32_t timeout_ms) const
{
    std::unique_lock lock(mutex_);
    return line_received_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
        return std::find(received_.begin(), received_.end(), line) != received_.end();
    });
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
    for (;;) {
        std::vector<pollfd> fds = {{stop_.fd(), POLLIN, 0}, {listener_, POLLIN, 0}};
        int timeout_ms = -1;
        {
            std::lock_guard lock(mutex_);
            const auto now = Clock::now();
            for (const auto& connection : connections_) {
                short events = POLLIN;
                if (connection.stream && connection.stream->interval.count() == 0) {
                    events |= POLLOUT;
                } else if (connection.stream) {
                    const auto due = std::chrono::ceil<std::chrono::milliseconds>(
                        std::max(connection.stream->next - now, Clock::duration::zero()));
                    timeout_ms = timeout_ms < 0
                                     ? static_cast<int>(due.count())
                                     : std::min(timeout_ms, static_cast<int>(due.count()));
                }
                fds.push_back({connection.fd, events, 0});
            }
        }
        if (poll(fds.data(), fds.size(), timeout_ms) < 0 && errno != EINTR)
            return;
        if (fds[0].revents != 0)
            return;
        if (fds[1].revents & POLLIN)
            Accept();
        for (std::size_t i = 2; i < fds.size(); ++i) {
            const int fd = fds[i].fd;
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) && !Receive(fd)) {
                Drop(fd);
                continue;
            }
            std::lock_guard lock(mutex_);
            for (auto& connection : connections_) {
                if (connection.fd == fd && connection.stream && !SendStream(connection)) {
                    shutdown(fd, SHUT_RDWR);
                    stream_cut_.Set();
                }
            }
        }
    }
}

void ScriptedPlayer::Accept()
{
    const int accepted = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted < 0)
        return;
    if (!greeting_) {
        close(accepted);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        connections_.push_back({accepted, {}, {}});
    }
    send(accepted, greeting_->data(), greeting_->size(), MSG_NOSIGNAL);
}

bool ScriptedPlayer::Receive(int fd)
{
    char chunk[4096];
    const ssize_t received = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (received < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (received <= 0)
        return false;
    std::vector<std::string> lines;
    {
        std::lock_guard lock(mutex_);
        auto connection = std::find_if(connections_.begin(), connections_.end(),
                                       [fd](const Connection& c) { return c.fd == fd; });
        if (connection == connections_.end())
            return false;
        std::string& buffer = connection->buffer;
        buffer.append(chunk, static_cast<std::size_t>(received));
        for (std::size_t end; (end = buffer.find('\n')) != std::string::npos;) {
            std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            received_.push_back(line);
            lines.push_back(std::move(line));
        }
    }
    line_received_.notify_all();
    current_ = fd;
    t_scripting = this;
    for (const auto& line : lines) {
        if (script_)
            script_(line, *this);
    }
    t_scripting = nullptr;
    current_ = -1;
    return true;
}

bool ScriptedPlayer::SendStream(Connection& connection)
{
    Flow& flow = *connection.stream;
    const bool fast = flow.interval.count() == 0;
    if (!fast && Clock::now() < flow.next)
        return true;
    const std::size_t length =
        std::min(fast ? flow.block.size() - flow.phase : flow.unit_size, flow.left);
    const ssize_t sent =
        send(connection.fd, flow.block.data() + flow.phase, length, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (sent < 0)
        return false;
    flow.phase = (flow.phase + static_cast<std::size_t>(sent)) % flow.unit_size;
    flow.left -= static_cast<std::size_t>(sent);
    flow.next += flow.interval;
    if (flow.left == 0)
        connection.stream.reset();
    return true;
}

void ScriptedPlayer::Drop(int fd)
{
    std::lock_guard lock(mutex_);
    auto connection = std::find_if(connections_.begin(), connections_.end(),
                                   [fd](const Connection& c) { return c.fd == fd; });
    if (connection == connections_.end())
        return;
    if (connection->stream)
        stream_cut_.Set();
    close(fd);
    connections_.erase(connection);
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

ScriptedPlayer::Script MisbehavingPlayer(std::string trigger,
                                         std::function<void(ScriptedPlayer&)> attack)
{
    auto player = PlayerWith([](std::string_view line, ScriptedPlayer& p) {
        if (line == "ps")
            p.Send("  1 Shell\r\nMelodeck>");
    });
    return [=](std::string_view line, ScriptedPlayer& p) {
        if (line == trigger)
            attack(p);
        else
            player(line, p);
    };
}

} // namespace velk::testing
