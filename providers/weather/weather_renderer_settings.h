// What the weather renderer's settings page reads and stores besides the renderer contract:
// the settings themselves, the player model the renderer was initialised with (it decides how
// many items fit), whether the pages are shown in the add-feed wizard, and which source the
// renderer reads. GUI thread.
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
    // The live source: the location is a place (a name looked up, or coordinates).
    virtual bool LiveSource() const = 0;
};

} // namespace velk
