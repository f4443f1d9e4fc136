#include "tools/sim/sim_options.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "tools/sim/display.h"
#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

constexpr int kMaxPlayers = 64;
constexpr int kMaxSongs = 1000000;

constexpr std::string_view kCommands[] = {"key",   "show",    "snapshot", "received",
                                          "fault", "players", "state",    "help"};

std::vector<std::string> SplitList(std::string_view text)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        items.emplace_back(TrimBlanks(text.substr(start, comma - start)));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return items;
}

bool IsVersion(std::string_view text)
{
    int numbers = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        if (!ParseInt(text.substr(start, dot - start), 0, 99999))
            return false;
        ++numbers;
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    return numbers == 3;
}

// Players live on loopback addresses only: nothing the simulator does may reach a network.
bool IsLoopbackAddress(std::string_view text, int players)
{
    in_addr address{};
    if (inet_pton(AF_INET, std::string(text).c_str(), &address) != 1)
        return false;
    const std::uint32_t host = ntohl(address.s_addr);
    return (host >> 24) == 127 && (host & 0xFF) != 0 && (host & 0xFF) + players <= 255;
}

} // namespace

std::string DefaultControlPath()
{
    if (const char* path = std::getenv("VELK_SIM_CONTROL"); path && *path)
        return path;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return std::string(runtime) + "/velk-sim.sock";
    return "/tmp/velk-sim-" + std::to_string(getuid()) + ".sock";
}

bool ParseSimOptions(const std::vector<std::string_view>& args, SimOptions& options,
                     std::string& error)
{
    std::size_t i = 0;
    const auto value = [&](std::string_view name) -> std::optional<std::string_view> {
        if (i + 1 >= args.size()) {
            error = std::string(name) + " needs a value";
            return std::nullopt;
        }
        return args[++i];
    };
    const auto number = [&](std::string_view name, std::int64_t min,
                            std::int64_t max) -> std::optional<std::int64_t> {
        auto text = value(name);
        if (!text)
            return std::nullopt;
        auto parsed = ParseInteger(*text, min, max);
        if (!parsed)
            error = std::string(name) + " wants a number from " + std::to_string(min) + " to " +
                    std::to_string(max);
        return parsed;
    };

    for (; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg.empty())
            continue;
        if (arg[0] != '-') {
            if (options.command.empty()) {
                bool known = false;
                for (const auto command : kCommands)
                    known = known || command == arg;
                if (!known) {
                    error = "unknown command: " + std::string(arg);
                    return false;
                }
                options.command = std::string(arg);
            } else {
                options.command_args.emplace_back(arg);
            }
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--players") {
            auto n = number(arg, 1, kMaxPlayers);
            if (!n)
                return false;
            options.players = static_cast<int>(*n);
        } else if (arg == "--address") {
            auto text = value(arg);
            if (!text)
                return false;
            options.address = std::string(*text);
        } else if (arg == "--port") {
            auto n = number(arg, 1, 65535);
            if (!n)
                return false;
            options.port = static_cast<std::uint16_t>(*n);
        } else if (arg == "--display") {
            auto text = value(arg);
            if (!text)
                return false;
            options.displays = SplitList(*text);
            for (const auto& display : options.displays) {
                if (!Display::FindModel(display)) {
                    error = "unknown display type: " + display;
                    return false;
                }
            }
        } else if (arg == "--firmware") {
            auto text = value(arg);
            if (!text)
                return false;
            options.firmware = SplitList(*text);
            for (const auto& version : options.firmware) {
                if (!IsVersion(version)) {
                    error = "a firmware version is three numbers (3.1.2), not " + version;
                    return false;
                }
            }
        } else if (arg == "--name") {
            auto text = value(arg);
            if (!text)
                return false;
            options.names = SplitList(*text);
        } else if (arg == "--songs") {
            auto n = number(arg, 0, kMaxSongs);
            if (!n)
                return false;
            options.songs = static_cast<int>(*n);
        } else if (arg == "--seed") {
            auto n = number(arg, 0, 999999999999999999);
            if (!n)
                return false;
            options.seed = static_cast<std::uint64_t>(*n);
        } else if (arg == "--upgrade") {
            auto text = value(arg);
            if (!text)
                return false;
            if (!IsVersion(*text)) {
                error = "an upgrade version is three numbers (3.2.0), not " + std::string(*text);
                return false;
            }
            options.upgrade = std::string(*text);
        } else if (arg == "--password") {
            auto text = value(arg);
            if (!text)
                return false;
            options.password = std::string(*text);
        } else if (arg == "--control") {
            auto text = value(arg);
            if (!text)
                return false;
            options.control = std::string(*text);
        } else if (arg == "--count") {
            auto n = number(arg, 1, 500);
            if (!n)
                return false;
            options.count = static_cast<int>(*n);
        } else if (arg == "--no-server") {
            options.no_server = true;
        } else if (arg == "--setup-required") {
            options.setup_required = true;
        } else if (arg == "--disabled") {
            options.disabled = true;
        } else if (arg == "--renderer-only") {
            options.renderer_only = true;
        } else if (arg == "--no-upnp") {
            options.no_upnp = true;
        } else if (arg == "--once") {
            options.once = true;
        } else {
            error = "unknown option: " + std::string(arg);
            return false;
        }
    }
    if (options.command.empty() &&
        !IsLoopbackAddress(options.address, options.players + (options.renderer_only ? 1 : 0))) {
        error =
            "--address must be a loopback address (127.x.y.z) with room for every player after it";
        return false;
    }
    for (const auto& name : options.names) {
        if (name.empty()) {
            error = "a player name may not be empty";
            return false;
        }
    }
    if (options.control.empty())
        options.control = DefaultControlPath();
    return true;
}

