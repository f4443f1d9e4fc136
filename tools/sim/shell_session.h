// A connection to a player's port 4444 in shell mode: greets with the prompt, answers the
// shell commands (display type, process list, version, sketch drawing, remote keys, sounds)
// and, on "mmc", hands the connection over to an RcpSession. Lives on the loop thread; owned
// by its Connection.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/connection.h"
#include "tools/sim/player.h"

namespace velk::sim {

class ShellSession : public Connection::Handler {
public:
    static constexpr std::string_view kPrompt = "Melodeck>";

    ShellSession(Player& player, Connection& connection);

    // The greeting ends in the prompt; a player set to "Disabled" says so and hangs up.
    void Greet();
    void OnLine(std::string_view line) override;
    void OnOverlongLine(std::string_view beginning) override;

private:
    // Output lines, then the prompt; no output still sends one line end.
    void Answer(const std::vector<std::string>& lines);
    std::vector<std::string> Run(std::string_view command, std::string_view arguments);
    std::vector<std::string> ProcessList() const;

    Player& player_;
    Connection& connection_;
};

} // namespace velk::sim
