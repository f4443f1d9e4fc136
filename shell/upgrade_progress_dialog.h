// The modeless dialog that shows a firmware upgrade as the player reports it: the stage in
// words, a bar, and Cancel. Cancelling (the button, Esc or the window's close) raises the
// shared flag that the upgrade reads at the player's next report. GUI thread only.
#pragma once

#include <atomic>
#include <memory>
#include <string_view>

#include "ui/rendered_dialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace velk {

class CUpgradeProgressDialog : public CRenderedDialog {
public:
    CUpgradeProgressDialog(QDialog* window, std::shared_ptr<std::atomic<bool>> cancelled);

    void OnDestroy() override;

    // A status line of the player ("BurningFlash", "DownloadingUpgrade: 40"); words it does
    // not know leave the dialog as it is.
    void ShowStatus(std::string_view status);

private:
    std::shared_ptr<std::atomic<bool>> cancelled_;
    QLabel* stage_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

} // namespace velk
