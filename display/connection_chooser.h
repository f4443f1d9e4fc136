// The controls that choose a data service and one of its players, as the mirror's connection
// page and the screen saver's dialog show them: "Server" (this computer, or another by name),
// the players by name with "(Please select a device)" first, and the chosen player's UDN.
// GUI thread only; owned by its parent widget.
#pragma once

#include <vector>

#include <QWidget>

#include "display/player_list.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace velk {

class CConnectionChooser : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* kPleaseSelect = "(Please select a device)";

    explicit CConnectionChooser(QWidget* parent = nullptr);

    // Empty: this computer.
    void SetServer(const QString& server);
    // The edit's text with "Another" checked, empty with "Local Computer".
    QString Server() const;
    // The list becomes "(Please select a device)" and the players, with the one of `udn`
    // selected (the first entry when it is not there).
    void SetPlayers(const std::vector<PlayerEntry>& players, const QString& udn);
    // The UDN of the selected player; empty with none.
    QString DeviceUDN() const;
    // Lists the players of the chosen server's service, keeping the selected player selected
    // (or `udn`, when given). Without the service the list keeps only its first entry and the
    // failure comes back. Blocks while the service answers.
    HRESULT FillPlayers(const PlayerListProgress& progress = {}, const QString& udn = QString());
    QComboBox* playerList() const { return players_; }

signals:
    // The user chose another server: with a radio button, or by leaving the edit after
    // typing (each key alone reaches for no computer).
    void serverChanged();
    // Any change the user made: the choice is to be applied.
    void changed();

private:
    void ShowServerChoice(bool another);

    QRadioButton* local_;
    QRadioButton* another_;
    QLineEdit* server_;
    QComboBox* players_;
    QLineEdit* udn_;
    std::vector<PlayerEntry> entries_; // in the list's order after its first item
};

} // namespace velk
