// The news-feed module (velkrss.so): the news-feed provider, the generic renderer, and the
// category in which feed renderers register.
#include "platform/module.h"
#include "providers/rss/generic_rss_renderer.h"
#include "providers/rss/velk_rss_server.h"

namespace velk {
namespace {

std::span<const ModuleClass> Classes()
{
    static const ModuleClass kClasses[] = {
        {{CLSID_VelkRSSServer, "Velk RSS Newsfeed Server", "", "",
          {CATID_VelkSynchronousDataServices}},
         [] { return UnknownPtr(std::static_pointer_cast<IVelkDataObject>(
                  std::make_shared<CVelkRSSServer>())); }},
        {{CLSID_GenericRSSRenderer, "Generic RSS Renderer", "", "", {CATID_VelkRSSParsers}},
         [] { return UnknownPtr(std::static_pointer_cast<IRSSRenderer>(
                  std::make_shared<CGenericRSSRenderer>())); }},
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
