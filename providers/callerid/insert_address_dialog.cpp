#include "providers/callerid/insert_address_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "providers/callerid/tapi_strings.h"

namespace velk {

namespace {

// What a field may hold, as a line of the modem could (the longest line it reads).
constexpr int kMaxFieldChars = 256;

} // namespace

CInsertAddressDialog::CInsertAddressDialog(QDialog* window, AddressEntry& entry)
    : CRenderedDialog(window), entry_(entry), number_(new QLineEdit(window)), name_(new QLineEdit(window))
{
    window->setWindowTitle(QString::fromUtf8(tapi::kInsertAddressTitle));
    number_->setObjectName("number");
    name_->setObjectName("name");
    number_->setMaxLength(kMaxFieldChars);
    name_->setMaxLength(kMaxFieldChars);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, window);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
    auto* layout = new QFormLayout(window);
    layout->addRow(QString::fromUtf8(tapi::kNumberLabel), number_);
    layout->addRow(QString::fromUtf8(tapi::kNameLabel), name_);
    layout->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &connections_, [this] { EndDialog(IDCANCEL); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &connections_, [this] {
        if (number_->text().trimmed().isEmpty()) {
            number_->setFocus();
            return;
        }
        entry_ = {number_->text().trimmed().toStdString(), name_->text().toStdString()};
        EndDialog(IDOK);
    });
}

std::intptr_t CInsertAddressDialog::OnInitDialog(std::intptr_t)
{
    number_->setText(QString::fromStdString(entry_.number));
    name_->setText(QString::fromStdString(entry_.name));
    return 1;
}

} // namespace velk
