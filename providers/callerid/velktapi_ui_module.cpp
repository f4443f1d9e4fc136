// The caller-ID module's companion (velktapi_ui.so): the pages "Call logging" and "Number
// lookup", and through the latter the address book's dialogs.
#include "providers/callerid/tapi_log_config_page.h"
#include "providers/callerid/tapi_xlator_config_page.h"
#include "providers/common/companion_module.h"

namespace velk {
namespace {

HRESULT CreatePages(const UnknownPtr& owner, std::vector<HPROPSHEETPAGE>& pages)
{
    if (!std::dynamic_pointer_cast<ITapiSettings>(owner))
        return E_NOINTERFACE;
    pages.push_back(CTAPILogConfigPage::Record(owner));
    pages.push_back(CTAPIXlatorConfigPage::Record(owner));
    return S_OK;
}

} // namespace
} // namespace velk

VELK_DEFINE_COMPANION_MODULE(velk::CreatePages)
