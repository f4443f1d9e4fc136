#include "shell/velk_property_pages.h"

#include "platform/reg_key.h"
#include "platform/service_unit.h"
#include "shell/advanced_page.h"
#include "ui/data_services_page.h"

namespace velk {

namespace {

// The record of a page that exists so far, for the player's device; null for the others.
HPROPSHEETPAGE RecordOf(PlayerPage page, const UnknownPtr& owner, const UPnPDeviceInfo& device)
{
    switch (page) {
    case PlayerPage::Advanced:
        return CAdvancedPage::Record(owner);
    case PlayerPage::DataServices:
        return CVelkPage::Record(owner, device, PlayerHost(device.presentation_url).value_or(""));
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
    if (!data_object_ || data_object_->Items().empty() || !data_object_->Items().front())
        return E_INVALIDARG;
    UPnPDeviceInfo device;
    HRESULT hr = data_object_->Items().front()->get_UPnPDevice(device);
    if (FAILED(hr))
        return hr;
    const bool administrator = IsUserAnAdmin();
    const bool service = administrator && IsServiceUnitInstalled();
    const UnknownPtr owner = std::static_pointer_cast<IShellPropSheetExt>(shared_from_this());
    for (const PlayerPage page : PlayerPages(administrator, service)) {
        const HPROPSHEETPAGE record = RecordOf(page, owner, device);
        if (!record)
            continue;
        hr = add_page(record) ? S_OK : E_FAIL;
    }
    return hr;
}

} // namespace velk
