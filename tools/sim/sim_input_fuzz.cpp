// Fuzz target: what reaches the simulator from outside. The first line is a velk-sim command
// line (blank separated); every line is also a sketch argument string, a shell command, an RCP
// command and a control "frame" line, run against a real player whose answers go to a socket.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/connection.h"
#include "tools/sim/control_client.h"
#include "tools/sim/library_generator.h"
#include "tools/sim/player.h"
#include "tools/sim/rcp_session.h"
#include "tools/sim/shell_session.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/sketch.h"
#include "tools/sim/text_util.h"

using namespace velk::sim;

namespace {

PlayerIdentity Identity()
{
    PlayerIdentity identity;
    identity.address = "127.0.0.2";
    identity.name = "Fuzz";
    identity.model = "KD-40";
    identity.firmware = "3.1.2";
    identity.udn = "uuid:00000000-0000-4000-8000-000000000000";
    identity.mac = "00:0D:4B:00:00:00";
    identity.display = *Display::FindModel("Large VFD");
    return identity;
}

std::vector<std::string_view> Lines(std::string_view input)
{
    std::vector<std::string_view> lines;
    while (!input.empty()) {
        const std::size_t end = input.find('\n');
        std::string_view line = input.substr(0, end);
        if (line.size() <= Connection::kMaxLineBytes)
            lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        input.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const MusicLibrary library = LibraryGenerator::Generate({1, 40, "velk"});
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto lines = Lines(input);
    if (lines.empty())
        return 0;

    SimOptions options;
    std::string error;
    ParseSimOptions(SplitWords(lines[0]), options, error);

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    EventLoop loop;
    Player player(loop, Identity(), library, "3.2.0");
    Connection connection(loop, pair[0], 1);
    RcpSession rcp(player, connection);
    ShellSession shell(player, connection);
    for (const auto line : lines) {
        Sketch::Run(line, player.display(), 1);
        shell.OnLine(line);
        rcp.OnLine(line);
        ControlClient::ParseFrame(line);
    }
    close(pair[1]);
    return 0;
}
