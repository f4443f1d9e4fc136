#include "tools/sim/sim_commands.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "tools/sim/control_client.h"
#include "tools/sim/terminal_view.h"

namespace velk::sim {
namespace {

constexpr int kDefaultColumns = 80;

int Fail(const std::string& message)
{
    std::fprintf(stderr, "velk-sim: %s\n", message.c_str());
    return 1;
}

int TerminalColumns()
{
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultColumns;
}

std::string Joined(const std::vector<std::string>& words, std::size_t first)
{
    std::string text;
    for (std::size_t i = first; i < words.size(); ++i)
        text += " " + words[i];
    return text;
}

int Show(ControlClient& client, const std::string& address, bool once)
{
    std::string error;
    std::vector<std::string> lines;
    if (once) {
        if (FAILED(client.Request("frame " + address, lines, error)))
            return Fail(error);
        auto frame = lines.empty() ? std::nullopt : ControlClient::ParseFrame(lines[0]);
        if (!frame)
            return Fail("the simulator sent a malformed frame");
        std::fputs(TerminalView::Render(*frame, TerminalColumns()).c_str(), stdout);
        return 0;
    }
    if (FAILED(client.Send("watch " + address)))
        return Fail("the simulator closed the control connection");
    std::string line;
    int rows_shown = 0;
    while (client.ReadLine(line)) {
        if (line.rfind("ERROR", 0) == 0)
            return Fail(line.substr(std::min<std::size_t>(6, line.size())));
        auto frame = ControlClient::ParseFrame(line);
        if (!frame)
            continue;
        const std::string picture = TerminalView::Render(*frame, TerminalColumns());
        // Draw over the previous picture.
        if (rows_shown > 0)
            std::printf("\x1b[%dA", rows_shown);
        std::fputs(picture.c_str(), stdout);
        std::fflush(stdout);
        rows_shown = static_cast<int>(std::count(picture.begin(), picture.end(), '\n'));
    }
    return 0;
}

int Snapshot(ControlClient& client, const std::string& address, const std::string& path)
{
    std::string error;
    std::vector<std::string> lines;
    if (FAILED(client.Request("frame " + address, lines, error)))
        return Fail(error);
    auto frame = lines.empty() ? std::nullopt : ControlClient::ParseFrame(lines[0]);
    if (!frame)
        return Fail("the simulator sent a malformed frame");
    // Lit pixels in the blue-green of a vacuum fluorescent display, dark ones black.
    const Bitmap picture = frame->ToBitmap(0xFF40E0D0, 0xFF000000);
    if (FAILED(picture.SaveBmpFile(path)))
        return Fail("cannot write " + path);
    return 0;
}

} // namespace

int SimCommands::Run(const SimOptions& options)
{
    const auto& args = options.command_args;
    const std::string& command = options.command;
    if (command == "help") {
        std::fputs(SimUsage().data(), stdout);
        return 0;
    }
    ControlClient client;
    std::string error;
    if (FAILED(client.Connect(options.control, error)))
        return Fail(error);

    std::string request;
    if (command == "players" && args.empty()) {
        request = "players";
    } else if (command == "state" && args.size() == 1) {
        request = "state " + args[0];
    } else if (command == "key" && args.size() == 2) {
        request = "key " + args[0] + " " + args[1];
    } else if (command == "show" && args.size() == 1) {
        return Show(client, args[0], options.once);
    } else if (command == "snapshot" && args.size() == 2) {
        return Snapshot(client, args[0], args[1]);
    } else if (command == "received" && args.size() == 1) {
        request = "received " + args[0] + " " + std::to_string(options.count);
    } else if (command == "fault" && args.size() >= 2) {
        request = "fault" + Joined(args, 0);
    } else {
        return Fail("wrong arguments for " + command + "; see velk-sim --help");
    }
    std::vector<std::string> lines;
    if (FAILED(client.Request(request, lines, error)))
        return Fail(error);
    for (const auto& line : lines)
        std::printf("%s\n", line.c_str());
    return 0;
}

} // namespace velk::sim
