// Test support: a real velk-sim process on an address block of its own (so that tests may run
// in parallel), and a raw socket to a player's command port that reads with a safety time-out
// instead of hanging.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/frame_buffer.h"

namespace velk::sim::testing {

class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool ready() const { return ready_; }
    std::string address(int index = 0) const;
    const std::string& control() const { return control_; }
    // Runs a control request; the data lines, or "ERROR ..." as the only line.
    std::vector<std::string> Control(std::string_view request) const;
    FrameBuffer Frame(int index = 0) const;
    // The last lines the player received on any connection, oldest first, without the
    // connection number and the blanks that end posted commands.
    std::vector<std::string> Received(int index = 0) const;
    // Stops the process with SIGTERM and returns its exit status (-1 when it did not exit).
    int Stop();

private:
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string first_address_;
    std::string directory_;
    std::string control_;
};

struct CommandResult {
    int status = -1;
    std::string out;
};

// Runs velk-sim with the arguments (a subcommand, as a user would) and collects its output.
CommandResult RunSim(const std::vector<std::string>& args);

class PlayerSocket {
public:
    static constexpr int kSafetyMs = 10000;

    PlayerSocket(const std::string& address, int port = 4444);
    ~PlayerSocket();
    PlayerSocket(const PlayerSocket&) = delete;
    PlayerSocket& operator=(const PlayerSocket&) = delete;

    bool connected() const { return fd_ >= 0; }
    void Send(std::string_view bytes);
    // Everything up to and including the marker; what was received when the time-out or the
    // peer's close comes first.
    std::string ReadUntil(std::string_view marker);
    // One line without its CR LF; empty at the time-out or close.
    std::string ReadLine();
    // True when the peer closed the connection (reads return 0) within the safety time.
    bool WaitClosed();

    // Shell mode: the greeting; one command's answer lines (prompt removed).
    std::string Greeting() { return ReadUntil("Melodeck>"); }
    std::vector<std::string> Shell(std::string_view command);
    // Sends "mmc" and reads its one line.
    std::string EnterRcp();
    // RCP: sends a line and collects the answer lines for its word until one of them is a
    // settling word (OK, TransactionComplete, an error word...) or, for single-line answers,
    // the first line.
    std::vector<std::string> Rcp(std::string_view line, bool single_line = false);
    // The values of the answer lines other than the framing ones (transaction, list size and
    // end, OK): the names of a list, the key: value lines of an information answer.
    std::vector<std::string> Values(std::string_view line);
    // The data line of a "data bytes" answer; a text saying what was wrong otherwise.
    std::string DataBytes(std::string_view line);

private:
    int fd_ = -1;
    std::string buffer_;
};

} // namespace velk::sim::testing
