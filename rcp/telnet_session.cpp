#include "rcp/telnet_session.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/apartment.h"
#include "platform/error_info.h"
#include "rcp/reply_lines.h"

namespace velk {

namespace {

// A player answers a shell command at once: a pause this long ends the reply.
constexpr std::uint32_t kSilenceTimeoutMs = 500;
constexpr std::uint32_t kConnectTimeoutMs = 3000;
constexpr std::size_t kReceiveChunk = 4096;
// A greeting and a shell reply are a few short lines: anything far beyond is not a player.
constexpr std::size_t kMaxGreetingBytes = 64 * 1024;
constexpr std::uint32_t kMaxGreetingMs = 10000;
constexpr std::size_t kMaxLineBytes = 64 * 1024;
constexpr std::size_t kMaxReplyLines = 4096;
constexpr std::size_t kMaxReplyBytes = 1024 * 1024;
constexpr int kMaxFailedWaits = 3;
constexpr std::string_view kDisabled = "Disabled";
constexpr std::string_view kLineEnd = "\r\n";
constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

int ConnectWithTimeout(const sockaddr_in& address)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        pollfd p{fd, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        if (errno != EINPROGRESS || poll(&p, 1, kConnectTimeoutMs) != 1 ||
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            close(fd);
            return -1;
        }
    }
    // The socket stays non-blocking: every read is preceded by a wait, and writes wait
    // for room themselves.
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// How a reply that failed with hr ended, for its message.
std::string_view HowReplyEnded(HRESULT hr)
{
    if (hr == E_RCP_TIMEOUT)
        return " did not end in time: ";
    if (hr == E_VELK_SHUTTING_DOWN)
        return " was left unread by the stop: ";
    return " broke off: ";
}

// The command as messages name it: its line without the line end.
std::string CommandText(std::string_view line)
{
    if (line.ends_with(kLineEnd))
        line.remove_suffix(kLineEnd.size());
    return ReplyExcerpt(line);
}

} // namespace

bool IsSingleCommandLine(std::string_view line)
{
    if (line.size() < kLineEnd.size() || !line.ends_with(kLineEnd))
        return false;
    line.remove_suffix(kLineEnd.size());
    return line.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

CTelnetSession::~CTelnetSession()
{
    if (socket_ >= 0)
        close(socket_);
}

HRESULT CTelnetSession::Connect(std::uint16_t port, std::string_view host)
{
    port_ = port;
    host_ = host;
    if (socket_ >= 0)
        CTelnetSession::Close();

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host_.c_str(), &address.sin_addr) != 1)
        return Failure(E_RCP_SOCKET, "The player's address " + ReplyExcerpt(host_) +
                                         " is not an IPv4 address in dotted form.");
    socket_ = ConnectWithTimeout(address);
    if (socket_ < 0)
        return Failure(E_RCP_SOCKET, "The player at " + host_ + " could not be reached.");

    greeting_ = true;
    HRESULT hr = ReadGreeting();
    greeting_ = false;
    std::vector<std::string> lines;
    if (SUCCEEDED(hr))
        hr = SendCommand("displaytype\r\n", true, &lines);
    if (SUCCEEDED(hr)) {
        if (lines.empty())
            hr = Failure(E_FAIL, "The player did not say its display type.");
        else
            display_type_ = lines.front();
    }
    if (FAILED(hr))
        CTelnetSession::Close();
    return hr;
}

HRESULT CTelnetSession::ReadGreeting()
{
    std::string greeting;
    std::string chunk;
    const Deadline deadline(kMaxGreetingMs);
    while (greeting.find(prompt_) == std::string::npos) {
        if (greeting.size() > kMaxGreetingBytes)
            return Failure(kInvalidData, "The player at " + host_ + " sent more than a greeting: " +
                                             ReplyExcerpt(greeting));
        HRESULT hr = ReadChunk(deadline, chunk);
        greeting += chunk;
        if (greeting.starts_with(kDisabled))
            return Failure(E_RCP_SHELL_DISABLED,
                           "The player at " + host_ + " answered " + ReplyExcerpt(greeting));
        if (FAILED(hr))
            return Failure(hr, "The player at " + host_ +
                                   " did not greet with its prompt: " + ReplyExcerpt(greeting));
    }
    return S_OK;
}

HRESULT CTelnetSession::ReceiveChunk(std::string& chunk)
{
    chunk.resize(kReceiveChunk);
    for (;;) {
        const ssize_t received = recv(socket_, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            chunk.clear();
            return S_OK;
        }
        // A peer that closes (0 bytes) is as gone as one that resets.
        if (received <= 0) {
            chunk.clear();
            return E_RCP_SOCKET;
        }
        chunk.resize(static_cast<std::size_t>(received));
        return S_OK;
    }
}

HRESULT CTelnetSession::ReadChunk(const Deadline& deadline, std::string& chunk, Event* woken)
{
    chunk.clear();
    const Waitable socket = Waitable::Socket(socket_);
    for (int failed_waits = 0;;) {
        const std::uint32_t wait_ms = std::min(kSilenceTimeoutMs, deadline.RemainingMs());
        // Woken first: the connection may have changed hands meanwhile.
        const int ready =
            woken ? WaitOnPeer({*woken, socket}, wait_ms) : WaitOnPeer({socket}, wait_ms);
        if (woken && ready == 0)
            return S_OK;
        if (ready == (woken ? 1 : 0))
            return ReceiveChunk(chunk);
        if (ready == kWaitStopping)
            return E_VELK_SHUTTING_DOWN;
        if (ready == kWaitTimeout)
            return E_RCP_TIMEOUT;
        if (++failed_waits >= kMaxFailedWaits)
            return E_FAIL;
    }
}

