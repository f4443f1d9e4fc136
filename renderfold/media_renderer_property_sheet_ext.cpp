#include "renderfold/media_renderer_property_sheet_ext.h"

#include "renderfold/control_page.h"
#include "renderfold/status_page.h"
#include "renderfold/upnp_page.h"
#include "renderfold/view_options_page.h"

namespace velk {

const Guid CLSID_MediaRendererPropertySheetExt = *Guid::Parse("{04C88905-8571-40FE-A1A3-19FF1DD4D836}");

HRESULT CMediaRendererPropertySheetExt::Initialize(const std::shared_ptr<IDataObject>& data_object)
{
    if (!data_object || data_object->Items().empty())
        return E_INVALIDARG;
    item_ = data_object->Items().front();
    return S_OK;
}

HRESULT CMediaRendererPropertySheetExt::AddPages(const AddPropSheetPageFn& add_page)
{
    if (!item_)
        return E_UNEXPECTED;
    add_page(CUPnPPage::Record(item_));
    if (auto renderer = std::dynamic_pointer_cast<CMediaRenderer>(item_)) {
        add_page(CStatusPage::Record(renderer));
        add_page(CControlPage::Record(renderer));
    }
    add_page(CViewOptionsPage::Record());
    return S_OK;
}

} // namespace velk
