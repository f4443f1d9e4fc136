// "Insert Address": a telephone number and the name displayed for it. OK only with a number.
// GUI thread.
#pragma once

#include <QObject>

#include "providers/callerid/address_book.h"
#include "ui/rendered_dialog.h"

class QLineEdit;

namespace velk {

class CInsertAddressDialog : public CRenderedDialog {
public:
    // entry: what the fields start with; it holds what they hold when the dialog ends with OK.
    CInsertAddressDialog(QDialog* window, AddressEntry& entry);

    std::intptr_t OnInitDialog(std::intptr_t lParam) override;

private:
    AddressEntry& entry_;
    QLineEdit* number_;
    QLineEdit* name_;
    QObject connections_;
};

} // namespace velk
