// What the weather renderer's settings page reads and stores besides the renderer contract:
// the settings themselves, the player model the renderer was initialised with (it decides how
// many items fit), and whether the pages are shown in the add-feed wizard. GUI thread.
#pragma once

#include <string>

#include "providers/weather/weather_settings.h"

namespace velk {

class IWeatherRendererSettings {
public:
    virtual ~IWeatherRendererSettings() = default;
    virtual const WeatherSettings& Settings() const = 0;
    virtual void SetSettings(WeatherSettings settings) = 0;
    virtual const std::string& Model() const = 0;
    virtual bool WizardMode() const = 0;
};

} // namespace velk
