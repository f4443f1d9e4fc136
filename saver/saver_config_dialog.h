// The screen saver's settings dialog: the computer that runs the service (this one or another
// by name) and the player, listed from that service with a progress dialog while they are read;
// OK saves them (SaverSettings), Cancel leaves them. GUI thread only; lives as long as its
// dialog (CRenderedDialog::DoModal).
#pragma once

#include <QObject>

#include "ui/rendered_dialog.h"

namespace velk {

class CConnectionChooser;

class CSaverConfigDialog : public CRenderedDialog {
public:
    static constexpr const char* kCaption = "Velk Screen Saver";
    static constexpr const char* kNoDataServer = "No data server found on %1";
    static constexpr const char* kRetrieving = "Retrieving devices...";

    explicit CSaverConfigDialog(QDialog* window);

    std::intptr_t OnInitDialog(std::intptr_t lParam) override;

private:
    // Lists the chosen server's players; `udn` selected when given. Tells the user when the
    // service cannot be reached.
    void FillPlayers(const QString& udn = QString());
    // False (and the user told why) when the settings could not be written.
    bool Save();

    CConnectionChooser* chooser_;
    QObject connections_;
};

} // namespace velk
