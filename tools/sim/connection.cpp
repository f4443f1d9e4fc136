#include "tools/sim/connection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velk::sim {

Connection::Connection(EventLoop& loop, int fd, int id) : loop_(loop), fd_(fd), id_(id)
{
    loop_.Watch(fd_, POLLIN, [this](short revents) { OnReady(revents); });
}

Connection::~Connection()
{
    if (delay_timer_ != 0)
        loop_.CancelTimer(delay_timer_);
    if (fd_ >= 0) {
        loop_.Unwatch(fd_);
        close(fd_);
    }
}

void Connection::SetHandler(std::unique_ptr<Handler> handler)
{
    if (!handler_)
        handler_ = std::move(handler);
    else
        next_handler_ = std::move(handler);
}

void Connection::Send(std::string_view bytes)
{
    if (closed() || bytes.empty())
        return;
    const OutputPolicy policy = policy_ ? policy_() : OutputPolicy{};
    if (policy.silent)
        return;
    if (policy.delay_ms > 0 || !delayed_.empty()) {
        // Late answers keep their order behind those already waiting.
        delayed_.push_back({EventLoop::Clock::now() + std::chrono::milliseconds(policy.delay_ms),
                            std::string(bytes)});
        delayed_bytes_ += bytes.size();
        FlushDelayed();
        return;
    }
    out_.append(bytes);
    UpdateEvents();
}

void Connection::SendLine(std::string_view line)
{
    std::string bytes;
    bytes.reserve(line.size() + 2);
    bytes.append(line);
    bytes.append("\r\n");
    Send(bytes);
}

void Connection::AddStream(std::string key, std::unique_ptr<LineStream> stream,
                           std::function<void()> on_done)
{
    streams_.push_back({std::move(key), std::move(stream), std::move(on_done)});
    PumpStreams();
}

bool Connection::HasStream(std::string_view key) const
{
    return std::any_of(streams_.begin(), streams_.end(),
                       [key](const Stream& s) { return s.key == key; });
}

bool Connection::CancelStream(std::string_view key)
{
    auto it = std::find_if(streams_.begin(), streams_.end(),
                           [key](const Stream& s) { return s.key == key; });
    if (it == streams_.end())
        return false;
    streams_.erase(it);
    return true;
}

std::size_t Connection::QueuedBytes() const
{
    return out_.size() + delayed_bytes_;
}

void Connection::PumpStreams()
{
    // Send may come back here through a stream's on_done; one pump at a time.
    if (pumping_)
        return;
    pumping_ = true;
    std::string line;
    while (!closed() && !streams_.empty() && QueuedBytes() < kHighWater) {
        Stream& front = streams_.front();
        if (front.lines->Next(line)) {
            SendLine(line);
            continue;
        }
        auto on_done = std::move(front.on_done);
        streams_.pop_front();
        if (on_done)
            on_done();
    }
    pumping_ = false;
    // A silent connection drops every line: nothing is queued, so the streams just run out.
}

void Connection::FlushDelayed()
{
    const auto now = EventLoop::Clock::now();
    while (!delayed_.empty() && delayed_.front().due <= now) {
        out_.append(delayed_.front().bytes);
        delayed_bytes_ -= delayed_.front().bytes.size();
        delayed_.pop_front();
    }
    if (!delayed_.empty() && delay_timer_ == 0) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(delayed_.front().due - now);
        delay_timer_ = loop_.AddTimer(wait, [this] {
            delay_timer_ = 0;
            FlushDelayed();
            PumpStreams();
        });
    }
    UpdateEvents();
}

void Connection::UpdateEvents()
{
    if (closed())
        return;
    loop_.SetEvents(fd_, out_.empty() ? POLLIN : POLLIN | POLLOUT);
}

void Connection::OnReady(short revents)
{
    if (revents & (POLLERR | POLLNVAL)) {
        Close();
        return;
    }
    if (revents & (POLLIN | POLLHUP))
        Read();
    if (!closed() && (revents & POLLOUT))
        Write();
}

void Connection::Read()
{
    char chunk[kReadChunk];
    for (;;) {
        const ssize_t got = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got > 0) {
            in_.append(chunk, static_cast<std::size_t>(got));
            if (static_cast<std::size_t>(got) < sizeof chunk)
                break;
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (got < 0 && errno == EINTR)
            continue;
        // The peer has closed (0) or the socket failed: lines already complete still count.
        in_.push_back('\n');
        Close();
        break;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = in_.find('\n', start);
        if (end == std::string::npos)
            break;
        std::string_view line(in_.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (discarding_) {
            // The end of a line that was already refused.
            discarding_ = false;
            continue;
        }
        if (!handler_ || (closed() && line.empty()))
            continue;
        if (line.size() > kMaxLineBytes)
            handler_->OnOverlongLine(line.substr(0, 64));
        else
            handler_->OnLine(line);
        if (next_handler_)
            handler_ = std::move(next_handler_);
    }
    in_.erase(0, start);
    if (in_.size() > kMaxLineBytes) {
        if (!discarding_ && handler_)
            handler_->OnOverlongLine(std::string_view(in_).substr(0, 64));
        discarding_ = true;
        in_.clear();
    }
}

void Connection::Write()
{
    while (!out_.empty()) {
        const ssize_t sent = send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (sent <= 0) {
            Close();
            return;
        }
        out_.erase(0, static_cast<std::size_t>(sent));
        if (out_.empty())
            PumpStreams();
    }
    if (close_after_flush_ && out_.empty() && delayed_.empty()) {
        Close();
        return;
    }
    UpdateEvents();
}

void Connection::CloseAfterFlush()
{
    close_after_flush_ = true;
    streams_.clear();
    if (out_.empty() && delayed_.empty())
        Close();
    else
        UpdateEvents();
}

void Connection::Close()
{
    if (closed())
        return;
    loop_.Unwatch(fd_);
    close(fd_);
    fd_ = -1;
    streams_.clear();
    if (on_closed_) {
        auto on_closed = std::move(on_closed_);
        loop_.Post([on_closed, id = id_] { on_closed(id); });
    }
}

} // namespace velk::sim
