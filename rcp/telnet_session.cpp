#include "rcp/telnet_session.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/event.h"

namespace velk {

namespace {

constexpr std::uint32_t kReadTimeoutMs = 500;
constexpr std::uint32_t kConnectTimeoutMs = 3000;
constexpr std::size_t kReceiveChunk = 4096;
// A greeting and a shell reply are a few lines: anything far beyond is not a player.
constexpr std::size_t kMaxGreetingBytes = 64 * 1024;
constexpr std::uint32_t kMaxGreetingMs = 10000;
constexpr std::size_t kMaxReplyBytes = 1024 * 1024;
constexpr int kMaxFailedWaits = 3;
constexpr std::string_view kDisabled = "Disabled";
constexpr std::string_view kLineEnd = "\r\n";

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
        return E_RCP_SOCKET;
    socket_ = ConnectWithTimeout(address);
    if (socket_ < 0)
        return E_RCP_SOCKET;

    HRESULT hr = ReadGreeting();
    reply_lines_.clear();
    if (SUCCEEDED(hr))
        hr = SendCommand("displaytype\r\n", true);
    if (SUCCEEDED(hr)) {
        if (reply_lines_.empty())
            hr = E_FAIL;
        else
            display_type_ = reply_lines_.front();
    }
    if (FAILED(hr))
        CTelnetSession::Close();
    return hr;
}

HRESULT CTelnetSession::ReadGreeting()
{
    std::string greeting;
    const Deadline deadline(kMaxGreetingMs);
    while (greeting.find(prompt_) == std::string::npos) {
        if (deadline.Expired() || greeting.size() > kMaxGreetingBytes)
            return E_RCP_TIMEOUT;
        HRESULT hr = ReadWithTimeout(greeting);
        if (greeting.starts_with(kDisabled))
            return E_RCP_SHELL_DISABLED;
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CTelnetSession::ReadWithTimeout(std::string& accumulator)
{
    const int ready = WaitAny({Waitable::Socket(socket_)}, kReadTimeoutMs);
    if (ready == kWaitTimeout)
        return E_RCP_TIMEOUT;
    if (ready != 0)
        return E_FAIL;
    char buffer[kReceiveChunk];
    for (;;) {
        const ssize_t received = recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return S_OK;
        // A peer that closes (0 bytes) is as gone as one that resets.
        if (received <= 0)
            return E_RCP_SOCKET;
        accumulator.append(buffer, static_cast<std::size_t>(received));
        if (static_cast<std::size_t>(received) < sizeof buffer)
            return S_OK;
    }
}

HRESULT CTelnetSession::SendAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{socket_, POLLOUT, 0};
            if (poll(&p, 1, kConnectTimeoutMs) != 1)
                return E_RCP_SOCKET;
            continue;
        }
        if (sent <= 0)
            return E_RCP_SOCKET;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return S_OK;
}

HRESULT CTelnetSession::SendCommand(std::string_view line, bool wait)
{
    if (socket_ < 0)
        return E_FAIL;
    if (!IsSingleCommandLine(line))
        return E_INVALIDARG;
    reply_lines_.clear();
    HRESULT hr = SendAll(line);
    if (FAILED(hr) || !wait)
        return hr;

    std::string accumulator;
    std::size_t start = 0;
    bool line_end_seen = false;
    int failed_waits = 0;
    for (;;) {
        hr = ReadWithTimeout(accumulator);
        if (hr == E_FAIL && ++failed_waits < kMaxFailedWaits)
            continue;
        if (FAILED(hr))
            return hr;
        if (accumulator.size() > kMaxReplyBytes)
            return E_FAIL;

        bool took_line = false;
        for (std::size_t end; (end = accumulator.find(kLineEnd, start)) != std::string::npos;) {
            line_end_seen = true;
            if (end > start) {
                reply_lines_.emplace_back(accumulator, start, end - start);
                took_line = true;
            }
            start = end + kLineEnd.size();
        }
        if (!line_end_seen)
            continue;

        // The prompt stands in the unterminated tail; a prompt that came with its own line
        // end stands in the last line taken.
        const std::string_view tail = std::string_view(accumulator).substr(start);
        if (!tail.empty()) {
            if (tail.find(prompt_) != std::string_view::npos)
                return S_OK;
        } else if (took_line && reply_lines_.back().find(prompt_) != std::string::npos) {
            reply_lines_.pop_back();
            return S_OK;
        } else if (prompt_.empty()) {
            return S_OK;
        }
    }
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
