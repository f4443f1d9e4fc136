#include "renderfold/renderer_property_sheet.h"

#include <QMessageBox>

#include "platform/shell_handlers.h"
#include "renderfold/association_classes.h"
#include "renderfold/last_change.h"
#include "ui/property_sheet.h"

namespace velk {

HRESULT ShowRendererProperties(const std::shared_ptr<IMediaRenderer>& item, QWidget* parent,
                               std::vector<std::string> classes)
{
    if (!item)
        return E_INVALIDARG;
    UPnPDeviceInfo device;
    item->get_UPnPDevice(device);
    PropertySheet sheet(QString::fromStdString(ShownText(device.friendly_name)) + " Properties", parent);
    const auto data = std::make_shared<CPidlDataObject>(std::vector<std::shared_ptr<IMediaRenderer>>{item});
    if (classes.empty())
        classes = AssociationClasses(device.manufacturer);
    int handlers = 0;
    for (const std::string& association : classes)
        handlers += AddShellPropertyPages(association, data, sheet.adder());
    if (handlers == 0) {
        QMessageBox::warning(parent, "Media Players",
                             "Unable to retrieve device properties: no property pages are registered "
                             "for this device.");
        return E_FAIL;
    }
    sheet.Run();
    return S_OK;
}

} // namespace velk
