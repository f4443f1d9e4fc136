// One stream socket on the loop: cuts what arrives into lines for its handler and writes the
// answers in order. Long answers come from line streams that are pulled only as fast as the
// peer reads, so a 20,000-line list neither fills memory nor holds up a "CancelTransaction"
// that arrives meanwhile. An output policy (the player's faults) can delay or drop answers.
// Lives on the loop thread; owned by a server (shell or control), which it tells when closed.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tools/sim/event_loop.h"

namespace velk::sim {

// The lines of a long answer, produced one at a time.
class LineStream {
public:
    virtual ~LineStream() = default;
    // false when there are no more lines.
    virtual bool Next(std::string& line) = 0;
};

class Connection {
public:
    static constexpr std::size_t kMaxLineBytes = 16384;

    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void OnLine(std::string_view line) = 0;
        // A line longer than kMaxLineBytes was dropped; beginning holds its first bytes.
        virtual void OnOverlongLine(std::string_view beginning) = 0;
    };

    struct OutputPolicy {
        bool silent = false;
        int delay_ms = 0;
    };

    Connection(EventLoop& loop, int fd, int id);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int id() const { return id_; }
    bool closed() const { return fd_ < 0; }

    // The handler takes over after the current line (a shell session hands over to RCP).
    void SetHandler(std::unique_ptr<Handler> handler);
    void SetOutputPolicy(std::function<OutputPolicy()> policy) { policy_ = std::move(policy); }
    // Called once, from a task of its own on the loop thread, after the socket has closed: the
    // owner may destroy the connection then.
    void SetOnClosed(std::function<void(int id)> on_closed) { on_closed_ = std::move(on_closed); }

    void Send(std::string_view bytes);
    void SendLine(std::string_view line);
    // The stream's lines follow everything sent before; on_done runs after its last line.
    void AddStream(std::string key, std::unique_ptr<LineStream> stream,
                   std::function<void()> on_done = {});
    bool HasStream(std::string_view key) const;
    // Drops the stream's remaining lines; false when there is none under the key.
    bool CancelStream(std::string_view key);

    // Closes once everything queued has been written.
    void CloseAfterFlush();
    void Close();

private:
    static constexpr std::size_t kReadChunk = 4096;
    static constexpr std::size_t kHighWater = 65536;

    struct Delayed {
        EventLoop::Clock::time_point due;
        std::string bytes;
    };
    struct Stream {
        std::string key;
        std::unique_ptr<LineStream> lines;
        std::function<void()> on_done;
    };

    void OnReady(short revents);
    void Read();
    void Write();
    void PumpStreams();
    void FlushDelayed();
    void UpdateEvents();
    std::size_t QueuedBytes() const;

    EventLoop& loop_;
    int fd_;
    int id_;
    std::unique_ptr<Handler> handler_;
    std::unique_ptr<Handler> next_handler_;
    std::function<OutputPolicy()> policy_;
    std::function<void(int id)> on_closed_;
    std::string in_;
    bool discarding_ = false;
    std::string out_;
    std::deque<Delayed> delayed_;
    std::size_t delayed_bytes_ = 0;
    EventLoop::TimerId delay_timer_ = 0;
    std::deque<Stream> streams_;
    bool pumping_ = false;
    bool close_after_flush_ = false;
};

} // namespace velk::sim
