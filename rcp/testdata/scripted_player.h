// A test peer that stands in for a player at a loopback address of its own on port 4444: it
// greets each connection, then hands every received line to the test's script, which answers
// with raw bytes or streams them at an attacker's pace (a byte at a time, or as fast as the
// connection takes them).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/event.h"

namespace velk::testing {

class ScriptedPlayer {
public:
    // Called on the peer's thread for each line (without its line end).
    using Script = std::function<void(std::string_view line, ScriptedPlayer& player)>;

    // A peer without greeting (nullopt) closes each connection as soon as it comes. Without an
    // address the peer listens on a free loopback address of its own.
    explicit ScriptedPlayer(Script script,
                            std::optional<std::string> greeting = "Melodeck shell 1.0\r\nMelodeck>",
                            std::string address = {});
    ~ScriptedPlayer();
    ScriptedPlayer(const ScriptedPlayer&) = delete;
    ScriptedPlayer& operator=(const ScriptedPlayer&) = delete;

    const std::string& address() const { return address_; }

    // These act on the connection whose line the script is handling; called from elsewhere,
    // on the newest connection.
    void Send(std::string_view bytes);
    void CloseConnection();
    // From now on sends unit every interval (zero: as fast as the connection takes it) until
    // max_bytes have gone or the connection ends.
    void Stream(std::string unit, std::chrono::milliseconds interval,
                std::size_t max_bytes = std::numeric_limits<std::size_t>::max());

    std::vector<std::string> ReceivedLines() const;
    // True once a line has been received, within the timeout.
    bool WaitForLine(std::string_view line, std::uint32_t timeout_ms = 30000) const;
    // True when the other side closed or reset a connection before its stream had sent all,
    // within the timeout.
    bool WaitStreamCut(std::uint32_t timeout_ms = 30000) { return stream_cut_.Wait(timeout_ms); }

    // The answers of a player in its shell: "displaytype" and "mmc". True when line was one.
    bool AnswerShell(std::string_view line);

private:
    using Clock = std::chrono::steady_clock;

    struct Flow {
        std::string block; // the unit repeated, so that a fast stream sends much at once
        std::size_t unit_size = 0;
        std::size_t phase = 0;
        std::chrono::milliseconds interval{0};
        Clock::time_point next;
        std::size_t left = 0;
    };
    struct Connection {
        int fd = -1;
        std::string buffer;
        std::optional<Flow> stream;
    };

    void ThreadMain();
    void Accept();
    // Reads what arrived and runs the script on each whole line; false when the peer left.
    bool Receive(int fd);
    // Sends what is due of the connection's stream; false when the peer left.
    bool SendStream(Connection& connection);
    // Lets a connection go that the other side has left.
    void Drop(int fd);
    Connection* Current();

    std::optional<std::string> greeting_;
    Script script_;
    std::string address_;
    int listener_ = -1;
    mutable std::mutex mutex_;
    std::vector<Connection> connections_;
    // The connection whose line the script is handling (peer thread).
    int current_ = -1;
    std::vector<std::string> received_;
    mutable std::condition_variable line_received_;
    Event stop_;
    Event stream_cut_;
    std::thread thread_;
};

// A player script that answers a control session's opening commands (shell, version, no music
// server, list result type) and passes every other line to rest.
ScriptedPlayer::Script PlayerWith(std::function<void(std::string_view, ScriptedPlayer&)> rest,
                                  std::string version = "3.1.2");

// A player that answers as one does (the shell, a control session's opening, "ps") to every
// line but trigger, where attack plays the attacker.
ScriptedPlayer::Script MisbehavingPlayer(std::string trigger,
                                         std::function<void(ScriptedPlayer&)> attack);

} // namespace velk::testing
