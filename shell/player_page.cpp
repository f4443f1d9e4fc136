#include "shell/player_page.h"

#include <QLabel>
#include <QMessageBox>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

#include "shell/firmware_upgrade.h"
#include "shell/initial_setup_wizard.h"
#include "shell/shell_strings.h"

namespace velk {

namespace {

constexpr int kUpgradeOfferDelayMs = 50;
constexpr int kTextWidth = 250;

bool IsFirmwareVersion(const FirmwareVersion& version)
{
    return version != FirmwareVersion{};
}

} // namespace

CPlayerPage::CPlayerPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page), stack_(new QStackedLayout(window)),
      body_(new QWidget(window)), text_(new QLabel(window)),
      worker_(std::make_unique<CPlayerWorker>())
{
    text_->setObjectName("page_text");
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignCenter);
    text_->setTextFormat(Qt::RichText);
    text_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    text_->setFixedWidth(kTextWidth);
    auto* centre = new QWidget(window);
    auto* layout = new QVBoxLayout(centre);
    layout->addStretch();
    layout->addWidget(text_, 0, Qt::AlignHCenter);
    layout->addStretch();
    stack_->addWidget(centre);
    stack_->addWidget(body_);
    QObject::connect(text_, &QLabel::linkActivated, &context_,
                     [this](const QString& target) { OnLink(target); });
}

CPlayerPage::~CPlayerPage() = default;

std::intptr_t CPlayerPage::OnInitDialog()
{
    const auto owner = std::dynamic_pointer_cast<IPlayerPagesOwner>(page_sheet_data().lParam);
    if (!owner || FAILED(IdentifyPlayer(owner->DataObject(), player_)) || player_.host.empty()) {
        ShowText(UnreachableText());
        return 1;
    }
    ShowConnecting();
    const std::string host = player_.host;
    worker_->Run<SetupCheck>([host](CControlSession& session) { return ConnectAndCheckSetup(session, host); },
                             [this](SetupCheck& check) { OnSetupChecked(check); });
    return 1;
}

void CPlayerPage::OnSetupChecked(SetupCheck& check)
{
    if (FAILED(check.hr)) {
        Readiness failed;
        failed.hr = check.hr;
        OnReady(failed);
        return;
    }
    if (!check.setup_complete) {
        setup_ = std::move(check.setup);
        RunSetupWizard();
        return;
    }
    worker_->Run<Readiness>(FinishReadinessCheck, [this](Readiness& readiness) { OnReady(readiness); });
}

void CPlayerPage::RunSetupWizard()
{
    InitialSetup chosen = setup_;
    if (!RunInitialSetupWizard(sheet().window(), chosen)) {
        Readiness incomplete;
        incomplete.hr = E_FAIL;
        OnReady(incomplete);
        return;
    }
    ShowConnecting();
    worker_->Run<Readiness>(
        [chosen](CControlSession& session) {
            Readiness readiness;
            readiness.hr = ApplyInitialSetup(session, chosen);
            return SUCCEEDED(readiness.hr) ? FinishReadinessCheck(session) : readiness;
        },
        [this](Readiness& readiness) { OnReady(readiness); });
}

void CPlayerPage::OnReady(Readiness& readiness)
{
    readiness_ = readiness;
    const HRESULT hr = readiness.hr;
    if (SUCCEEDED(hr) || hr == E_RCP_DISCONNECTED) {
        stack_->setCurrentWidget(body_);
        Fill();
        if (IsFirmwareVersion(readiness.offered_upgrade)) {
            auto* timer = new QTimer(window());
            timer->setObjectName("upgrade_timer");
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, &context_, [this] { RunUpgrade(); });
            timer->start(kUpgradeOfferDelayMs);
        }
    } else if (hr == E_FAIL) {
        ShowText(QString::fromUtf8(shell_text::kSetupLink));
    } else if (hr == E_RCP_SHELL_DISABLED) {
        ShowText(QString::fromUtf8(shell_text::kDisabled));
    } else {
        ShowText(UnreachableText());
    }
}

void CPlayerPage::ShowConnecting()
{
    // The name and address come from the device: text, never markup.
    ShowText(QString::fromUtf8(shell_text::kConnecting)
                 .arg(QString::fromStdString(player_.friendly_name).toHtmlEscaped(),
                      QString::fromStdString(player_.host).toHtmlEscaped()));
}

void CPlayerPage::ShowText(const QString& text)
{
    text_->setText(text);
    stack_->setCurrentIndex(0);
}

void CPlayerPage::OnLink(const QString& target)
{
    if (target == "config")
        RunSetupWizard();
    else if (target == "upgrade")
        RunUpgrade();
}

void CPlayerPage::RunUpgrade()
{
    RunFirmwareUpgrade(sheet().window(), *worker_, readiness_.offered_upgrade, [this](bool performed) {
        if (!performed)
            return;
        QMessageBox::information(sheet().window(), QString::fromUtf8(shell_text::kCaption),
                                 QString::fromUtf8(shell_text::kUpgraded));
        sheet().PressButton(PSBTN_CANCEL);
    });
}

} // namespace velk
