#include "automation/http_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/apartment.h"

namespace velk {

namespace {

// Threads that run requests: event streams hold theirs for as long as they are open.
constexpr std::size_t kPoolThreads = 32;
// Requests on one connection before it is closed; clients simply connect again.
constexpr std::size_t kKeepAliveRequests = 100;
// What the poll loop reads of one connection at a time, so that one fast sender cannot keep
// the others waiting.
constexpr std::size_t kReceiveChunkBytes = 16 * 1024;
// How long, and how much, a refused client may go on sending before its connection is closed.
constexpr std::uint32_t kLingerMs = 2000;
constexpr std::size_t kMaxDrainedBytes = 4 * 1024 * 1024;
// How long the accept loop rests when the process is out of descriptors.
constexpr std::uint32_t kOutOfDescriptorsPauseMs = 100;
constexpr HRESULT kAddressInUse = HRESULT_FROM_WIN32(10048); // WSAEADDRINUSE
constexpr int kStatusRequestTimeout = 408;

thread_local int t_current_socket = -1;

std::uint32_t ToMs(time_t sec, time_t usec)
{
    return static_cast<std::uint32_t>(sec * 1000 + usec / 1000);
}

std::uint32_t MsUntil(std::chrono::steady_clock::time_point end)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<std::uint32_t>(left.count());
}

template <typename Query> void AddressOf(int fd, Query query, std::string& ip, int& port)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (query(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

void SendAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent <= 0)
            return;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

// The refusals the loop answers itself: status, reason phrase, and what the client is told.
struct Refusal {
    int status;
    const char* reason;
    const char* message;
};
constexpr Refusal kRefusals[] = {
    {408, "Request Timeout", "the request did not arrive in time"},
    {411, "Length Required", "a body needs its Content-Length"},
    {413, "Payload Too Large", "the body is too large"},
    {431, "Request Header Fields Too Large", "the header section is too large"},
};
constexpr Refusal kMalformed{400, "Bad Request", "the request is malformed"};

const Refusal& RefusalOf(int status)
{
    for (const auto& refusal : kRefusals) {
        if (refusal.status == status)
            return refusal;
    }
    return kMalformed;
}

} // namespace

struct HttpServer::Connection {
    enum class State {
        Idle,      // between requests
        Request,   // part of a request has arrived
        Draining,  // refused: what the client still sends is read and dropped, so that our
                   // close does not reset the connection before the client reads the answer
    };

    int fd = -1;
    std::string address;
    // What the client sent and no request has taken yet.
    std::string received;
    std::size_t requests_left = kKeepAliveRequests;
    State state = State::Idle;
    Clock::time_point since = Clock::now(); // of the state
    std::size_t drained = 0;

    void Enter(State next)
    {
        state = next;
        since = Clock::now();
    }

    Clock::time_point Expiry() const
    {
        const std::uint32_t ms = state == State::Idle      ? kKeepAliveMs
                                 : state == State::Request ? kRequestDeadlineMs
                                                           : kLingerMs;
        return since + std::chrono::milliseconds(ms);
    }
};

namespace {

// A connection's socket as cpp-httplib reads and writes it for one request: reads take the
// bytes the poll loop gathered first and wait for more only until the request's deadline (or
// the server's stop), writes never raise SIGPIPE.
class SocketStream : public httplib::Stream {
public:
    SocketStream(int fd, std::string& received, Event& stopping,
                 std::chrono::steady_clock::time_point deadline, std::uint32_t write_timeout_ms)
        : fd_(fd), received_(received), stopping_(stopping), deadline_(deadline),
          write_timeout_ms_(write_timeout_ms)
    {
    }

    // What the request did not read stays for the next one.
    ~SocketStream() override { received_.erase(0, position_); }

    bool is_readable() const override
    {
        return position_ < received_.size() ||
               WaitAny({stopping_, Waitable::Socket(fd_)}, MsUntil(deadline_)) == 1;
    }

    bool is_writable() const override
    {
        pollfd p{fd_, POLLOUT, 0};
        int ready = 0;
        do
            ready = poll(&p, 1, static_cast<int>(write_timeout_ms_));
        while (ready < 0 && errno == EINTR);
        return ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
    }

