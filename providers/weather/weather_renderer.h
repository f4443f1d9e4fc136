// The weather renderer: builds a weather feed's address from a location and a unit system, and
// draws the feed's item as two screens that alternate on each player (the two-day forecast,
// then the current conditions with the chosen data items). Created by class id from the
// weather module; used on the thread that created it.
#pragma once

#include <map>
#include <string>

#include "automation/dispatch.h"
#include "providers/weather/weather_renderer_settings.h"
#include "providers/weather/weather_settings.h"
#include "providers/rss/feed_translator.h"
#include "velk/rss_renderer.h"

namespace velk {

// {D04FFFC0-C5A2-4239-A151-D731045776C4}
constexpr Guid CLSID_YahooWeatherRSSParser{
    0xD04FFFC0, 0xC5A2, 0x4239, {0xA1, 0x51, 0xD7, 0x31, 0x04, 0x57, 0x76, 0xC4}};

inline constexpr const char* kYWeatherNamespace = "http://xml.weather.yahoo.com/ns/rss/1.0";
inline constexpr const char* kGeoNamespace = "http://www.w3.org/2003/01/geo/wgs84_pos#";

class CRSSParser : public DispatchImpl<CRSSParser, IRSSRenderer>,
                   public IWeatherRendererSettings,
                   public std::enable_shared_from_this<CRSSParser> {
public:
    // Players remembered for the alternation; beyond this the oldest memory is dropped.
    static constexpr std::size_t kMaxPlayers = 1024;

    static const Dispatcher<CRSSParser>& Dispatch();

    CRSSParser();

    HRESULT get_URL(std::string& url) override;
    HRESULT put_URL(std::string_view url) override;
    HRESULT get_IsConfigurable(bool& configurable) override;
    HRESULT Save(IStream& stream) override;
    HRESULT Load(IStream& stream) override;
    HRESULT AddPages(const AddPropSheetPageFn& lpfnAddPage, bool bWizardMode) override;
    HRESULT Render(const std::shared_ptr<IVelkDevice>& iDevice,
                   const UnknownPtr& lpunkNode) override;
    HRESULT get_Namespaces(std::string& namespaces) override;
    HRESULT get_Username(std::string& username) override;
    HRESULT get_Password(std::string& password) override;
    HRESULT Initialize(std::string_view bstrDeviceUDN, std::string_view bstrDeviceType) override;

    const WeatherSettings& Settings() const override { return settings_; }
    void SetSettings(WeatherSettings settings) override { settings_ = std::move(settings); }
    const std::string& Model() const override { return model_; }
    bool WizardMode() const override { return wizard_mode_; }
    bool LiveSource() const override { return false; }

private:
    WeatherSettings settings_;
    std::string model_;
    bool wizard_mode_ = false;
    // The screen each player is shown next: 1 the forecast, 0 the conditions.
    std::map<std::string, int> next_screen_;
};

// {B1C0D5E7-EA8B-427E-9CCA-D85F4EBA8B0F}
constexpr Guid CLSID_OpenMeteoWeatherRenderer{
    0xB1C0D5E7, 0xEA8B, 0x427E, {0x9C, 0xCA, 0xD8, 0x5F, 0x4E, 0xBA, 0x8B, 0x0F}};

// The same two screens from a live weather service (open_meteo.h): the location is a place,
// and each answer becomes the feed document the screens are drawn from.
class COpenMeteoRenderer : public CRSSParser, public IFeedTranslator {
public:
    HRESULT get_URL(std::string& url) override;
    bool LiveSource() const override { return true; }
    HRESULT Translate(const HttpResponse& answer, std::string& rss, std::string& reason) override;
};

} // namespace velk
