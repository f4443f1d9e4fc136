#include "renderfold/renderer_property_sheet.h"

#include <QMessageBox>

#include "platform/shell_handlers.h"
#include "renderfold/association_classes.h"
#include "renderfold/last_change.h"
#include "ui/property_sheet.h"

namespace velk {

HRESULT ShowRendererProperties(const std::shared_ptr<IMediaRenderer>& item, QWidget* parent)
{
    if (!item)
        return E_INVALIDARG;
    UPnPDeviceInfo device;
    item->get_UPnPDevice(device);
    PropertySheet sheet(QString::fromStdString(ShownText(device.friendly_name)) + " Properties", parent);
    const auto data = std::make_shared<CPidlDataObject>(std::vector<std::shared_ptr<IMediaRenderer>>{item});
    int pages = 0;
    const AddPropSheetPageFn add = sheet.adder();
    const AddPropSheetPageFn counting = [&](const HPROPSHEETPAGE& page) {
        const bool taken = add(page);
        pages += taken ? 1 : 0;
        return taken;
    };
    for (const std::string& association : AssociationClasses(device.manufacturer)) {
        std::vector<UnknownPtr> handlers;
        CreateShellHandlers(association, kPropertySheetHandlers, handlers);
        for (const auto& handler : handlers) {
            auto init = std::dynamic_pointer_cast<IShellExtInit>(handler);
            auto sheet_ext = std::dynamic_pointer_cast<IShellPropSheetExt>(handler);
            if (sheet_ext && (!init || SUCCEEDED(init->Initialize(data))))
                sheet_ext->AddPages(counting);
        }
    }
    if (pages == 0) {
        QMessageBox::warning(parent, "Media Players",
                             "Unable to retrieve device properties: no property pages are registered "
                             "(renderfold --regserver registers them).");
        return E_FAIL;
    }
    sheet.Run();
    return S_OK;
}

} // namespace velk
