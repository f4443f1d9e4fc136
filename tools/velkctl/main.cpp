// velkctl: drives the system's automation objects from a shell, the way a script drives them.
// One or more expressions per call, each result on its own line, the HRESULT as exit status.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/automation_client.h"
#include "automation/automation_server.h"
#include "automation/expression.h"
#include "automation/velk_enum_names.h"
#include "platform/apartment.h"
#include "platform/error_info.h"
#include "service/velk_device.h"

namespace velk {
namespace {

constexpr int kExitBadUsage = 2;

constexpr const char* kUsage = R"usage(usage: velkctl --player HOST EXPR [EXPR ...]
       velkctl [--server HOST[:PORT]] [--token TOKEN] [--events] EXPR [EXPR ...]

Drives the Velk automation objects the way a script does: each expression reads, sets or calls
a member, starting from the root object; its result is printed on a line of its own. The
expressions of one call share one connection and one session, so state such as browse filters
and monitor counts carries from one to the next. The first failure stops the run.

Root objects:
  --player HOST   the player at HOST (dotted IPv4), connected as the data service connects a
                  player it finds (IVelkDevice); RCPSession gives its RCP session.
  --server HOST[:PORT]
                  the data service's root object (IVelkDataService) through its automation
                  endpoint (default: this computer, port 4445). VelkDevices lists the players.
  --token TOKEN   the endpoint's access token, when it has one (or $VELK_TOKEN).
  --events        after the expressions, prints the service's events (OnAddDevice,
                  OnRemoveDevice) and those of every object an expression gave (a player's
                  RCPSession: OnRemoteKey, OnUpdateDisplay, ...), one line each, until
                  interrupted.

Expressions:
  EXPR   := CHAIN [ "=" VALUE ]
  CHAIN  := STEP { "." STEP }
  STEP   := NAME [ "(" [ VALUE { "," VALUE } ] ")" ]
  VALUE  := INTEGER | REAL | STRING | TRUE | FALSE | DATE | ENUM { "|" ENUM } | CALL
  CALL   := LoadPicture "(" STRING ")"

  NAME     a member of the object's automation interface (any case): a property without
           parentheses is read; the last step followed by "= VALUE" sets it; a method is
           called with its arguments (trailing optional ones may be left out)
  STRING   "text", with \" for a quote and \\ for a backslash
  DATE     #2026-12-07 13:05:09#
  ENUM     a member of the type library's enumerations (SketchText, RepeatCycle, CK_PAUSE,
           ServerTypeDAAP, ...); A|B is the bitwise or
  LoadPicture("logo.bmp") reads a BMP file as a picture (for DrawPicture)

Examples:
  velkctl VelkDevices.Count
  velkctl 'VelkDevices.Item(0).RCPSession.Volume = 35'
  velkctl --events 'VelkDevices.Item(0).RCPSession.MonitorRemoteKey = TRUE' \
          'VelkDevices.Item(0).RCPSession'
  velkctl --player 192.168.1.20 RCPSession.Volume
  velkctl --player 192.168.1.20 "RCPSession.Volume = 35"
  velkctl --player 192.168.1.20 'Sketch(SketchText, 0, 0, "Hello")' 'Sketch(SketchQuit)'
  velkctl --player 192.168.1.20 'RCPSession.BrowseFilterArtist = "Miles Davis"' \
          RCPSession.Albums.Count
  velkctl --player 192.168.1.20 'RCPSession.Presets.Item(2).Name'
  velkctl --player 192.168.1.20 'RCPSession.PressRemoteKey(CK_PAUSE)'
  velkctl --player 192.168.1.20 'DrawPicture(0, 0, LoadPicture("logo.bmp"))'

Output: strings as they are, numbers in decimal, TRUE or FALSE, dates as YYYY-MM-DD HH:MM:SS,
arrays as their elements separated by blanks, objects as [object INTERFACE]; a put or a call
without a result prints nothing.

Exit status: 0 on success; 1 when a member failed (standard error: the HRESULT as 0xXXXXXXXX,
its message and, in parentheses, what the member said beyond it, such as what a player sent);
2 for a bad expression or bad usage.
)usage";

struct Options {
    std::string player;
    // HOST[:PORT] of the data service; empty: this computer.
    std::string server;
    std::string token;
    bool events = false;
    std::vector<std::string> expressions;
    std::vector<Expression> parsed; // the expressions, read before anything is reached
};

int BadUsage(std::string_view message)
{
    std::cerr << "velkctl: " << message << "\n(velkctl --help shows the usage)\n";
    return kExitBadUsage;
}

// A failure's line: its code and message, then what the member said beyond the message (the
// thread's error record), such as what a player sent.
std::string FailureLine(HRESULT hr, std::string line)
{
    const auto info = GetErrorInfo();
    if (info && !info->description.empty() && info->description != HResultMessage(hr))
        line += " (" + info->description + ")";
    return line;
}

int Failure(HRESULT hr)
{
    std::cerr << FailureLine(hr, FormatFailure(hr)) << "\n";
    return 1;
}

std::mutex output_mutex;

