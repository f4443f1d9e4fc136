#include "display/connection_property_page.h"

#include <QComboBox>
#include <QMessageBox>
#include <QVBoxLayout>

#include "display/connection_chooser.h"

namespace velk {

namespace {

// The record's owner: the widget the page edits.
class EditedDisplay : public IUnknown {
public:
    explicit EditedDisplay(CVelkDisplay& edited) : display(&edited) {}
    const QPointer<CVelkDisplay> display;
};

QPointer<CVelkDisplay> DisplayOf(const PropSheetPage& page)
{
    const auto owner = std::dynamic_pointer_cast<EditedDisplay>(page.lParam);
    return owner ? owner->display : nullptr;
}

} // namespace

HPROPSHEETPAGE CConnectionPropertyPage::Record(CVelkDisplay& display)
{
    PropSheetPage record;
    record.title = kTitle;
    record.template_id = kDialogId;
    record.lParam = std::make_shared<EditedDisplay>(display);
    return PageRecord<CConnectionPropertyPage>(std::move(record));
}

CConnectionPropertyPage::CConnectionPropertyPage(QWidget* window, IPropertySheet& sheet,
                                                 const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page), display_(DisplayOf(page)),
      chooser_(new CConnectionChooser(window))
{
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(chooser_);
}

std::intptr_t CConnectionPropertyPage::OnInitDialog()
{
    if (display_) {
        chooser_->SetServer(display_->Server());
        chooser_->FillPlayers({}, display_->DeviceUDN());
    }
    QObject::connect(chooser_, &CConnectionChooser::serverChanged, &connections_,
                     [this] { chooser_->FillPlayers(); });
    QObject::connect(chooser_, &CConnectionChooser::changed, &connections_,
                     [this] { sheet().Changed(*this); });
    return 1;
}

std::intptr_t CConnectionPropertyPage::OnKillActive()
{
    if (!chooser_->DeviceUDN().isEmpty())
        return 1;
    QMessageBox::warning(sheet().window(), QString::fromUtf8(kTitle),
                         QString::fromUtf8(kPleaseSelect));
    chooser_->playerList()->setFocus();
    return 0;
}

std::intptr_t CConnectionPropertyPage::OnApply()
{
    if (!display_)
        return 1;
    if (chooser_->Server() != display_->Server())
        display_->setServer(chooser_->Server());
    display_->setDeviceUDN(chooser_->DeviceUDN());
    return 1;
}

} // namespace velk
