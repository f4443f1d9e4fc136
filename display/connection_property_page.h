// The mirror's "Connection" page: which computer's data service (this one or another, by
// name) and which of its players a CVelkDisplay shows, the players listed by name from that
// service with the chosen one's UDN beside. Apply gives the choice to the widget; the page
// cannot be left without a player. Built by the sheet when first shown; GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>

#include "display/velk_display.h"
#include "ui/rendered_property_page.h"

namespace velk {

class CConnectionChooser;

class CConnectionPropertyPage : public CRenderedPropertyPage {
public:
    static constexpr const char* kTitle = "Connection";
    static constexpr const char* kPleaseSelect = "Please select a device ";
    static constexpr int kDialogId = 100;

    // The page record for a widget; the page edits nothing once the widget has gone.
    static HPROPSHEETPAGE Record(CVelkDisplay& display);

    CConnectionPropertyPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnKillActive() override;
    std::intptr_t OnApply() override;

private:
    const QPointer<CVelkDisplay> display_;
    CConnectionChooser* chooser_;
    // The context of the chooser's connections: they end with the page object.
    QObject connections_;
};

} // namespace velk
