#include "renderfold/view_options_page.h"

#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "renderfold/double_click_setting.h"
#include "renderfold/renderer_page_record.h"

namespace velk {

HPROPSHEETPAGE CViewOptionsPage::Record()
{
    return RendererPageRecord<CViewOptionsPage>("Media Renderers");
}

CViewOptionsPage::CViewOptionsPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page), web_page_(new QRadioButton("Open its &web page", window)),
      property_page_(new QRadioButton("Open its &property page", window))
{
    web_page_->setObjectName("web_page");
    property_page_->setObjectName("property_page");
}

std::intptr_t CViewOptionsPage::OnInitDialog()
{
    auto* layout = new QVBoxLayout(window());
    layout->addWidget(new QLabel("When double clicking a device:", window()));
    layout->addWidget(web_page_);
    layout->addWidget(property_page_);
    layout->addStretch();
    (DoubleClickOpensWebPage() ? web_page_ : property_page_)->setChecked(true);
    // Connected after filling: only the user's choice counts as a change.
    QObject::connect(web_page_, &QRadioButton::toggled, &connections_, [this] { sheet().Changed(*this); });
    return 1;
}

std::intptr_t CViewOptionsPage::OnApply()
{
    const HRESULT hr = SetDoubleClickOpensWebPage(web_page_->isChecked());
    if (FAILED(hr)) {
        QMessageBox::warning(window(), "Media Renderers",
                             QString("The setting could not be stored: %1").arg(QString::fromStdString(HResultMessage(hr))));
        return 0;
    }
    return 1;
}

} // namespace velk