// Evaluates the expressions in order against root, printing each result; the first failure
// ends the run. Objects that come out are kept for --events.
int Evaluate(const std::vector<Expression>& expressions, const DispatchablePtr& root,
             std::vector<DispatchablePtr>& objects)
{
    for (const auto& expression : expressions) {
        ClearErrorInfo();
        const auto result = EvaluateExpression(expression, root);
        std::string line = FormatResult(result);
        if (result.status == ExpressionResult::Status::Failed)
            line = FailureLine(result.hr, std::move(line));
        if (result.ExitStatus() != 0) {
            std::cerr << line << "\n";
            return result.ExitStatus();
        }
        if (UnknownPtr object; SUCCEEDED(result.value.ToObject(object)) && object) {
            if (auto dispatchable = std::dynamic_pointer_cast<IDispatchable>(object))
                objects.push_back(std::move(dispatchable));
        }
        std::lock_guard lock(output_mutex);
        if (!line.empty())
            std::cout << line << "\n" << std::flush;
    }
    return 0;
}

int RunOnPlayer(const Options& options)
{
    auto apartment = Apartment::Create();
    auto device = std::make_shared<CVelkDevice>();
    HRESULT hr = device->Connect(options.player, "uuid:" + options.player, options.player, 0);
    if (FAILED(hr))
        return Failure(hr);
    std::vector<DispatchablePtr> objects;
    const int status = Evaluate(options.parsed, device, objects);
    objects.clear();
    device->OnShutdown();
    device.reset();
    apartment->Close();
    return status;
}

// HOST[:PORT]; the default port when none is given.
bool SplitServer(const std::string& text, std::string& host, std::uint16_t& port)
{
    host = text.empty() ? "127.0.0.1" : text;
    port = AutomationServer::kDefaultPort;
    const auto colon = host.rfind(':');
    if (colon == std::string::npos)
        return true;
    unsigned value = 0;
    const char* first = host.data() + colon + 1;
    const char* last = host.data() + host.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || value == 0 || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    host.resize(colon);
    return !host.empty();
}

int RunOnServer(const Options& options)
{
    std::string host;
    std::uint16_t port = 0;
    if (!SplitServer(options.server, host, port))
        return BadUsage("--server takes HOST or HOST:PORT");

    // Only the signal wait below takes SIGINT and SIGTERM, whatever thread they reach.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    if (options.events)
        pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    std::shared_ptr<AutomationClient> client;
    HRESULT hr = AutomationClient::Connect(host, port, options.token, client);
    if (FAILED(hr))
        return Failure(hr);
    std::vector<DispatchablePtr> objects;
    const int status = Evaluate(options.parsed, client->Root(), objects);
    if (status != 0 || !options.events)
        return status;

    // Each event on a line: its name and its arguments as results are printed.
    client->OpenEvents([](const DispatchablePtr&, const std::string& member,
                          const std::vector<Variant>& args) {
        std::string line = member;
        for (const auto& arg : args)
            line += " " + FormatValue(arg);
        std::lock_guard lock(output_mutex);
        std::cout << line << "\n" << std::flush;
    });
    objects.insert(objects.begin(), client->Root());
    for (const auto& object : objects) {
        hr = client->Advise(object);
        if (FAILED(hr) && hr != E_NOINTERFACE)
            return Failure(hr);
    }
    int signal = 0;
    sigwait(&stop_signals, &signal);
    client->CloseEvents();
    return 0;
}

int Main(int argc, char** argv)
{
    Options options;
    bool server_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--events") {
            options.events = true;
            continue;
        }
        if (arg == "--player" || arg == "--server" || arg == "--token") {
            if (i + 1 >= argc)
                return BadUsage(std::string(arg) + " needs a value");
            std::string& value = arg == "--player" ? options.player
                                 : arg == "--server" ? options.server
                                                     : options.token;
            value = argv[++i];
            server_given = server_given || arg == "--server";
            continue;
        }
        if (arg.starts_with("--"))
            return BadUsage("unknown option " + std::string(arg));
        options.expressions.emplace_back(arg);
    }
    if (!options.player.empty() && server_given)
        return BadUsage("--player and --server exclude each other");
    if (!options.player.empty() && options.events)
        return BadUsage("--events needs the data service");
    if (options.expressions.empty() && !options.events)
        return BadUsage("no expression given");
    if (options.token.empty()) {
        if (const char* token = std::getenv("VELK_TOKEN"))
            options.token = token;
    }
    // Every expression is read before anything is reached, so that a typo is told without a
    // running service or a reachable player.
    for (const auto& text : options.expressions) {
        ExpressionResult error;
        auto parsed = ParseExpression(text, EnumRegistry::Global(), error);
        if (!parsed) {
            std::cerr << FormatResult(error) << "\n";
            return error.ExitStatus();
        }
        options.parsed.push_back(std::move(*parsed));
    }
    return options.player.empty() ? RunOnServer(options) : RunOnPlayer(options);
}

} // namespace
} // namespace velk

int main(int argc, char** argv) { return velk::Main(argc, argv); }
