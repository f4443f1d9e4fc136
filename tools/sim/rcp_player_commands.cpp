// RCP commands that act on the player itself: transport, volume, power, clock, settings,
// network, visualizers, display, subscriptions, firmware and transactions.
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>

#include "tools/sim/bitmap_font.h"
#include "tools/sim/rcp_commands.h"
#include "tools/sim/rcp_session.h"
#include "tools/sim/remote_keys.h"
#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

constexpr int kUpgradeStepMs = 40;
constexpr int kVuBytes = 2;
constexpr int kFrequencyBytes = 16;
constexpr int kScopeBytes = 64;

std::string ClockText(std::chrono::milliseconds time)
{
    const long long seconds = time.count() / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

// Picks an entry of a catalogue by its number in the list or by its exact name.
std::optional<int> CatalogueIndex(std::span<const std::string_view> catalogue,
                                  std::string_view argument)
{
    if (auto number = ParseInt(argument, 0, static_cast<int>(catalogue.size()) - 1))
        return number;
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        if (EqualsIgnoreCase(catalogue[i], argument))
            return static_cast<int>(i);
    return std::nullopt;
}

std::vector<std::string> Names(std::span<const std::string_view> catalogue)
{
    return {catalogue.begin(), catalogue.end()};
}

// Three numbers separated by one character of `separators` ("12-07-2026", "13:05:09").
std::optional<std::array<int, 3>> ThreeNumbers(std::string_view text, std::string_view separators)
{
    std::array<int, 3> numbers{};
    for (int i = 0; i < 3; ++i) {
        std::size_t end = 0;
        while (end < text.size() && separators.find(text[end]) == std::string_view::npos)
            ++end;
        auto number = ParseInt(text.substr(0, end), 0, 9999);
        if (!number)
            return std::nullopt;
        numbers[i] = *number;
        if (i < 2 && end == text.size())
            return std::nullopt;
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    if (!text.empty())
        return std::nullopt;
    return numbers;
}

// What the visualizers show: levels that move with the music, flat while nothing plays.
std::vector<std::uint8_t> VisualizerData(const Player& player, int count, bool scope)
{
    std::vector<std::uint8_t> bytes(count, scope ? 128 : 0);
    if (player.transport() != Transport::Play)
        return bytes;
    const double t = static_cast<double>(player.Elapsed().count()) / 1000.0;
    for (int i = 0; i < count; ++i) {
        const double wave = std::sin(t * 3.1 + i * 0.7) * 0.5 + std::sin(t * 7.3 + i * 1.3) * 0.3;
        bytes[i] = static_cast<std::uint8_t>(scope ? 128 + wave * 100 : 128 + wave * 120);
    }
    return bytes;
}

// An upgrade in progress: one status line every few milliseconds, as a real upgrade reports
// its stages.
struct UpgradeRun {
    RcpSession& session;
    EventLoop& loop;
    std::vector<std::string> steps;
    std::size_t next = 0;
    EventLoop::TimerId timer = 0;
};

void ScheduleUpgradeStep(const std::shared_ptr<UpgradeRun>& run)
{
    run->timer = run->loop.AddTimer(std::chrono::milliseconds(kUpgradeStepMs), [run] {
        run->timer = 0;
        const std::string& line = run->steps[run->next++];
        run->session.Value("ExecuteSoftwareUpgrade", line);
        if (line == "UpgradeComplete")
            run->session.player().UpgradeInstalled();
        if (run->next < run->steps.size())
            ScheduleUpgradeStep(run);
        else
            run->session.EndTimedTransaction("ExecuteSoftwareUpgrade");
    });
}

void AddTransportCommands(RcpCommandMap& commands)
{
    const auto simple = [](void (Player::*action)()) {
        return [action](RcpRequest& r) {
            (r.session.player().*action)();
            r.session.Ok(r.word);
        };
    };
    commands["Play"] = simple(&Player::Play);
    commands["Pause"] = simple(&Player::Pause);
    commands["PlayPause"] = simple(&Player::PlayPause);
    commands["Next"] = simple(&Player::Next);
    commands["Previous"] = simple(&Player::Previous);
    commands["Stop"] = simple(&Player::Stop);

    commands["GetTransportState"] = [](RcpRequest& r) {
        Player& player = r.session.player();
        r.session.Value(r.word, player.standby() ? "Standby" : TransportWord(player.transport()));
    };
    commands["Shuffle"] = [](RcpRequest& r) {
        Player& player = r.session.player();
        if (!r.has_argument) {
            r.session.Value(r.word, player.shuffle() ? "on" : "off");
        } else if (r.argument == "on" || r.argument == "off") {
            player.SetShuffle(r.argument == "on");
            r.session.Ok(r.word);
        } else {
            r.session.Error(r.word, "ParameterError");
        }
    };
    commands["Repeat"] = [](RcpRequest& r) {
        Player& player = r.session.player();
        if (!r.has_argument) {
            const RepeatMode mode = player.repeat();
            r.session.Value(r.word, mode == RepeatMode::All   ? "all"
                                    : mode == RepeatMode::One ? "one"
                                                              : "none");
            return;
        }
        if (r.argument == "none")
            player.SetRepeat(RepeatMode::None);
        else if (r.argument == "one")
            player.SetRepeat(RepeatMode::One);
        else if (r.argument == "all")
            player.SetRepeat(RepeatMode::All);
        else if (r.argument == "cycle")
            player.SetRepeat(player.repeat() == RepeatMode::None  ? RepeatMode::All
                             : player.repeat() == RepeatMode::All ? RepeatMode::One
                                                                  : RepeatMode::None);
        else
            return r.session.Error(r.word, "ParameterError");
        r.session.Ok(r.word);
    };
    commands["GetElapsedTime"] = [](RcpRequest& r) {
        r.session.ValueAndOk(r.word, ClockText(r.session.player().Elapsed()));
    };
    commands["GetTotalTime"] = [](RcpRequest& r) {
        const Song* song = r.session.player().CurrentSong();
        r.session.ValueAndOk(r.word,
                             ClockText(std::chrono::milliseconds(song ? song->length_ms : 0)));
    };
    commands["GetVolume"] = [](RcpRequest& r) {
        r.session.Value(r.word, std::to_string(r.session.player().volume()));
    };
    commands["SetVolume"] = [](RcpRequest& r) {
        auto volume = ParseInt(r.argument, 0, Player::kMaxVolume);
        if (!volume)
            return r.session.Error(r.word, "ParameterError");
        r.session.player().SetVolume(*volume);
        r.session.Ok(r.word);
    };
}

void AddPowerAndClockCommands(RcpCommandMap& commands)
{
    commands["GetPowerState"] = [](RcpRequest& r) {
        r.session.Value(r.word, r.session.player().standby() ? "Standby" : "On");
    };
    commands["SetPowerState"] = [](RcpRequest& r) {
        const auto words = SplitWords(r.argument);
        if (words.empty() || words.size() > 2)
            return r.session.Error(r.word, "ParameterError");
        if (words[0] == "standby" && words.size() == 1) {
            r.session.player().SetStandby(true);
            return r.session.Ok(r.word);
        }
        if (words[0] != "on" || (words.size() == 2 && words[1] != "yes" && words[1] != "no"))
            return r.session.Error(r.word, "ParameterError");
        r.session.player().SetStandby(false);
        r.session.Value(r.word, "PowerStateOn");
    };
    commands["Reboot"] = [](RcpRequest& r) {
        r.session.Ok(r.word);
        r.session.player().Reboot();
    };
    commands["ResetToFactoryDefaults"] = [](RcpRequest& r) {
        r.session.Ok(r.word);
        r.session.player().ResetToFactoryDefaults();
    };
    commands["GetDate"] = [](RcpRequest& r) {
        const std::tm now = r.session.player().LocalTime();
        char text[32];
        std::snprintf(text, sizeof text, "%02d-%02d-%04d", now.tm_mon + 1, now.tm_mday,
                      now.tm_year + 1900);
        r.session.ValueAndOk(r.word, text);
    };
    commands["GetTime"] = [](RcpRequest& r) {
        const std::tm now = r.session.player().LocalTime();
        char text[32];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", now.tm_hour, now.tm_min, now.tm_sec);
        r.session.Value(r.word, text);
    };
    commands["SetDate"] = [](RcpRequest& r) {
        auto date = ThreeNumbers(r.argument, "-/");
        if (!date || !r.session.player().SetDate((*date)[0], (*date)[1], (*date)[2]))
            return r.session.Error(r.word, "ParameterError");
        r.session.Ok(r.word);
    };
    commands["SetTime"] = [](RcpRequest& r) {
        auto time = ThreeNumbers(r.argument, "-:");
        if (!time || !r.session.player().SetTime((*time)[0], (*time)[1], (*time)[2]))
            return r.session.Error(r.word, "ParameterError");
        r.session.Ok(r.word);
    };
}

void AddSettingsCommands(RcpCommandMap& commands)
{
    commands["GetFriendlyName"] = [](RcpRequest& r) {
        r.session.Value(r.word, r.session.player().settings().friendly_name);
    };
    commands["SetFriendlyName"] = [](RcpRequest& r) {
        if (r.argument.empty())
            return r.session.Error(r.word, "ParameterError");
        r.session.player().settings().friendly_name = OneLine(r.argument);
        r.session.Ok(r.word);
    };
    commands["GetOption"] = [](RcpRequest& r) {
        auto value = r.session.player().settings().Option(r.argument);
        if (!value)
            return r.session.Error(r.word, "ParameterError");
        r.session.Value(r.word, *value);
    };
    commands["SetOption"] = [](RcpRequest& r) {
        const std::size_t blank = r.argument.find(' ');
        if (blank == std::string_view::npos)
            return r.session.Error(r.word, "ParameterError");
        const std::string_view name = r.argument.substr(0, blank);
        const std::string_view value = TrimBlanks(r.argument.substr(blank + 1));
        if (!r.session.player().settings().SetOption(name, value))
            return r.session.Error(r.word, "ParameterError");
        r.session.player().DisplayChanged();
        r.session.Ok(r.word);
    };

    struct Catalogue {
        const char* list;
        const char* get;
        const char* set;
        std::span<const std::string_view> (*names)();
        int PlayerSettings::*field;
        bool single_reply_get;
    };
    static const Catalogue kCatalogues[] = {
        {"ListTimeZones", "GetTimeZone", "SetTimeZone", &PlayerSettings::TimeZones,
         &PlayerSettings::time_zone, true},
        {"ListLanguages", "GetLanguage", "SetLanguage", &PlayerSettings::Languages,
         &PlayerSettings::language, false},
        {"ListRegions", "GetRegion", "SetRegion", &PlayerSettings::Regions, &PlayerSettings::region,
         false},
        {"ListVisualizers", "GetVisualizer", "SetVisualizer", &PlayerSettings::Visualizers,
         &PlayerSettings::visualizer, true},
    };
    for (const auto& catalogue : kCatalogues) {
        commands[catalogue.list] = [&catalogue](RcpRequest& r) {
            r.session.List(r.word, Names(catalogue.names()));
        };
        commands[catalogue.get] = [&catalogue](RcpRequest& r) {
            const std::string_view name =
                catalogue.names()[r.session.player().settings().*catalogue.field];
            if (catalogue.single_reply_get)
                r.session.Value(r.word, name);
            else
                r.session.ValueAndOk(r.word, name);
        };
        commands[catalogue.set] = [&catalogue](RcpRequest& r) {
            auto index = CatalogueIndex(catalogue.names(), r.argument);
            if (!index)
                return r.session.Error(r.word, "ParameterError");
            r.session.player().settings().*catalogue.field = *index;
            r.session.Ok(r.word);
        };
    }

    commands["GetVisualizerMode"] = [](RcpRequest& r) {
        r.session.ValueAndOk(r.word, r.session.player().settings().visualizer_mode);
    };
    commands["SetVisualizerMode"] = [](RcpRequest& r) {
        if (r.argument != "off" && r.argument != "partial" && r.argument != "full")
            return r.session.Error(r.word, "ParameterError");
        r.session.player().settings().visualizer_mode = std::string(r.argument);
        r.session.Ok(r.word);
    };
    commands["GetVizDataVU"] = [](RcpRequest& r) {
        r.session.DataBytes(r.word, VisualizerData(r.session.player(), kVuBytes, false));
    };
    commands["GetVizDataFreq"] = [](RcpRequest& r) {
        r.session.DataBytes(r.word, VisualizerData(r.session.player(), kFrequencyBytes, false));
    };
    commands["GetVizDataScope"] = [](RcpRequest& r) {
        r.session.DataBytes(r.word, VisualizerData(r.session.player(), kScopeBytes, true));
    };

    commands["GetInitialSetupComplete"] = [](RcpRequest& r) {
        r.session.ValueAndOk(r.word, r.session.player().settings().setup_complete ? "Complete"
                                                                                  : "Incomplete");
    };
    commands["GetRequiredSetupSteps"] = [](RcpRequest& r) {
        const PlayerSettings& settings = r.session.player().settings();
        std::vector<std::string> steps;
        if (!settings.setup_complete)
            steps = {"Region", "TimeZone", "Language"};
        if (!settings.terms_accepted)
            steps.push_back("TermsOfService");
        r.session.Lines(r.word, steps);
    };
    commands["GetTermsOfServiceUrl"] = [](RcpRequest& r) {
        r.session.ValueAndOk(r.word,
                             "http://" + r.session.player().identity().address + "/terms.html");
    };
    commands["AcceptTermsOfService"] = [](RcpRequest& r) {
        r.session.player().settings().terms_accepted = true;
        r.session.Ok(r.word);
    };
    commands["SetInitialSetupComplete"] = [](RcpRequest& r) {
        PlayerSettings& settings = r.session.player().settings();
        if (!settings.terms_accepted)
            return r.session.Error(r.word, "ErrorInitialSetupRequired");
        settings.setup_complete = true;
        r.session.Ok(r.word);
    };
}

void AddNetworkCommands(RcpCommandMap& commands)
{
    commands["GetIPAddress"] = [](RcpRequest& r) {
        r.session.Value(r.word, r.session.player().identity().address);
    };
    commands["GetMACAddress"] = [](RcpRequest& r) {
        r.session.Value(r.word, r.session.player().identity().mac);
    };
    commands["ListWiFiNetworks"] = [](RcpRequest& r) {
        std::vector<std::string> names;
        for (const auto& network : PlayerSettings::WiFiNetworks())
            names.emplace_back(network.ssid);
        r.session.List(r.word, std::move(names));
    };
    commands["GetWiFiNetworkSelection"] = [](RcpRequest& r) {
        r.session.Value(
            r.word,
            PlayerSettings::WiFiNetworks()[r.session.player().settings().wifi_network].ssid);
    };
    commands["SetWiFiNetworkSelection"] = [](RcpRequest& r) {
        auto index =
            ParseInt(r.argument, 0, static_cast<int>(PlayerSettings::WiFiNetworks().size()) - 1);
        if (!index)
            return r.session.Error(r.word, "ParameterError");
        r.session.player().settings().wifi_network = *index;
        r.session.Ok(r.word);
    };
    commands["SetWiFiPassword"] = [](RcpRequest& r) {
        r.session.player().settings().wifi_password = std::string(r.argument);
        r.session.Ok(r.word);
    };
    commands["GetWiFiSignalQuality"] = [](RcpRequest& r) {
        const auto& network =
            PlayerSettings::WiFiNetworks()[r.session.player().settings().wifi_network];
        r.session.Lines(r.word, {"quality: " + std::to_string(network.quality),
                                 "signal: " + std::to_string(network.signal),
                                 "noise: " + std::to_string(network.noise)});
    };
}

void AddDisplayAndKeyCommands(RcpCommandMap& commands)
{
    commands["GetDisplayData"] = [](RcpRequest& r) {
        r.session.DataBytes(r.word, r.session.player().display().frame().ColumnBytes());
    };
    commands["IrDispatchCommand"] = [](RcpRequest& r) {
        auto code = RemoteKeyCode(r.argument);
        if (!code)
            return r.session.Error(r.word, "ParameterError");
        r.session.player().DispatchKey(*code);
        r.session.Ok(r.word);
    };
    const auto subscription = [](bool (RcpSession::*subscribe)(bool), bool on) {
        return [subscribe, on](RcpRequest& r) {
            if (!(r.session.*subscribe)(on) && !on)
                return r.session.Error(r.word, "ErrorNotSubscribed");
            r.session.Ok(r.word);
        };
    };
    commands["IrDemodSubscribe"] = subscription(&RcpSession::SubscribeKeys, true);
    commands["IrDemodUnsubscribe"] = subscription(&RcpSession::SubscribeKeys, false);
    commands["DisplayUpdateEventSubscribe"] = subscription(&RcpSession::SubscribeDisplay, true);
    commands["DisplayUpdateEventUnsubscribe"] = subscription(&RcpSession::SubscribeDisplay, false);
}

void AddFirmwareAndTransactionCommands(RcpCommandMap& commands)
{
    commands["GetSoftwareVersion"] = [](RcpRequest& r) {
        r.session.Value(r.word, r.session.player().firmware());
    };
    commands["CheckSoftwareUpgrade"] = [](RcpRequest& r) {
        const std::string& offered = r.session.player().upgrade_version();
        r.session.ValueAndOk(r.word, offered.empty() || r.session.player().awaiting_reboot()
                                         ? "NoUpgradeAvailable"
                                         : offered);
    };
    commands["ExecuteSoftwareUpgrade"] = [](RcpRequest& r) {
        Player& player = r.session.player();
        if (player.awaiting_reboot())
            return r.session.Error(r.word, "ErrorAwaitingPostUpgradeReboot");
        if (player.connected_server())
            return r.session.Error(r.word, "ErrorCantRunWithServerConnected");
        std::vector<std::string> steps = {"CheckingUpgradeAvailability"};
        if (player.upgrade_version().empty()) {
            steps.push_back("NoUpgradeAvailable");
        } else {
            for (int percent = 0; percent <= 100; percent += 20)
                steps.push_back("DownloadingUpgrade: " + std::to_string(percent));
            for (const char* stage : {"VerifyingMD5", "ErasingFlash", "BurningFlash",
                                      "VerifyingFlash", "SavingAdditionalData", "UpgradeComplete"})
                steps.push_back(stage);
        }
        steps.push_back("TransactionComplete");
        r.session.Value(r.word, "TransactionInitiated");
        auto run =
            std::make_shared<UpgradeRun>(UpgradeRun{r.session, player.loop(), std::move(steps)});
        ScheduleUpgradeStep(run);
        r.session.BeginTimedTransaction(r.word, [run] {
            if (run->timer != 0)
                run->loop.CancelTimer(run->timer);
        });
    };
    commands["CancelTransaction"] = [](RcpRequest& r) {
        if (r.argument.empty() || !r.session.CancelTransaction(r.argument))
            return r.session.Error(r.word, "ErrorTransactionNotPending");
        r.session.Ok(r.word);
    };
    commands["SetListResultType"] = [](RcpRequest& r) {
        if (r.argument != "full" && r.argument != "partial")
            return r.session.Error(r.word, "ParameterError");
        r.session.browse().partial_lists = r.argument == "partial";
        r.session.Ok(r.word);
    };
    commands["GetListResult"] = [](RcpRequest& r) {
        const auto words = SplitWords(r.argument);
        const auto& list = r.session.browse().last_list;
        if (!list || words.size() != 2)
            return r.session.Error(r.word, "ParameterError");
        auto first = ParseInt(words[0], 0, static_cast<int>(list->size()) - 1);
        auto count = ParseInt(words[1], 1);
        if (!first || !count)
            return r.session.Error(r.word, "ParameterError");
        r.session.ListPart(r.word, *first, std::min<std::size_t>(*count, list->size() - *first));
    };
}

} // namespace

void AddPlayerCommands(RcpCommandMap& commands)
{
    AddTransportCommands(commands);
    AddPowerAndClockCommands(commands);
    AddSettingsCommands(commands);
    AddNetworkCommands(commands);
    AddDisplayAndKeyCommands(commands);
    AddFirmwareAndTransactionCommands(commands);
}

} // namespace velk::sim
