// The RCP command table: one handler per command word, grouped by what they act on (the
// player itself, or the music library and play queue). Built once; read-only afterwards.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace velk::sim {

class RcpSession;

struct RcpRequest {
    RcpSession& session;
    std::string_view word;
    std::string_view argument; // after the first blank, without blanks at either end
    bool has_argument;         // the word was followed by a blank (even with nothing after it)
};

using RcpHandler = std::function<void(RcpRequest&)>;
using RcpCommandMap = std::map<std::string, RcpHandler, std::less<>>;

class RcpCommands {
public:
    // nullptr for a word that is no command.
    static const RcpHandler* Find(std::string_view word);
    // Commands that still answer while a firmware upgrade waits for its reboot.
    static bool AllowedAwaitingReboot(std::string_view word);
};

void AddPlayerCommands(RcpCommandMap& commands);
void AddLibraryCommands(RcpCommandMap& commands);

} // namespace velk::sim
