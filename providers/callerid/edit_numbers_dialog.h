// "Edit Numbers": the address book's entries by number and name, with "Add..." and "Edit..."
// (each through "Insert Address", asking before a number's name is replaced) and "Delete..."
// (after asking). OK writes the book to its file; Cancel leaves the file as it was. GUI thread.
#pragma once

#include <string>

#include <QObject>

#include "providers/callerid/address_book.h"
#include "ui/rendered_dialog.h"

class QPushButton;
class QTreeWidget;

namespace velk {

class CEditNumbersDialog : public CRenderedDialog {
public:
    CEditNumbersDialog(QDialog* window, std::string path);

    std::intptr_t OnInitDialog(std::intptr_t lParam) override;

private:
    void Fill(std::string_view current);
    void Add();
    void Edit();
    void Delete();
    void Save();
    // Whether the number may take the name: not mapped yet, or the user lets it be replaced.
    bool MayMap(std::string_view number);

    const std::string path_;
    AddressBook book_;
    QTreeWidget* list_;
    QPushButton* edit_;
    QPushButton* delete_;
    QObject connections_;
};

} // namespace velk