HRESULT CTelnetSession::SendAll(std::string_view bytes, const Deadline& deadline)
{
    while (!bytes.empty()) {
        const ssize_t sent = send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A player that takes the line slower than this has stopped reading.
            pollfd p{socket_, POLLOUT, 0};
            if (deadline.Expired() || poll(&p, 1, static_cast<int>(deadline.RemainingMs())) != 1)
                return E_RCP_SOCKET;
            continue;
        }
        if (sent <= 0)
            return E_RCP_SOCKET;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return S_OK;
}

// One command's answer as it arrives.
struct CTelnetSession::Reply {
    explicit Reply(std::string_view command_line)
        : command(CommandText(command_line)), deadline(kCommandTimeoutMs)
    {
    }

    const std::string command;
    const Deadline deadline;
    ReplyLineBuffer lines{kMaxLineBytes};
    ReplyBudget budget{kMaxReplyLines, kMaxReplyBytes};
    std::vector<std::string> reply_lines;
    bool line_end_seen = false;
    // Set once the answer has ended, well or not; ended wakes the call that waits for it.
    bool done = false;
    HRESULT hr = S_OK;
    std::string failure;
    Event ended;
};

HRESULT CTelnetSession::SendCommand(std::string_view line, bool wait,
                                    std::vector<std::string>* reply_lines)
{
    if (socket_ < 0)
        return Failure(E_FAIL, "The shell connection to the player is closed.");
    if (!IsSingleCommandLine(line))
        return Failure(E_INVALIDARG, "A shell command is one line.");
    if (greeting_)
        return Failure(E_PENDING, "The player's shell has not greeted yet.");
    // A call that came in while an earlier command waits: the shell takes one command at a
    // time, so the earlier answer is read to its end first, for its own call to find.
    if (Reply* earlier = reading_) {
        ReadToEnd(*earlier);
        earlier->ended.Set();
        if (reading_ == earlier)
            reading_ = nullptr;
        if (socket_ < 0)
            return Failure(earlier->hr, earlier->failure);
    }
    Reply reply(line);
    HRESULT hr = SendAll(line, reply.deadline);
    if (FAILED(hr))
        return Failure(hr, "The player at " + host_ + " did not take the command " + reply.command +
                               ".");
    if (!wait)
        return S_OK;
    reading_ = &reply;
    ReadToEnd(reply);
    if (reading_ == &reply)
        reading_ = nullptr;
    if (FAILED(reply.hr))
        return Failure(reply.hr, reply.failure);
    if (reply_lines)
        *reply_lines = std::move(reply.reply_lines);
    return S_OK;
}

void CTelnetSession::ReadToEnd(Reply& reply)
{
    std::string chunk;
    while (!reply.done) {
        const HRESULT hr = reply.deadline.Expired()
                               ? E_RCP_TIMEOUT
                               : ReadChunk(reply.deadline, chunk, &reply.ended);
        if (reply.done)
            return;
        if (FAILED(hr)) {
            const std::string_view sent =
                reply.reply_lines.empty() ? reply.lines.Pending() : reply.reply_lines.front();
            End(reply, hr,
                "The player's answer to " + reply.command + std::string(HowReplyEnded(hr)) +
                    ReplyExcerpt(sent));
            return;
        }
        Take(reply, chunk);
    }
}

void CTelnetSession::Take(Reply& reply, std::string_view chunk)
{
    if (!reply.lines.Append(chunk)) {
        End(reply, kInvalidData,
            "The player's answer to " + reply.command + " has a line longer than " +
                std::to_string(kMaxLineBytes) + " bytes: " + ReplyExcerpt(reply.lines.Pending()));
        return;
    }
    bool took_line = false;
    while (const auto line = reply.lines.NextLine()) {
        reply.line_end_seen = true;
        if (line->empty())
            continue;
        if (!reply.budget.Take(line->size())) {
            End(reply, kInvalidData,
                "The player's answer to " + reply.command + " goes on past " +
                    std::to_string(kMaxReplyLines) + " lines or " + std::to_string(kMaxReplyBytes) +
                    " bytes: " + ReplyExcerpt(*line));
            return;
        }
        reply.reply_lines.emplace_back(*line);
        took_line = true;
    }
    if (!reply.line_end_seen)
        return;

    // The prompt stands in the unterminated tail; a prompt that came with its own line end
    // stands in the last line taken.
    const std::string_view tail = reply.lines.Pending();
    if (!tail.empty()) {
        if (tail.find(prompt_) != std::string_view::npos)
            End(reply, S_OK, {});
    } else if (took_line && reply.reply_lines.back().find(prompt_) != std::string::npos) {
        reply.reply_lines.pop_back();
        End(reply, S_OK, {});
    } else if (prompt_.empty()) {
        End(reply, S_OK, {});
    }
}

void CTelnetSession::End(Reply& reply, HRESULT hr, std::string failure)
{
    reply.done = true;
    reply.hr = hr;
    reply.failure = std::move(failure);
    // What follows no longer lines up with the commands.
    if (hr == E_RCP_SOCKET || hr == kInvalidData)
        CTelnetSession::Close();
}

HRESULT CTelnetSession::Failure(HRESULT hr, std::string description)
{
    if (hr == E_RCP_SOCKET || hr == kInvalidData)
        CTelnetSession::Close();
    return ReportError(hr, std::move(description));
}

HRESULT CTelnetSession::Close()
{
    if (socket_ < 0)
        return S_OK;
    shutdown(socket_, SHUT_WR);
    if (WaitAny({Waitable::Socket(socket_)}, 5) == 0) {
        char buffer[32];
        recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
    }
    close(socket_);
    socket_ = -1;
    return S_OK;
}

} // namespace velk
