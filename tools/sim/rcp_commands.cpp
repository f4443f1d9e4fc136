#include "tools/sim/rcp_commands.h"

namespace velk::sim {

const RcpHandler* RcpCommands::Find(std::string_view word)
{
    static const RcpCommandMap commands = [] {
        RcpCommandMap map;
        AddPlayerCommands(map);
        AddLibraryCommands(map);
        return map;
    }();
    auto it = commands.find(word);
    return it == commands.end() ? nullptr : &it->second;
}

bool RcpCommands::AllowedAwaitingReboot(std::string_view word)
{
    // Questions still get answers; anything that would change the player waits for the reboot.
    for (std::string_view prefix : {"Get", "List", "Check"})
        if (word.substr(0, prefix.size()) == prefix)
            return true;
    return word == "Reboot" || word == "CancelTransaction" || word == "ExecuteSoftwareUpgrade" ||
           word.find("Subscribe") != std::string_view::npos ||
           word.find("Unsubscribe") != std::string_view::npos;
}

} // namespace velk::sim
