#include "platform/event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>

namespace velk {

Event::Event(enum Reset reset, bool initially_set)
    : fd_(eventfd(initially_set ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK)), reset_(reset)
{
    if (fd_ < 0) {
        // Without events no thread of the system can be stopped or woken: nothing sensible
        // is left to do.
        std::perror("eventfd");
        std::abort();
    }
}

Event::~Event() { close(fd_); }

void Event::Set()
{
    const std::uint64_t one = 1;
    while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Event::Reset()
{
    std::uint64_t count;
    while (read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool Event::IsSet() const
{
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
}

bool Event::TryWait()
{
    if (reset_ == Reset::Manual)
        return IsSet();
    std::uint64_t count;
    return read(fd_, &count, sizeof count) == sizeof count;
}

bool Event::Wait(std::uint32_t timeout_ms) { return WaitAny({*this}, timeout_ms) == 0; }

Deadline::Deadline(std::uint32_t timeout_ms)
    : infinite_(timeout_ms == kInfinite),
      end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms))
{
}

std::uint32_t Deadline::RemainingMs() const
{
    if (infinite_)
        return kInfinite;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<std::uint32_t>(left.count()) : 0;
}

int WaitAny(std::initializer_list<Waitable> objects, std::uint32_t timeout_ms)
{
    return WaitAny(std::span<const Waitable>(objects.begin(), objects.size()), timeout_ms);
}

int WaitAny(std::span<const Waitable> objects, std::uint32_t timeout_ms)
{
    std::vector<pollfd> fds;
    fds.reserve(objects.size());
    for (const auto& object : objects)
        fds.push_back({object.event ? object.event->fd() : object.socket, POLLIN, 0});

    const Deadline deadline(timeout_ms);
    for (;;) {
        const std::uint32_t left = deadline.RemainingMs();
        const int poll_timeout = left == kInfinite ? -1 : static_cast<int>(left);
        const int ready = poll(fds.data(), fds.size(), poll_timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return kWaitFailed;
        }
        if (ready == 0)
            return kWaitTimeout;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            if (fds[i].revents & POLLNVAL)
                return kWaitFailed;
            // Another waiter may have taken an auto-reset event first: then wait on.
            if (objects[i].event && !objects[i].event->TryWait())
                continue;
            return static_cast<int>(i);
        }
        if (deadline.Expired())
            return kWaitTimeout;
    }
}

} // namespace velk
