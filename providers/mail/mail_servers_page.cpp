#include "providers/mail/mail_servers_page.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "providers/mail/add_mail_server_type_page.h"
#include "providers/mail/mail_server_draft.h"
#include "providers/mail/mail_strings.h"
#include "providers/mail/pop3_config_page.h"
#include "ui/property_sheet.h"
#include "ui/wizard.h"

namespace velk {

HPROPSHEETPAGE CMailServersPage::Record(const UnknownPtr& owner)
{
    PropSheetPage record;
    record.title = kMailServersTitle;
    record.template_id = kDialogId;
    record.lParam = owner;
    return PageRecord<CMailServersPage>(std::move(record));
}

CMailServersPage::CMailServersPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      settings_(std::dynamic_pointer_cast<IMailServerSettings>(page.lParam)),
      list_(new QTreeWidget(window)), add_(new QPushButton("Add...", window)),
      delete_(new QPushButton("Delete...", window)), configure_(new QPushButton("&Configure...", window))
{
    list_->setObjectName("servers");
    add_->setObjectName("add");
    delete_->setObjectName("delete");
    configure_->setObjectName("configure");
    list_->setHeaderLabels({QString::fromUtf8(kNameColumn), QString::fromUtf8(kTypeColumn)});
    list_->setRootIsDecorated(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (auto* button : {add_, delete_, configure_})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(list_);
    layout->addLayout(buttons);
}

std::intptr_t CMailServersPage::OnInitDialog()
{
    Fill(0);
    QObject::connect(add_, &QPushButton::clicked, &connections_, [this] { Add(); });
    QObject::connect(delete_, &QPushButton::clicked, &connections_, [this] { Delete(); });
    QObject::connect(configure_, &QPushButton::clicked, &connections_, [this] { Configure(); });
    QObject::connect(list_, &QTreeWidget::currentItemChanged, &connections_, [this] {
        delete_->setEnabled(Selected() >= 0);
        configure_->setEnabled(Selected() >= 0);
    });
    return 1;
}

void CMailServersPage::Fill(int selected)
{
    list_->clear();
    const auto servers = settings_ ? settings_->Servers() : std::vector<MailServerSettings>{};
    for (const auto& server : servers)
        new QTreeWidgetItem(list_, {QString::fromStdString(server.host), QString::fromUtf8(kPop3Type)});
    if (selected >= 0 && selected < list_->topLevelItemCount())
        list_->setCurrentItem(list_->topLevelItem(selected));
    delete_->setEnabled(Selected() >= 0);
    configure_->setEnabled(Selected() >= 0);
}

int CMailServersPage::Selected() const
{
    auto* item = list_->currentItem();
    return item ? list_->indexOfTopLevelItem(item) : -1;
}

void CMailServersPage::Add()
{
    if (!settings_)
        return;
    auto draft = std::make_shared<MailServerDraft>();
    Wizard wizard(sheet().window());
    wizard.adder()(CAddMailServerWizardTypePage::Record(draft));
    wizard.adder()(CPOP3ConfigPage::Record(draft));
    if (wizard.Run() != 1 || !draft->applied)
        return;
    settings_->AddServer(draft->settings);
    Fill(list_->topLevelItemCount());
    sheet().Changed(*this);
}

void CMailServersPage::Delete()
{
    const int index = Selected();
    if (!settings_ || index < 0)
        return;
    if (QMessageBox::question(sheet().window(), QString::fromUtf8(kMailCaption),
                              QString::fromUtf8(kConfirmDelete)) != QMessageBox::Yes)
        return;
    settings_->DeleteServer(static_cast<std::size_t>(index));
    Fill(std::max(0, index - 1));
    sheet().Changed(*this);
}

void CMailServersPage::Configure()
{
    const int index = Selected();
    if (!settings_ || index < 0)
        return;
    const auto servers = settings_->Servers();
    auto draft = std::make_shared<MailServerDraft>(servers[static_cast<std::size_t>(index)]);
    PropertySheet account(QString::fromStdString(draft->settings.host), sheet().window());
    account.adder()(CPOP3ConfigPage::Record(draft));
    account.Run();
    if (!draft->applied)
        return;
    settings_->SetServer(static_cast<std::size_t>(index), draft->settings);
    Fill(index);
    sheet().Changed(*this);
}

} // namespace velk
