#include "providers/callerid/edit_numbers_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "providers/callerid/insert_address_dialog.h"
#include "providers/callerid/tapi_strings.h"

namespace velk {

namespace {

QString WithArgument(const char* format, std::string_view argument)
{
    return QString::fromUtf8(format).replace("%s", QString::fromUtf8(argument.data(), static_cast<int>(argument.size())));
}

bool Ask(QWidget* parent, const QString& question)
{
    return QMessageBox::question(parent, QString::fromUtf8(tapi::kTitle), question) == QMessageBox::Yes;
}

} // namespace

CEditNumbersDialog::CEditNumbersDialog(QDialog* window, std::string path)
    : CRenderedDialog(window), path_(std::move(path)), list_(new QTreeWidget(window)),
      edit_(new QPushButton(QString::fromUtf8(tapi::kEditText), window)),
      delete_(new QPushButton(QString::fromUtf8(tapi::kDeleteText), window))
{
    window->setWindowTitle(QString::fromUtf8(tapi::kEditNumbersTitle));
    list_->setObjectName("numbers");
    list_->setHeaderLabels({QString::fromUtf8(tapi::kNumberColumn), QString::fromUtf8(tapi::kNameColumn)});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* add = new QPushButton(QString::fromUtf8(tapi::kAddText), window);
    add->setObjectName("add");
    edit_->setObjectName("edit");
    delete_->setObjectName("delete");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, window);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (auto* button : {add, edit_, delete_})
        row->addWidget(button);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(list_);
    layout->addLayout(row);
    layout->addWidget(buttons);

    QObject::connect(add, &QPushButton::clicked, &connections_, [this] { Add(); });
    QObject::connect(edit_, &QPushButton::clicked, &connections_, [this] { Edit(); });
    QObject::connect(delete_, &QPushButton::clicked, &connections_, [this] { Delete(); });
    QObject::connect(list_, &QTreeWidget::itemSelectionChanged, &connections_, [this] {
        edit_->setEnabled(list_->selectedItems().size() == 1);
        delete_->setEnabled(!list_->selectedItems().isEmpty());
    });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &connections_, [this] { Save(); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &connections_, [this] { EndDialog(IDCANCEL); });
}

std::intptr_t CEditNumbersDialog::OnInitDialog(std::intptr_t)
{
    // A file that is no address book shows as an empty one; OK then replaces it.
    book_.Load(path_);
    Fill({});
    return 1;
}

void CEditNumbersDialog::Fill(std::string_view current)
{
    list_->clear();
    for (const auto& entry : book_.entries()) {
        auto* item = new QTreeWidgetItem(list_, {QString::fromStdString(entry.number), QString::fromStdString(entry.name)});
        if (entry.number == current)
            list_->setCurrentItem(item);
    }
    edit_->setEnabled(list_->selectedItems().size() == 1);
    delete_->setEnabled(!list_->selectedItems().isEmpty());
}

bool CEditNumbersDialog::MayMap(std::string_view number)
{
    return !book_.Lookup(number) || Ask(window(), QString::fromUtf8(tapi::kOverwrite));
}

void CEditNumbersDialog::Add()
{
    AddressEntry entry;
    if (DoModal<CInsertAddressDialog>(window(), 0, entry) != IDOK || !MayMap(entry.number))
        return;
    book_.Set(entry.number, entry.name);
    Fill(entry.number);
}

void CEditNumbersDialog::Edit()
{
    const auto selected = list_->selectedItems();
    if (selected.size() != 1)
        return;
    const std::string number = selected[0]->text(0).toStdString();
    AddressEntry entry{number, selected[0]->text(1).toStdString()};
    if (DoModal<CInsertAddressDialog>(window(), 0, entry) != IDOK)
        return;
    if (entry.number != number && !MayMap(entry.number))
        return;
    book_.Replace(number, entry.number, entry.name);
    Fill(entry.number);
}

void CEditNumbersDialog::Delete()
{
    const auto selected = list_->selectedItems();
    if (selected.isEmpty())
        return;
    const QString question = selected.size() == 1
                                 ? WithArgument(tapi::kDeleteOne, selected[0]->text(0).toStdString())
                                 : QString::fromUtf8(tapi::kDeleteSeveral);
    if (!Ask(window(), question))
        return;
    for (const auto* item : selected)
        book_.Remove(item->text(0).toStdString());
    Fill({});
}

void CEditNumbersDialog::Save()
{
    if (FAILED(book_.Save(path_))) {
        QMessageBox::warning(window(), QString::fromUtf8(tapi::kTitle), WithArgument(tapi::kSaveFailed, path_));
        return;
    }
    EndDialog(IDOK);
}

} // namespace velk
