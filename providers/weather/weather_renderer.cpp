#include "providers/weather/weather_renderer.h"

#include "automation/picture.h"
#include "platform/ascii.h"
#include "providers/common/companion_module.h"
#include "providers/weather/open_meteo.h"
#include "providers/weather/weather_icons.h"
#include "providers/weather/weather_report.h"
#include "providers/weather/weather_screens.h"

namespace velk {

namespace {

// An address inside this module, for finding its companion.
void ModuleAnchor() {}

HRESULT Draw(IVelkDevice& player, const WeatherDrawing& drawing, int icon_size)
{
    if (drawing.kind == WeatherDrawing::Kind::Icon) {
        Bitmap icon = WeatherIcon(drawing.code, icon_size);
        if (icon.empty())
            return S_OK;
        auto picture = std::make_shared<CPicture>(std::move(icon));
        return player.DrawPicture(drawing.x, drawing.y,
                                  Variant(UnknownPtr(std::static_pointer_cast<IPicture>(picture))));
    }
    HRESULT hr = player.Sketch(SketchVerbs::SketchFont,
                               Variant(static_cast<std::int16_t>(drawing.font)), {}, {}, {}, {}, {});
    if (FAILED(hr))
        return hr;
    return player.Sketch(SketchVerbs::SketchText, Variant(static_cast<std::int16_t>(drawing.x)),
                         Variant(static_cast<std::int16_t>(drawing.y)), Variant(drawing.text), {},
                         {}, {});
}

} // namespace

const Dispatcher<CRSSParser>& CRSSParser::Dispatch()
{
    static const auto dispatcher =
        DispatchBuilder<CRSSParser>("IRSSRenderer")
            .Property("URL", 0, &CRSSParser::get_URL, &CRSSParser::put_URL)
            .Get("IsConfigurable", 1, &CRSSParser::get_IsConfigurable)
            .Get("Namespaces", 6, &CRSSParser::get_Namespaces)
            .Method("Initialize", 9, &CRSSParser::Initialize, {"bstrDeviceUDN", "bstrDeviceType"})
            .Build();
    return dispatcher;
}

CRSSParser::CRSSParser()
{
    settings_.units = DefaultWeatherUnits();
}

HRESULT CRSSParser::get_URL(std::string& url)
{
    url = WeatherFeedUrl(WeatherFeedHost(), settings_);
    return S_OK;
}

HRESULT CRSSParser::put_URL(std::string_view)
{
    // The address always follows from the location and the units.
    return E_NOTIMPL;
}

HRESULT CRSSParser::get_IsConfigurable(bool& configurable)
{
    configurable = true;
    return S_OK;
}

HRESULT CRSSParser::Save(IStream& stream)
{
    return WriteWeatherSettings(stream, settings_);
}

HRESULT CRSSParser::Load(IStream& stream)
{
    return ReadWeatherSettings(stream, settings_);
}

HRESULT CRSSParser::AddPages(const AddPropSheetPageFn& lpfnAddPage, bool bWizardMode)
{
    wizard_mode_ = bWizardMode;
    return CompanionModule::AddPages(lpfnAddPage, reinterpret_cast<const void*>(&ModuleAnchor),
                                     std::static_pointer_cast<IRSSRenderer>(shared_from_this()));
}

HRESULT CRSSParser::Render(const std::shared_ptr<IVelkDevice>& iDevice, const UnknownPtr& lpunkNode)
{
    auto item = std::dynamic_pointer_cast<IXMLDOMNode>(lpunkNode);
    if (!item)
        return E_NOINTERFACE;
    if (!iDevice)
        return E_POINTER;
    IVelkDevice& player = *iDevice;
    std::string udn;
    player.get_UDN(udn);
    auto screen = next_screen_.find(udn);
    if (screen == next_screen_.end()) {
        if (next_screen_.size() >= kMaxPlayers)
            next_screen_.erase(next_screen_.begin());
        screen = next_screen_.emplace(udn, 1).first;
    }
    const bool forecast = screen->second == 1;
    screen->second = forecast ? 0 : 1;

    HRESULT hr = player.Sketch(SketchVerbs::SketchClear, {}, {}, {}, {}, {}, {});
    if (FAILED(hr))
        return hr;
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::string device_type;
    player.ScreenSize(width, height);
    player.get_DeviceType(device_type);
    const WeatherGeometry geometry = GeometryOf(width, height, device_type);
    const WeatherReport report = ReadWeatherReport(*item);

    std::vector<WeatherDrawing> drawings;
    if (forecast) {
        hr = ForecastScreen(report, geometry, drawings);
        if (FAILED(hr))
            return hr;
    } else {
        drawings = ConditionsScreen(report, settings_.units, settings_.items, geometry);
    }
    for (const auto& drawing : drawings) {
        hr = Draw(player, drawing, geometry.icon_size);
        if (FAILED(hr))
            return hr;
    }
    return hr;
}

HRESULT CRSSParser::get_Namespaces(std::string& namespaces)
{
    namespaces = std::string("xmlns:yweather='") + kYWeatherNamespace + "' xmlns:geo='" +
                 kGeoNamespace + "'";
    return S_OK;
}

HRESULT CRSSParser::get_Username(std::string&)
{
    return E_NOTIMPL;
}

HRESULT CRSSParser::get_Password(std::string&)
{
    return E_NOTIMPL;
}

HRESULT CRSSParser::Initialize(std::string_view, std::string_view bstrDeviceType)
{
    model_ = std::string(bstrDeviceType);
    // The model's room for items decides: none where weather is not shown, the three items
    // that fit where there is less room than the default.
    const int room = MaxWeightedItems(model_);
    if (room == 0)
        return E_FAIL;
    if (room < WeightedItemCount(kDefaultWeatherItems))
        settings_.items = kItemPressure | kItemTemperature | kItemWindSpeed;
    else if (EqualsIgnoringCase(model_, "KD-40"))
        settings_.items = kDefaultWeatherItems;
    return S_OK;
}

HRESULT COpenMeteoRenderer::get_URL(std::string& url)
{
    url = OpenMeteoUrl(ForecastServiceUrl(), Settings());
    return S_OK;
}

HRESULT COpenMeteoRenderer::Translate(const HttpResponse& answer, std::string& rss,
                                      std::string& reason)
{
    return TranslateOpenMeteo(answer.body, Settings(), answer.expires,
                              std::chrono::system_clock::now(), rss, reason);
}

} // namespace velk
