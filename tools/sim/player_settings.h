// The settings a player keeps across connections: name, options, region, time zone,
// language, Wi-Fi choice, visualizer and initial-setup state, with the fixed catalogues they
// choose from. A value type held by the Player.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velk::sim {

class PlayerSettings {
public:
    struct WiFiNetwork {
        std::string_view ssid;
        int quality; // percent
        int signal;  // dBm
        int noise;   // dBm
    };

    static std::span<const std::string_view> TimeZones();
    static std::span<const std::string_view> Languages();
    static std::span<const std::string_view> Regions();
    static std::span<const std::string_view> Visualizers();
    static std::span<const WiFiNetwork> WiFiNetworks();
    static std::span<const std::string_view> OptionNames();

    explicit PlayerSettings(std::string friendly_name);

    // The option's value; nullopt for an unknown option.
    std::optional<std::string> Option(std::string_view name) const;
    // Stores a value the option accepts; false for an unknown option or an unfit value.
    bool SetOption(std::string_view name, std::string_view value);

    std::string friendly_name;
    int time_zone = 0;
    int language = 0;
    int region = 0;
    int wifi_network = 0;
    std::string wifi_password;
    int visualizer = 0;
    std::string visualizer_mode = "off";
    bool setup_complete = true;
    bool terms_accepted = true;

private:
    std::map<std::string, std::string, std::less<>> options_;
};

} // namespace velk::sim
