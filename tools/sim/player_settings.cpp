#include "tools/sim/player_settings.h"

#include <array>

#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

constexpr std::array<std::string_view, 12> kTimeZones = {
    "(GMT-10:00) Hawaii",
    "(GMT-08:00) Pacific Time (US & Canada)",
    "(GMT-07:00) Mountain Time (US & Canada)",
    "(GMT-06:00) Central Time (US & Canada)",
    "(GMT-05:00) Eastern Time (US & Canada)",
    "(GMT-03:00) Brasilia",
    "(GMT) Greenwich Mean Time : Dublin, Edinburgh, Lisbon, London",
    "(GMT+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna",
    "(GMT+02:00) Athens, Helsinki, Istanbul",
    "(GMT+05:30) Chennai, Kolkata, Mumbai, New Delhi",
    "(GMT+09:00) Osaka, Sapporo, Tokyo",
    "(GMT+10:00) Canberra, Melbourne, Sydney",
};
constexpr std::array<std::string_view, 8> kLanguages = {
    "English", "Deutsch", "Français", "Español", "Italiano", "Nederlands", "Svenska", "Dansk"};
constexpr std::array<std::string_view, 10> kRegions = {
    "United States", "Canada", "United Kingdom", "Germany", "France",
    "Netherlands",   "Sweden", "Australia",      "Japan",   "Brazil"};
constexpr std::array<std::string_view, 6> kVisualizers = {
    "Clock",       "Horizontal VU-Meter", "Vertical VU-Meter",
    "Voice Print", "Frequency Analyzer",  "Oscilloscope"};
constexpr std::array<PlayerSettings::WiFiNetwork, 4> kWiFiNetworks = {{
    {"VelkNet", 82, -48, -92},
    {"Kitchen-AP", 64, -61, -90},
    {"Neighbour 5G", 31, -79, -88},
    {"Guest", 47, -70, -91},
}};

struct OptionRule {
    std::string_view name;
    std::string_view initial;
    std::array<std::string_view, 4> words; // the accepted words; none: a 0/1 flag or a number
    int max_number;                        // 0: a 0/1 flag
};
constexpr std::array<OptionRule, 8> kOptions = {{
    {"bootMode", "lastState", {"lastState", "standby", "lastSource", "serverList"}, 0},
    {"standbyMode", "clock", {"clock", "screenOff"}, 0},
    {"outputMultichannel", "0", {}, 0},
    {"revertToNowPlaying", "1", {}, 0},
    {"scrollLongInfo", "1", {}, 0},
    {"displayComposer", "0", {}, 0},
    {"skipUnchecked", "0", {}, 0},
    {"wmaThreshold", "128", {}, 400},
}};
constexpr std::array<std::string_view, kOptions.size()> kOptionNames = {
    kOptions[0].name, kOptions[1].name, kOptions[2].name, kOptions[3].name,
    kOptions[4].name, kOptions[5].name, kOptions[6].name, kOptions[7].name};

const OptionRule* FindOption(std::string_view name)
{
    for (const auto& option : kOptions)
        if (option.name == name)
            return &option;
    return nullptr;
}

} // namespace

std::span<const std::string_view> PlayerSettings::TimeZones()
{
    return kTimeZones;
}
std::span<const std::string_view> PlayerSettings::Languages()
{
    return kLanguages;
}
std::span<const std::string_view> PlayerSettings::Regions()
{
    return kRegions;
}
std::span<const std::string_view> PlayerSettings::Visualizers()
{
    return kVisualizers;
}
std::span<const PlayerSettings::WiFiNetwork> PlayerSettings::WiFiNetworks()
{
    return kWiFiNetworks;
}
std::span<const std::string_view> PlayerSettings::OptionNames()
{
    return kOptionNames;
}

PlayerSettings::PlayerSettings(std::string name) : friendly_name(std::move(name))
{
    for (const auto& option : kOptions)
        options_.emplace(std::string(option.name), std::string(option.initial));
}

std::optional<std::string> PlayerSettings::Option(std::string_view name) const
{
    auto it = options_.find(name);
    if (it == options_.end())
        return std::nullopt;
    return it->second;
}

bool PlayerSettings::SetOption(std::string_view name, std::string_view value)
{
    const OptionRule* rule = FindOption(name);
    if (!rule)
        return false;
    bool fits = false;
    if (!rule->words[0].empty()) {
        for (const auto word : rule->words)
            fits = fits || (!word.empty() && word == value);
    } else if (rule->max_number == 0) {
        fits = value == "0" || value == "1";
    } else {
        fits = ParseInt(value, 0, rule->max_number).has_value();
    }
    if (!fits)
        return false;
    options_[std::string(name)] = std::string(value);
    return true;
}

} // namespace velk::sim
