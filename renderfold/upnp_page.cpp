#include "renderfold/upnp_page.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

#include "renderfold/last_change.h"
#include "renderfold/renderer_commands.h"
#include "renderfold/renderer_icon.h"
#include "renderfold/renderer_page_record.h"

namespace velk {

namespace {

QString Shown(std::string_view text) { return QString::fromStdString(ShownText(text)); }

// The device's address: the host of its web page, else of its description.
QString DeviceAddress(const UPnPDeviceInfo& device)
{
    for (const std::string& url : {device.presentation_url, device.description_url}) {
        const QUrl parsed(QString::fromStdString(url));
        if (parsed.isValid() && !parsed.host().isEmpty())
            return Shown(parsed.host().toStdString());
    }
    return {};
}

QLabel* Selectable(QLabel* label)
{
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

HPROPSHEETPAGE CUPnPPage::Record(const std::shared_ptr<IMediaRenderer>& owner)
{
    return RendererPageRecord<CUPnPPage>("General", owner);
}

CUPnPPage::CUPnPPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page), renderer_(std::dynamic_pointer_cast<IMediaRenderer>(page.lParam))
{
}

std::intptr_t CUPnPPage::OnInitDialog()
{
    UPnPDeviceInfo device;
    if (renderer_)
        renderer_->get_UPnPDevice(device);

    auto* icon = new QLabel(window());
    icon->setPixmap(RendererIcon().pixmap(48, 48));
    auto* name = new QLabel(window());
    name->setObjectName("name");
    name->setTextFormat(Qt::RichText);
    name->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    name->setOpenExternalLinks(false);
    // The link carries no address of its own: activating it opens the device's page as checked.
    name->setText(QString("<a href=\"fire\">%1</a>").arg(Shown(device.friendly_name).toHtmlEscaped()));
    QObject::connect(name, &QLabel::linkActivated, &connections_, [this, device] {
        if (SUCCEEDED(OpenPresentationPage(device, window())))
            sheet().PressButton(PSBTN_OK);
    });

    auto* heading = new QVBoxLayout;
    heading->addWidget(Selectable(PlainLabel(window(), "manufacturer", Shown(device.manufacturer))));
    heading->addWidget(name);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(heading, 1);

    auto* details = new QFormLayout;
    details->addRow("Model Name:", Selectable(PlainLabel(window(), "model_name", Shown(device.model_name))));
    details->addRow("Model Number:", Selectable(PlainLabel(window(), "model_number", Shown(device.model_number))));
    details->addRow("Description:", Selectable(PlainLabel(window(), "description", Shown(device.model_description))));
    details->addRow("Device Address:", Selectable(PlainLabel(window(), "address", DeviceAddress(device))));

    auto* layout = new QVBoxLayout(window());
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addLayout(details);
    layout->addStretch();
    return 1;
}

} // namespace velk
