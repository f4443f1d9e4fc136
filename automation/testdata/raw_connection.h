// A client that speaks to a server byte by byte, as an attacker would: sends what it is told
// when it is told, and reads whatever comes back. For the transport's hostile-client tests.
#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace velk::testing {

class RawConnection {
public:
    explicit RawConnection(std::uint16_t port)
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~RawConnection()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool connected() const { return fd_ >= 0; }

    // False once the server has closed or reset the connection.
    bool Send(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    // Everything the server sends until it closes the connection, or until timeout_ms passes.
    std::string ReadUntilClosed(int timeout_ms)
    {
        std::string text;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return text;
            char chunk[4096];
            const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
            if (got <= 0)
                return text;
            text.append(chunk, static_cast<std::size_t>(got));
        }
    }

    // True when the server has closed its side (or sent something) within timeout_ms.
    bool Readable(int timeout_ms)
    {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, timeout_ms) > 0;
    }

private:
    int fd_ = -1;
};

// The status of an HTTP response's first line; 0 when there is none.
inline int StatusOf(std::string_view response)
{
    if (!response.starts_with("HTTP/1.1 ") || response.size() < 12)
        return 0;
    return std::stoi(std::string(response.substr(9, 3)));
}

} // namespace velk::testing