    ssize_t read(char* ptr, size_t size) override
    {
        if (position_ == received_.size()) {
            if (!is_readable())
                return -1;
            received_.erase(0, position_);
            position_ = 0;
            char chunk[kReceiveChunkBytes];
            const ssize_t got = recv(fd_, chunk, std::min(size, sizeof chunk), 0);
            if (got <= 0)
                return got;
            received_.append(chunk, static_cast<std::size_t>(got));
        }
        const std::size_t count = std::min(size, received_.size() - position_);
        std::memcpy(ptr, received_.data() + position_, count);
        position_ += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        if (!is_writable())
            return -1;
        return send(fd_, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        AddressOf(fd_, getpeername, ip, port);
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        AddressOf(fd_, getsockname, ip, port);
    }

    socket_t socket() const override { return fd_; }

private:
    const int fd_;
    std::string& received_;
    std::size_t position_ = 0;
    Event& stopping_;
    const std::chrono::steady_clock::time_point deadline_;
    const std::uint32_t write_timeout_ms_;
};

} // namespace

HttpServer::HttpServer(RequestLimits limits) : limits_(limits)
{
    set_payload_max_length(limits_.body_bytes);
}

HttpServer::~HttpServer()
{
    Shutdown();
}

HRESULT HttpServer::Listen(const std::string& address, std::uint16_t port)
{
    if (listen_fd_ >= 0 || stopping_.IsSet())
        return E_UNEXPECTED;

    sockaddr_storage storage{};
    socklen_t length = 0;
    auto& v4 = reinterpret_cast<sockaddr_in&>(storage);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(storage);
    if (inet_pton(AF_INET, address.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        length = sizeof v4;
    } else if (inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        length = sizeof v6;
    } else {
        return E_INVALIDARG;
    }

    const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return HResultFromErrno(errno);
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        const int error = errno;
        close(fd);
        return error == EADDRINUSE ? kAddressInUse : HResultFromErrno(error);
    }
    length = sizeof storage;
    getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length);
    port_ = ntohs(storage.ss_family == AF_INET ? v4.sin_port : v6.sin6_port);

    listen_fd_ = fd;
    // cpp-httplib takes a stream's response as cut short once its own socket is gone.
    svr_sock_ = fd;
    pool_ = std::make_unique<httplib::ThreadPool>(kPoolThreads);
    loop_thread_ = std::thread([this] { RunLoop(); });
    return S_OK;
}

void HttpServer::Shutdown()
{
    stopping_.Set();
    if (loop_thread_.joinable())
        loop_thread_.join();
    WaitWithPumping({idle_}, kInfinite);
    if (pool_)
        pool_->shutdown();
    pool_.reset();
    std::vector<ConnectionPtr> returned;
    {
        std::lock_guard lock(mutex_);
        returned.swap(returned_);
    }
    for (const auto& connection : returned)
        Close(*connection);
    if (listen_fd_ >= 0)
        close(listen_fd_);
    listen_fd_ = -1;
    svr_sock_ = INVALID_SOCKET;
}

int HttpServer::CurrentSocket()
{
    return t_current_socket;
}

void HttpServer::RunLoop()
{
    std::vector<ConnectionPtr> waiting;
    std::vector<pollfd> fds;
    Clock::time_point accept_paused_until{};
    constexpr std::size_t kFirstConnection = 3; // after stopping, returned and listen

    while (!stopping_.IsSet()) {
        std::vector<ConnectionPtr> returned;
        {
            std::lock_guard lock(mutex_);
            returned.swap(returned_);
        }
        for (auto& connection : returned) {
            connection->Enter(connection->received.empty() ? Connection::State::Idle
                                                           : Connection::State::Request);
            if (Dispatch(connection))
                waiting.push_back(std::move(connection));
        }

        // Requests that did not arrive in time, and idle connections past their time.
        std::uint32_t timeout_ms = kInfinite;
        std::erase_if(waiting, [&](const ConnectionPtr& connection) {
            const std::uint32_t left = MsUntil(connection->Expiry());
            if (left > 0) {
                timeout_ms = std::min(timeout_ms, left);
                return false;
            }
            if (connection->state != Connection::State::Request) {
                Close(*connection);
                return true;
            }
            Refuse(*connection, kStatusRequestTimeout);
            timeout_ms = std::min(timeout_ms, kLingerMs);
            return false;
        });
        const std::uint32_t pause_ms = MsUntil(accept_paused_until);
        if (pause_ms > 0)
            timeout_ms = std::min(timeout_ms, pause_ms);

        fds.assign({{stopping_.fd(), POLLIN, 0},
                    {returned_event_.fd(), POLLIN, 0},
                    {pause_ms > 0 ? -1 : listen_fd_, POLLIN, 0}});
        for (const auto& connection : waiting)
            fds.push_back({connection->fd, POLLIN, 0});
        const int ready =
            poll(fds.data(), fds.size(), timeout_ms == kInfinite ? -1 : static_cast<int>(timeout_ms));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        if (fds[0].revents != 0)
            break;
        if (fds[1].revents != 0)
            returned_event_.TryWait();

        std::vector<ConnectionPtr> still_waiting;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            const ConnectionPtr& connection = waiting[i];
            if (fds[kFirstConnection + i].revents == 0 ||
                (Receive(*connection) && Dispatch(connection)))
                still_waiting.push_back(connection);
        }
        waiting.swap(still_waiting);

        if (fds[2].revents == 0)
            continue;
        for (;;) {
            const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                Admit(fd, waiting);
                continue;
            }
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                accept_paused_until =
                    Clock::now() + std::chrono::milliseconds(kOutOfDescriptorsPauseMs);
            if (errno != EINTR)
                break;
        }
    }

    for (const auto& connection : waiting)
        Close(*connection);
}

