// "Number lookup": where callers' numbers are translated into names. The local address book is
// the only source there is (the others show, disabled, and so does their "Configure...");
// "Edit Numbers" edits the book in its own dialog, which writes the file on OK. Built by the
// page sheet; GUI thread only.
#pragma once

#include <memory>

#include <QObject>

#include "providers/callerid/tapi_settings_access.h"
#include "ui/rendered_property_page.h"

class QPushButton;

namespace velk {

class CTAPIXlatorConfigPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 3702;

    // The page record for the provider owner (an ITapiSettings).
    static HPROPSHEETPAGE Record(const UnknownPtr& owner);

    CTAPIXlatorConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;

private:
    const std::shared_ptr<ITapiSettings> settings_;
    QPushButton* edit_numbers_;
    QObject connections_;
};

} // namespace velk
