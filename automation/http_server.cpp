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

#include <vector>

#include "platform/apartment.h"

namespace velk {

namespace {

// One thread a connection: event streams hold theirs for as long as they are open.
constexpr std::size_t kPoolThreads = 32;
// Connections beyond this are closed at once rather than queued without bound.
constexpr std::size_t kMaxConnections = 64;
// Requests on one connection before it is closed; clients simply connect again.
constexpr std::size_t kKeepAliveRequests = 100;
constexpr std::size_t kReadBufferBytes = 4096;
// How long the accept loop rests when the process is out of descriptors.
constexpr std::uint32_t kOutOfDescriptorsPauseMs = 100;
constexpr HRESULT kAddressInUse = HRESULT_FROM_WIN32(10048); // WSAEADDRINUSE

thread_local int t_current_socket = -1;

std::uint32_t ToMs(time_t sec, time_t usec)
{
    return static_cast<std::uint32_t>(sec * 1000 + usec / 1000);
}

// A connection's socket as cpp-httplib reads and writes it: reads wait for data or for the
// server to stop, writes never raise SIGPIPE.
class SocketStream : public httplib::Stream {
public:
    SocketStream(int fd, Event& stopping, std::uint32_t read_timeout_ms,
                 std::uint32_t write_timeout_ms)
        : fd_(fd), stopping_(stopping), read_timeout_ms_(read_timeout_ms),
          write_timeout_ms_(write_timeout_ms)
    {
    }

    bool is_readable() const override
    {
        return position_ < buffer_.size() ||
               WaitAny({stopping_, Waitable::Socket(fd_)}, read_timeout_ms_) == 1;
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
        if (position_ == buffer_.size()) {
            if (!is_readable())
                return -1;
            buffer_.resize(kReadBufferBytes);
            const ssize_t got = recv(fd_, buffer_.data(), buffer_.size(), 0);
            if (got <= 0) {
                buffer_.clear();
                position_ = 0;
                return got;
            }
            buffer_.resize(static_cast<std::size_t>(got));
            position_ = 0;
        }
        const std::size_t count = std::min(size, buffer_.size() - position_);
        std::memcpy(ptr, buffer_.data() + position_, count);
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
        AddressOf(getpeername, ip, port);
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        AddressOf(getsockname, ip, port);
    }

    socket_t socket() const override { return fd_; }

private:
    template <typename Query> void AddressOf(Query query, std::string& ip, int& port) const
    {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (query(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
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

    const int fd_;
    Event& stopping_;
    const std::uint32_t read_timeout_ms_;
    const std::uint32_t write_timeout_ms_;
    std::vector<char> buffer_;
    std::size_t position_ = 0;
};

} // namespace

HttpServer::HttpServer()
{
    set_keep_alive_max_count(kKeepAliveRequests);
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
    accept_thread_ = std::thread([this] { AcceptConnections(); });
    return S_OK;
}

void HttpServer::Shutdown()
{
    stopping_.Set();
    if (accept_thread_.joinable())
        accept_thread_.join();
    WaitWithPumping({idle_}, kInfinite);
    if (pool_)
        pool_->shutdown();
    pool_.reset();
    if (listen_fd_ >= 0)
        close(listen_fd_);
    listen_fd_ = -1;
    svr_sock_ = INVALID_SOCKET;
}

int HttpServer::CurrentSocket()
{
    return t_current_socket;
}

void HttpServer::AcceptConnections()
{
    while (WaitAny({stopping_, Waitable::Socket(listen_fd_)}, kInfinite) == 1) {
        const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                stopping_.Wait(kOutOfDescriptorsPauseMs);
            continue;
        }
        // Small request and reply bodies go out at once rather than waiting for an ACK.
        const int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        {
            std::lock_guard lock(mutex_);
            if (connections_ >= kMaxConnections) {
                close(fd);
                continue;
            }
            ++connections_;
            idle_.Reset();
        }
        pool_->enqueue([this, fd] { process_and_close_socket(fd); });
    }
}

bool HttpServer::process_and_close_socket(socket_t sock)
{
    t_current_socket = sock;
    SocketStream stream(sock, stopping_, ToMs(read_timeout_sec_, read_timeout_usec_),
                        ToMs(write_timeout_sec_, write_timeout_usec_));
    const std::uint32_t keep_alive_ms = ToMs(keep_alive_timeout_sec_, 0);
    bool ok = true;
    for (std::size_t left = keep_alive_max_count_; left > 0; --left) {
        if (WaitAny({stopping_, Waitable::Socket(sock)}, keep_alive_ms) != 1)
            break;
        bool closed = false;
        ok = process_request(stream, left == 1, closed, nullptr);
        if (!ok || closed)
            break;
    }
    t_current_socket = -1;
    shutdown(sock, SHUT_RDWR);
    close(sock);
    ConnectionEnded();
    return ok;
}

void HttpServer::ConnectionEnded()
{
    std::lock_guard lock(mutex_);
    if (--connections_ == 0)
        idle_.Set();
}

} // namespace velk