std::string_view SimUsage()
{
    return R"(usage: velk-sim [options]               run simulated players until stopped
       velk-sim <command> [arguments]     talk to a running simulator

Simulator options:
  --players N           players to simulate (1-64, default 1)
  --address A           the first player's address (default 127.0.0.2); the others follow it
  --port P              the players' command port (default 4444)
  --display LIST        display types, comma separated, cycled over the players:
                        "Large VFD", "Small VFD", "Small VFD Direct",
                        "Small and Tall VFD Direct", "LCD", "String"
  --firmware LIST       firmware versions, cycled over the players (default 3.1.2)
  --name LIST           friendly names, cycled over the players
  --songs N             songs on the main music server (default 2000)
  --seed N              seed of the generated music library (default 1)
  --upgrade VERSION     offer a firmware upgrade to this version
  --password TEXT       password of the protected music server (default velk)
  --no-server           players start without a music server
  --setup-required      players start with their initial setup not done
  --disabled            players greet "Disabled" (remote control turned off)
  --renderer-only       add a media renderer of another maker: UPnP only, no port 4444
  --no-upnp             no UPnP devices
  --control PATH        the control socket (default $VELK_SIM_CONTROL, else in
                        $XDG_RUNTIME_DIR, else /tmp/velk-sim-<uid>.sock)

Commands (each takes --control PATH too):
  players                         list the simulated players
  state ADDRESS                   a player's state as JSON
  key ADDRESS KEY                 press a remote key (CK_EXIT, CK_POWER, ...)
  show ADDRESS [--once]           show the display in the terminal, live until Ctrl-C
  snapshot ADDRESS FILE           save the display as a BMP file
  received ADDRESS [--count N]    the last lines the player received
  fault ADDRESS silent on|off     stop answering (and greeting)
  fault ADDRESS slow MS           answer MS milliseconds late (0: on time)
  fault ADDRESS drop              close every connection now
  fault ADDRESS disabled on|off   greet "Disabled"
  fault ADDRESS upnp off|on       vanish from UPnP (byebye) and come back
  fault ADDRESS clear             end every fault
)";
}

} // namespace velk::sim
