// A test peer that stands in for a player at a loopback address of its own on port 4444: it
// greets, then hands every received line to the test's script, which answers with raw bytes.
#pragma once

#include <functional>
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

    // A peer without greeting (nullopt) closes each connection as soon as it comes.
    explicit ScriptedPlayer(Script script,
                            std::optional<std::string> greeting = "Melodeck shell 1.0\r\nMelodeck>");
    ~ScriptedPlayer();
    ScriptedPlayer(const ScriptedPlayer&) = delete;
    ScriptedPlayer& operator=(const ScriptedPlayer&) = delete;

    const std::string& address() const { return address_; }

    // Peer thread or test thread.
    void Send(std::string_view bytes);
    void CloseConnection();
    std::vector<std::string> ReceivedLines() const;

    // The answers of a player in its shell: "displaytype" and "mmc". True when line was one.
    bool AnswerShell(std::string_view line);

private:
    void ThreadMain();

    std::optional<std::string> greeting_;
    Script script_;
    std::string address_;
    int listener_ = -1;
    int connection_ = -1;
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    Event stop_;
    std::thread thread_;
};

// A player script that answers a control session's opening commands (shell, version, no music
// server, list result type) and passes every other line to rest.
ScriptedPlayer::Script PlayerWith(std::function<void(std::string_view, ScriptedPlayer&)> rest,
                                  std::string version = "3.1.2");

} // namespace velk::testing
