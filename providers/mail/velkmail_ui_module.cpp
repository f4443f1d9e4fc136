// The mail module's companion (velkmail_ui.so): the "Mail Servers" page and, through it, the
// add-account wizard and each account's settings.
#include "providers/common/companion_module.h"
#include "providers/mail/mail_servers_page.h"

namespace velk {
namespace {

HRESULT CreatePages(const UnknownPtr& owner, std::vector<HPROPSHEETPAGE>& pages)
{
    if (!std::dynamic_pointer_cast<IMailServerSettings>(owner))
        return E_NOINTERFACE;
    pages.push_back(CMailServersPage::Record(owner));
    return S_OK;
}

} // namespace
} // namespace velk

VELK_DEFINE_COMPANION_MODULE(velk::CreatePages)
