// velkctl: drives the system's automation objects from a shell, the way a script drives them.
// One or more expressions per call, each result on its own line, the HRESULT as exit status.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/expression.h"
#include "automation/velk_enum_names.h"
#include "platform/apartment.h"
#include "service/velk_device.h"

namespace velk {
namespace {

constexpr int kExitBadUsage = 2;

constexpr const char* kUsage = R"usage(usage: velkctl --player HOST EXPR [EXPR ...]
       velkctl [--server HOST[:PORT]] EXPR [EXPR ...]

Drives the Velk automation objects the way a script does: each expression reads, sets or calls
a member, starting from the root object; its result is printed on a line of its own. The
expressions of one call share one connection and one session, so state such as browse filters
and monitor counts carries from one to the next. The first failure stops the run.

Root objects:
  --player HOST   the player at HOST (dotted IPv4), connected as the data service connects a
                  player it finds (IVelkDevice); RCPSession gives its RCP session.
  --server HOST[:PORT]
                  the data service's root object (IVelkDataService) through its automation
                  endpoint (default: this computer).

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

Exit status: 0 on success; 1 when a member failed (standard error: the HRESULT as 0xXXXXXXXX
and its message); 2 for a bad expression or bad usage.
)usage";

struct Options {
    std::string player;
    std::vector<std::string> expressions;
};

int BadUsage(std::string_view message)
{
    std::cerr << "velkctl: " << message << "\n(velkctl --help shows the usage)\n";
    return kExitBadUsage;
}

int Failure(HRESULT hr)
{
    std::cerr << FormatFailure(hr) << "\n";
    return 1;
}

int Run(const Options& options)
{
    auto apartment = Apartment::Create();
    auto device = std::make_shared<CVelkDevice>();
    HRESULT hr = device->Connect(options.player, "uuid:" + options.player, options.player, 0);
    if (FAILED(hr))
        return Failure(hr);

    int status = 0;
    for (const auto& text : options.expressions) {
        const auto result = EvaluateExpression(text, device);
        const std::string line = FormatResult(result);
        if (result.ExitStatus() == 0) {
            if (!line.empty())
                std::cout << line << "\n" << std::flush;
            continue;
        }
        std::cerr << line << "\n";
        status = result.ExitStatus();
        break;
    }
    device->OnShutdown();
    device.reset();
    apartment->Close();
    return status;
}

int Main(int argc, char** argv)
{
    Options options;
    std::string server;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--player" || arg == "--server") {
            if (i + 1 >= argc)
                return BadUsage(std::string(arg) + " needs a host");
            (arg == "--player" ? options.player : server) = argv[++i];
            continue;
        }
        if (arg.starts_with("--"))
            return BadUsage("unknown option " + std::string(arg));
        options.expressions.emplace_back(arg);
    }
    if (!options.player.empty() && !server.empty())
        return BadUsage("--player and --server exclude each other");
    if (options.expressions.empty())
        return BadUsage("no expression given");
    if (options.player.empty()) {
        std::cerr << FormatFailure(E_NOTIMPL)
                  << " (the data service's automation endpoint is not served yet: use --player)\n";
        return 1;
    }
    return Run(options);
}

} // namespace
} // namespace velk

int main(int argc, char** argv) { return velk::Main(argc, argv); }
