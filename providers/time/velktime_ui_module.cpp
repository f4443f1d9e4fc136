// The time provider's companion module (velktime_ui.so): its "Time Options" page.
#include "providers/common/companion_module.h"
#include "providers/time/time_config_page.h"

namespace velk {
namespace {

HRESULT CreatePages(const UnknownPtr& owner, std::vector<HPROPSHEETPAGE>& pages)
{
    pages.push_back(CTimeConfigPage::Record(owner));
    return S_OK;
}

} // namespace
} // namespace velk

VELK_DEFINE_COMPANION_MODULE(velk::CreatePages)
