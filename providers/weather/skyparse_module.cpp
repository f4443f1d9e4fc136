// The weather module (skyparse.so): the weather renderers (weather feeds, and the live
// source), registered among the feed renderers.
#include "platform/module.h"
#include "providers/weather/weather_renderer.h"

namespace velk {
namespace {

std::span<const ModuleClass> Classes()
{
    static const ModuleClass kClasses[] = {
        {{CLSID_YahooWeatherRSSParser, "Yahoo Weather RSS Parser", "", "", {CATID_VelkRSSParsers}},
         [] { return UnknownPtr(std::static_pointer_cast<IRSSRenderer>(
                  std::make_shared<CRSSParser>())); }},
        {{CLSID_OpenMeteoWeatherRenderer, "Open-Meteo Weather Renderer", "", "", {CATID_VelkRSSParsers}},
         [] { return UnknownPtr(std::static_pointer_cast<IRSSRenderer>(
                  std::make_shared<COpenMeteoRenderer>())); }},
    };
    return kClasses;
}

std::span<const ModuleCategory> Categories()
{
    static const ModuleCategory kCategories[] = {{CATID_VelkRSSParsers, kVelkRSSParsersDescription}};
    return kCategories;
}

} // namespace
} // namespace velk

VELK_DEFINE_MODULE_WITH_CATEGORIES(velk::Classes, velk::Categories)
