#include "shell/velk_property_pages.h"

#include "platform/reg_key.h"
#include "platform/service_unit.h"
#include "shell/advanced_page.h"

namespace velk {

namespace {

// The record of a page that exists so far; null for the others.
HPROPSHEETPAGE RecordOf(PlayerPage page, const UnknownPtr& owner)
{
    switch (page) {
    case PlayerPage::Advanced:
        return CAdvancedPage::Record(owner);
    default:
        return nullptr;
    }
}

} // namespace

std::vector<PlayerPage> PlayerPages(bool administrator, bool service_installed)
{
    std::vector<PlayerPage> pages = {PlayerPage::NowPlaying, PlayerPage::Presets, PlayerPage::Advanced};
    if (administrator) {
        pages.push_back(PlayerPage::iTunesUpdate);
        if (service_installed)
            pages.push_back(PlayerPage::DataServices);
    }
    return pages;
}

bool IsUserAnAdmin()
{
    RegKey key;
    return SUCCEEDED(key.Create(Hive::LocalMachine, "SOFTWARE"));
}

HRESULT CVelkPropertyPages::Initialize(const std::shared_ptr<IDataObject>& data_object)
{
    if (!data_object)
        return E_INVALIDARG;
    data_object_ = data_object;
    return S_OK;
}

HRESULT CVelkPropertyPages::AddPages(const AddPropSheetPageFn& add_page)
{
    const bool administrator = IsUserAnAdmin();
    const bool service = administrator && IsServiceUnitInstalled();
    HRESULT hr = S_OK;
    for (const PlayerPage page : PlayerPages(administrator, service)) {
        const HPROPSHEETPAGE record = RecordOf(page, std::static_pointer_cast<IShellPropSheetExt>(shared_from_this()));
        if (!record)
            continue;
        hr = add_page(record) ? S_OK : E_FAIL;
    }
    return hr;
}

} // namespace velk
