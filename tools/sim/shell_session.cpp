#include "tools/sim/shell_session.h"

#include <algorithm>
#include <memory>

#include "tools/sim/rcp_session.h"
#include "tools/sim/remote_keys.h"
#include "tools/sim/sketch.h"
#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

// The sample rates "audiotone" accepts, in kHz.
constexpr std::string_view kToneRates[] = {"48", "44.1", "32", "22.05"};

} // namespace

ShellSession::ShellSession(Player& player, Connection& connection)
    : player_(player), connection_(connection)
{
}

void ShellSession::Greet()
{
    if (player_.faults().disabled) {
        connection_.SendLine("Disabled: remote control is turned off on this Melodeck");
        connection_.CloseAfterFlush();
        return;
    }
    connection_.Send("Velk Melodeck " + player_.identity().model + " version " +
                     player_.firmware() + "\r\n" + "Type \"help\" for the list of commands.\r\n" +
                     std::string(kPrompt));
}

void ShellSession::Answer(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += OneLine(line) + "\r\n";
    if (lines.empty())
        text = "\r\n";
    connection_.Send(text + std::string(kPrompt));
}

void ShellSession::OnOverlongLine(std::string_view)
{
    Answer(
        {"Error: line too long (at most " + std::to_string(Connection::kMaxLineBytes) + " bytes)"});
}

void ShellSession::OnLine(std::string_view line)
{
    player_.RecordReceived(connection_.id(), line);
    if (player_.faults().silent)
        return;
    line = TrimBlanks(line);
    const std::size_t blank = line.find(' ');
    const std::string_view command = line.substr(0, blank);
    const std::string_view arguments =
        blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);

    if (command == "mmc") {
        // The one line that ends shell mode; from here on the connection speaks RCP.
        connection_.SendLine("RCP mode");
        connection_.SetHandler(std::make_unique<RcpSession>(player_, connection_));
        return;
    }
    if (command == "exit") {
        connection_.CloseAfterFlush();
        return;
    }
    Answer(Run(command, arguments));
}

std::vector<std::string> ShellSession::Run(std::string_view command, std::string_view arguments)
{
    if (command.empty())
        return {};
    if (command == "displaytype")
        return {player_.display().type()};
    if (command == "ps")
        return ProcessList();
    if (command == "version")
        return {player_.firmware() + " (" + player_.identity().model + ")"};
    if (command == "sketch") {
        SketchResult result = Sketch::Run(arguments, player_.display(), connection_.id());
        if (result.drew)
            player_.DisplayChanged();
        return result.lines;
    }
    if (command == "irman") {
        const auto words = SplitWords(arguments);
        if (words.size() != 2 || words[0] != "dispatch")
            return {"usage: irman dispatch <key>"};
        const auto code = RemoteKeyCode(words[1]);
        if (!code)
            return {"irman: unknown key " + std::string(words[1])};
        player_.DispatchKey(*code);
        return {};
    }
    if (command == "audiotone") {
        const auto words = SplitWords(arguments);
        if (words.size() > 2 || (!words.empty() && !ParseInt(words[0], 0, 32767)))
            return {"usage: audiotone [<tone>] [48 | 44.1 | 32 | 22.05]"};
        if (words.size() == 2 && std::find(std::begin(kToneRates), std::end(kToneRates),
                                           words[1]) == std::end(kToneRates))
            return {"audiotone: unsupported sample rate " + std::string(words[1])};
        player_.PlayTone(std::string(arguments.empty() ? "0" : arguments));
        return {};
    }
    if (command == "audiowarble") {
        player_.PlayTone("warble");
        return {};
    }
    if (command == "htplay") {
        const auto url = TrimBlanks(arguments);
        if (url.empty())
            return {"usage: htplay <url>"};
        player_.PlayUrl(std::string(url));
        return {};
    }
    if (command == "stop") {
        player_.StopSound();
        return {};
    }
    if (command == "attract") {
        player_.Attract();
        return {};
    }
    if (command == "help") {
        return {"attract",
                "audiotone [<tone>] [<kHz>]",
                "audiowarble",
                "displaytype",
                "exit",
                "htplay <url>",
                "irman dispatch <key>",
                "mmc",
                "ps",
                "sketch -c <verb> [arguments]",
                "stop",
                "version"};
    }
    return {"Unknown command: " + std::string(command)};
}

std::vector<std::string> ShellSession::ProcessList() const
{
    std::vector<std::string> lines = {"  PID NAME", "    1 init", "   14 NetworkManager",
                                      "   21 UPnPRenderer", "   23 RCPServer"};
    lines.push_back(player_.standby() ? "   31 StandbyApp" : "   31 NowPlayingApp");
    if (player_.display().sketching())
        lines.push_back("   37 SketchApp");
    return lines;
}

} // namespace velk::sim
