#include "providers/callerid/tapi_xlator_config_page.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "providers/callerid/edit_numbers_dialog.h"
#include "providers/callerid/tapi_strings.h"

namespace velk {

HPROPSHEETPAGE CTAPIXlatorConfigPage::Record(const UnknownPtr& owner)
{
    PropSheetPage record;
    record.title = tapi::kLookupPageTitle;
    record.template_id = kDialogId;
    record.lParam = owner;
    return PageRecord<CTAPIXlatorConfigPage>(std::move(record));
}

CTAPIXlatorConfigPage::CTAPIXlatorConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      settings_(std::dynamic_pointer_cast<ITapiSettings>(page.lParam)),
      edit_numbers_(new QPushButton(QString::fromUtf8(tapi::kEditNumbersText), window))
{
    edit_numbers_->setObjectName("edit_numbers");
    auto* group = new QGroupBox(QString::fromUtf8(tapi::kTranslateGroup), window);
    auto* local = new QRadioButton(QString::fromUtf8(tapi::kStoreLocally), group);
    auto* database = new QRadioButton(QString::fromUtf8(tapi::kDatabaseQuery), group);
    auto* mailbox = new QRadioButton(QString::fromUtf8(tapi::kMailboxSource), group);
    local->setObjectName("local");
    database->setObjectName("database");
    mailbox->setObjectName("mailbox");
    local->setChecked(true);
    database->setEnabled(false);
    mailbox->setEnabled(false);
    auto* configure = new QPushButton(QString::fromUtf8(tapi::kConfigureText), group);
    configure->setObjectName("configure");
    configure->setEnabled(false);

    auto* local_row = new QHBoxLayout;
    local_row->addWidget(local);
    local_row->addStretch();
    edit_numbers_->setParent(group);
    local_row->addWidget(edit_numbers_);
    auto* other_row = new QHBoxLayout;
    auto* others = new QVBoxLayout;
    others->addWidget(database);
    others->addWidget(mailbox);
    other_row->addLayout(others);
    other_row->addStretch();
    other_row->addWidget(configure);
    auto* group_layout = new QVBoxLayout(group);
    group_layout->addLayout(local_row);
    group_layout->addLayout(other_row);

    auto* layout = new QVBoxLayout(window);
    layout->addWidget(group);
    layout->addStretch();
}

std::intptr_t CTAPIXlatorConfigPage::OnInitDialog()
{
    QObject::connect(edit_numbers_, &QPushButton::clicked, &connections_, [this] {
        const std::string path = settings_ ? settings_->AddressBookPath() : AddressBook::DefaultPath();
        CRenderedDialog::DoModal<CEditNumbersDialog>(sheet().window(), 0, path);
    });
    return 1;
}

} // namespace velk