void HttpServer::Admit(int fd, std::vector<ConnectionPtr>& waiting)
{
    auto connection = std::make_shared<Connection>();
    connection->fd = fd;
    int port = 0;
    AddressOf(fd, getpeername, connection->address, port);

    // Which waiting connections the newcomer may take the place of, when the limits are reached.
    bool any_address = false;
    bool this_address = false;
    {
        std::lock_guard lock(mutex_);
        any_address = open_ >= kMaxConnections;
        const auto it = per_address_.find(connection->address);
        this_address = it != per_address_.end() && it->second >= kMaxConnectionsPerAddress;
    }
    if (any_address || this_address) {
        // Refused and idle connections go first, then the oldest unfinished request.
        const auto rank = [](const Connection& c) {
            return std::pair(c.state == Connection::State::Request, c.since);
        };
        auto candidate = waiting.end();
        for (auto it = waiting.begin(); it != waiting.end(); ++it) {
            if (this_address && (*it)->address != connection->address)
                continue;
            if (candidate == waiting.end() || rank(**it) < rank(**candidate))
                candidate = it;
        }
        if (candidate == waiting.end()) {
            close(fd);
            return;
        }
        Close(**candidate);
        waiting.erase(candidate);
    }

    // Small request and reply bodies go out at once rather than waiting for an ACK.
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    {
        std::lock_guard lock(mutex_);
        ++open_;
        ++per_address_[connection->address];
    }
    waiting.push_back(std::move(connection));
}

bool HttpServer::Receive(Connection& connection)
{
    char chunk[kReceiveChunkBytes];
    const ssize_t got = recv(connection.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return true;
    if (got <= 0) {
        Close(connection);
        return false;
    }
    switch (connection.state) {
    case Connection::State::Draining:
        connection.drained += static_cast<std::size_t>(got);
        if (connection.drained <= kMaxDrainedBytes)
            return true;
        Close(connection);
        return false;
    case Connection::State::Idle:
        connection.Enter(Connection::State::Request);
        break;
    case Connection::State::Request:
        break;
    }
    connection.received.append(chunk, static_cast<std::size_t>(got));
    return true;
}

bool HttpServer::Dispatch(const ConnectionPtr& connection)
{
    if (connection->state != Connection::State::Request)
        return true;
    const RequestFrame frame = FrameRequest(connection->received, limits_);
    switch (frame.outcome) {
    case RequestFrame::Outcome::Incomplete:
        return true;
    case RequestFrame::Outcome::Refused:
        Refuse(*connection, frame.status);
        return true;
    case RequestFrame::Outcome::Complete:
        break;
    }
    {
        std::lock_guard lock(mutex_);
        ++serving_;
        idle_.Reset();
    }
    pool_->enqueue([this, connection] { Serve(connection); });
    return false;
}

void HttpServer::Serve(const ConnectionPtr& connection)
{
    t_current_socket = connection->fd;
    bool ok = false;
    bool closed = false;
    const bool last = --connection->requests_left == 0;
    {
        SocketStream stream(connection->fd, connection->received, stopping_,
                            connection->Expiry(),
                            ToMs(write_timeout_sec_, write_timeout_usec_));
        ok = process_request(stream, last, closed, nullptr);
    }
    t_current_socket = -1;

    const bool keep = ok && !closed && !last && !stopping_.IsSet();
    if (!keep)
        Close(*connection);
    {
        std::lock_guard lock(mutex_);
        if (keep)
            returned_.push_back(connection);
        if (--serving_ == 0)
            idle_.Set();
    }
    if (keep)
        returned_event_.Set();
}

void HttpServer::Refuse(Connection& connection, int status)
{
    const Refusal& refusal = RefusalOf(status);
    const std::string body = std::string("{\"message\":\"") + refusal.message + "\"}";
    SendAll(connection.fd, "HTTP/1.1 " + std::to_string(refusal.status) + " " + refusal.reason +
                               "\r\nContent-Type: application/json\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                               body);
    shutdown(connection.fd, SHUT_WR);
    connection.received.clear();
    connection.Enter(Connection::State::Draining);
}

void HttpServer::Close(Connection& connection)
{
    if (connection.fd < 0)
        return;
    shutdown(connection.fd, SHUT_RDWR);
    close(connection.fd);
    connection.fd = -1;
    std::lock_guard lock(mutex_);
    --open_;
    if (auto it = per_address_.find(connection.address); --it->second == 0)
        per_address_.erase(it);
}

} // namespace velk
