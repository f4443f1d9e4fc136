#include "shell/upgrade_progress_dialog.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "rcp/rcp_reply_values.h"
#include "shell/shell_strings.h"

namespace velk {

namespace {

// Each stage the player reports, its words, and how far the bar stands when it begins; the
// download moves the bar on to the next stage's mark as its percentage grows.
struct Stage {
    std::string_view word;
    const char* text;
    int percent;
};

constexpr Stage kStages[] = {
    {"CheckingUpgradeAvailability", "Checking upgrade availability", 2},
    {"DownloadingUpgrade", "Downloading Upgrade", 5},
    {"VerifyingMD5", "Verifying checksum", 60},
    {"ErasingFlash", "Erasing previous firmare", 65},
    {"BurningFlash", "Writing new firmware", 70},
    {"VerifyingFlash", "Verifying flash", 85},
    {"SavingAdditionalData", "Saving additional data", 95},
    {"UpgradeComplete", "Upgrade complete", 100},
};

constexpr const char* kPreparing = "Preparing the upgrade";
constexpr const char* kCancelling = "Cancelling...";
constexpr int kDialogWidth = 360;

} // namespace

CUpgradeProgressDialog::CUpgradeProgressDialog(QDialog* window,
                                               std::shared_ptr<std::atomic<bool>> cancelled)
    : CRenderedDialog(window), cancelled_(std::move(cancelled)), stage_(new QLabel(window)),
      bar_(new QProgressBar(window)), cancel_(new QPushButton(QObject::tr("Cancel"), window))
{
    window->setWindowTitle(QString::fromUtf8(shell_text::kCaption));
    window->setMinimumWidth(kDialogWidth);
    stage_->setObjectName("stage");
    bar_->setObjectName("progress");
    cancel_->setObjectName("cancel");
    stage_->setText(QString::fromUtf8(kPreparing));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(stage_);
    layout->addWidget(bar_);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    QObject::connect(cancel_, &QPushButton::clicked, window, [this] {
        *cancelled_ = true;
        stage_->setText(QString::fromUtf8(kCancelling));
        cancel_->setEnabled(false);
    });
}

void CUpgradeProgressDialog::OnDestroy()
{
    // Closed before the upgrade ended: the user's way of cancelling too.
    *cancelled_ = true;
}

void CUpgradeProgressDialog::ShowStatus(std::string_view status)
{
    const std::size_t colon = status.find(':');
    const std::string_view word = status.substr(0, colon);
    for (std::size_t i = 0; i < std::size(kStages); ++i) {
        const Stage& stage = kStages[i];
        if (stage.word != word)
            continue;
        if (*cancelled_)
            return;
        stage_->setText(QString::fromUtf8(stage.text));
        int percent = stage.percent;
        if (colon != std::string_view::npos && i + 1 < std::size(kStages)) {
            // "DownloadingUpgrade: 40": the share done of the way to the next stage.
            const auto done = ParseDecimal32(status.substr(colon + 1)).value_or(0);
            const int span = kStages[i + 1].percent - stage.percent;
            percent += span * std::clamp(done, 0, 100) / 100;
        }
        bar_->setValue(percent);
        return;
    }
}

} // namespace velk
