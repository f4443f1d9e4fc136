// The base of the player pages: finds the player from the sheet's item, runs the readiness
// check on the page's worker while the page reads that it is connecting, and presents the
// outcome: the page's own controls (Fill), or a text in the page's centre, whose links run the
// setup wizard again ("config") or the firmware upgrade ("upgrade"). An upgrade the player
// offers is proposed 50 ms after the page was filled. The page's commands run on its worker,
// never on the GUI thread. Built by the sheet when first shown; GUI thread only.
#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "shell/player_identity.h"
#include "shell/player_worker.h"
#include "shell/readiness_check.h"
#include "ui/rendered_property_page.h"

class QLabel;
class QStackedLayout;

namespace velk {

class CPlayerPage : public CRenderedPropertyPage {
public:
    // The sheet's item: the record's owner is the handler, an IShellExtInit that keeps it.
    CPlayerPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);
    ~CPlayerPage() override;

    std::intptr_t OnInitDialog() override;

protected:
    // Where the derived page puts its controls; shown once the page is filled.
    QWidget* body() const { return body_; }
    CPlayerWorker& worker() { return *worker_; }
    const PlayerIdentity& player() const { return player_; }
    const Readiness& readiness() const { return readiness_; }

    // The check let the page fill itself (S_OK, or E_RCP_DISCONNECTED: no music server).
    virtual void Fill() = 0;
    // The page's text for a player that cannot be reached.
    virtual QString UnreachableText() const = 0;

private:
    void OnSetupChecked(SetupCheck& check);
    // Shows the setup wizard; on Finish the choices go to the player and the check goes on.
    void RunSetupWizard();
    void OnReady(Readiness& readiness);
    void ShowConnecting();
    // Replaces the page's controls by text; its links act on their targets.
    void ShowText(const QString& text);
    void OnLink(const QString& target);
    void RunUpgrade();

    QStackedLayout* stack_;
    QWidget* body_;
    QLabel* text_;
    std::unique_ptr<CPlayerWorker> worker_;
    PlayerIdentity player_;
    InitialSetup setup_;
    Readiness readiness_;
    // The context of timers and connections: they end with the page object.
    QObject context_;
};

} // namespace velk
