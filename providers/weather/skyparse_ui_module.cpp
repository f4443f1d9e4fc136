// The weather module's companion (skyparse_ui.so): the weather renderer's settings page.
#include "providers/common/companion_module.h"
#include "providers/weather/weather_config_page.h"

namespace velk {
namespace {

HRESULT CreatePages(const UnknownPtr& owner, std::vector<HPROPSHEETPAGE>& pages)
{
    auto settings = std::dynamic_pointer_cast<IWeatherRendererSettings>(owner);
    if (!settings)
        return E_NOINTERFACE;
    pages.push_back(CYahooConfigPage::Record(owner, settings->WizardMode()));
    return S_OK;
}

} // namespace
} // namespace velk

VELK_DEFINE_COMPANION_MODULE(velk::CreatePages)
