#include "tools/sim/control_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/sim/text_util.h"

namespace velk::sim {

ControlClient::~ControlClient()
{
    if (fd_ >= 0)
        close(fd_);
}

HRESULT ControlClient::Connect(const std::string& path, std::string& error)
{
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    if (path.size() >= sizeof where.sun_path) {
        error = "control socket path too long";
        return E_INVALIDARG;
    }
    std::memcpy(where.sun_path, path.c_str(), path.size() + 1);
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        error = "no simulator answers on " + path + " (" + std::strerror(errno) + ")";
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ControlClient::Send(std::string_view request)
{
    std::string line = OneLine(request) + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t sent = send(fd_, line.data() + done, line.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return E_FAIL;
        done += static_cast<std::size_t>(sent);
    }
    return S_OK;
}

bool ControlClient::ReadLine(std::string& line)
{
    for (;;) {
        const std::size_t end = buffer_.find('\n');
        if (end != std::string::npos) {
            line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        char chunk[65536];
        const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buffer_.append(chunk, static_cast<std::size_t>(got));
    }
}

HRESULT ControlClient::Request(std::string_view request, std::vector<std::string>& lines,
                               std::string& error)
{
    lines.clear();
    if (FAILED(Send(request))) {
        error = "the simulator closed the control connection";
        return E_FAIL;
    }
    std::string line;
    while (ReadLine(line)) {
        if (line == "OK")
            return S_OK;
        if (line.rfind("ERROR", 0) == 0) {
            error = line.size() > 6 ? line.substr(6) : "failed";
            return E_FAIL;
        }
        lines.push_back(line);
    }
    error = "the simulator closed the control connection";
    return E_FAIL;
}

std::optional<FrameBuffer> ControlClient::ParseFrame(std::string_view line)
{
    const auto words = SplitWords(line);
    if (words.size() != 4 || words[0] != "frame")
        return std::nullopt;
    auto width = ParseInt(words[1], 1, FrameBuffer::kCoordinateLimit);
    auto height = ParseInt(words[2], 8, FrameBuffer::kCoordinateLimit);
    if (!width || !height || *height % 8 != 0)
        return std::nullopt;
    const std::string_view hex = words[3];
    const std::size_t bytes = static_cast<std::size_t>(*width) * (*height / 8);
    if (hex.size() != bytes * 2)
        return std::nullopt;
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        const auto digit = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            return -1;
        };
        const int high = digit(hex[2 * i]);
        const int low = digit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        data[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    FrameBuffer frame(*width, *height);
    frame.LoadColumnBytes(data);
    return frame;
}

} // namespace velk::sim
