// Kernel-style events on eventfd: manual-reset (stays set until Reset) or auto-reset (one waiter
// takes it), and WaitAny over events and sockets. Any thread may set, reset or wait.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

namespace velk {

constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
constexpr int kWaitTimeout = -1;
constexpr int kWaitFailed = -2;

class Event {
public:
    enum class Reset { Manual, Auto };

    explicit Event(Reset reset = Reset::Manual, bool initially_set = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // True when set; takes the event when it is auto-reset.
    bool TryWait();
    bool IsSet() const;
    // True when the event was set within timeout_ms (kInfinite: no limit).
    bool Wait(std::uint32_t timeout_ms = kInfinite);

    int fd() const { return fd_; }
    bool auto_reset() const { return reset_ == Reset::Auto; }

private:
    int fd_;
    enum Reset reset_;
};

// What WaitAny waits for: an event to be set, or a socket to become readable or closed.
struct Waitable {
    Waitable(Event& e) : event(&e) {}
    static Waitable Socket(int fd)
    {
        Waitable w;
        w.socket = fd;
        return w;
    }

    Event* event = nullptr;
    int socket = -1;

private:
    Waitable() = default;
};

// Waits until one of the objects is signalled and returns its index (an auto-reset event is
// taken), kWaitTimeout after timeout_ms, kWaitFailed when the wait itself fails. When several
// are signalled the lowest index wins.
int WaitAny(std::span<const Waitable> objects, std::uint32_t timeout_ms);
int WaitAny(std::initializer_list<Waitable> objects, std::uint32_t timeout_ms);

// A deadline for waits that loop: how many milliseconds are left of a time-out.
class Deadline {
public:
    explicit Deadline(std::uint32_t timeout_ms);
    std::uint32_t RemainingMs() const;
    bool Expired() const { return RemainingMs() == 0; }

private:
    bool infinite_;
    std::chrono::steady_clock::time_point end_;
};

} // namespace velk
