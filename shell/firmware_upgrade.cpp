#include "shell/firmware_upgrade.h"

#include <QMessageBox>
#include <QPointer>

#include "platform/error_info.h"
#include "shell/player_worker.h"
#include "shell/shell_strings.h"
#include "shell/upgrade_progress_dialog.h"

namespace velk {

namespace {

// The player reports each stage; silence this long means it has stopped.
constexpr std::uint32_t kUpgradeSilenceMs = 120000;
// A download of the firmware reports its progress all along; it still ends some time.
constexpr std::uint32_t kUpgradeMaxMs = 30 * 60 * 1000;
constexpr std::string_view kUpgradeComplete = "UpgradeComplete";
constexpr std::string_view kNoUpgradeAvailable = "NoUpgradeAvailable";
constexpr const char* kUpgradeCommand = "ExecuteSoftwareUpgrade";

struct UpgradeOutcome {
    HRESULT hr = E_FAIL;
    bool completed = false;
    bool none_available = false;
    std::string failure;
};

UpgradeOutcome Upgrade(CControlSession& session, CPlayerWorker& worker,
                       const std::shared_ptr<std::atomic<bool>>& cancelled,
                       const QPointer<QDialog>& window, CUpgradeProgressDialog* progress)
{
    UpgradeOutcome outcome;
    // The player upgrades only without a music server; none connected answers an error.
    session.Execute("ServerDisconnect");
    auto completed = std::make_shared<std::atomic<bool>>(false);
    auto none = std::make_shared<std::atomic<bool>>(false);
    // On the session's reader thread: notes the outcome and hands each stage to the dialog.
    auto on_line = [&worker, cancelled, completed, none, window, progress](std::string_view line,
                                                                          std::int32_t) {
        if (*cancelled)
            return E_ABORT;
        if (line == kUpgradeComplete)
            *completed = true;
        else if (line == kNoUpgradeAvailable)
            *none = true;
        worker.Hand([window, progress, status = std::string(line)] {
            if (window)
                progress->ShowStatus(status);
        });
        return S_OK;
    };
    outcome.hr = session.ExecuteWithLines(kUpgradeCommand, {}, on_line, kUpgradeSilenceMs, kUpgradeMaxMs);
    if (outcome.hr == E_ABORT) {
        session.Execute("CancelTransaction", kUpgradeCommand);
        return outcome;
    }
    if (FAILED(outcome.hr)) {
        const auto error = GetErrorInfo();
        outcome.failure = error ? error->description : HResultMessage(outcome.hr);
        return outcome;
    }
    outcome.none_available = *none;
    outcome.completed = *completed;
    if (outcome.completed) {
        // The player restarts with the new firmware, and the connection goes with it.
        session.SendWithoutReply("Reboot");
        session.Close();
    }
    return outcome;
}

} // namespace

void RunFirmwareUpgrade(QWidget* parent, CPlayerWorker& worker, FirmwareVersion version,
                        std::function<void(bool performed)> done)
{
    const QString question = QString::fromUtf8(shell_text::kUpgradeQuestion)
                                 .arg(version.major)
                                 .arg(version.minor)
                                 .arg(version.build);
    if (QMessageBox::question(parent, QString::fromUtf8(shell_text::kCaption), question,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        done(false);
        return;
    }
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    auto* progress = CRenderedDialog::Create<CUpgradeProgressDialog>(parent, 0, cancelled);
    const QPointer<QDialog> window = progress ? progress->window() : nullptr;
    worker.Run<UpgradeOutcome>(
        [&worker, cancelled, window, progress](CControlSession& session) {
            return Upgrade(session, worker, cancelled, window, progress);
        },
        [parent, window, progress, done](UpgradeOutcome& outcome) {
            if (window)
                progress->EndDialog(IDOK);
            const QString caption = QString::fromUtf8(shell_text::kCaption);
            if (outcome.none_available) {
                QMessageBox::information(parent, caption, QString::fromUtf8(shell_text::kNoUpgrade));
            } else if (FAILED(outcome.hr) && outcome.hr != E_ABORT) {
                QMessageBox::warning(parent, caption,
                                     QString::fromUtf8(shell_text::kUpgradeFailed)
                                         .arg(QString::fromStdString(outcome.failure)));
            }
            done(SUCCEEDED(outcome.hr) && outcome.completed);
        });
}

} // namespace velk
