#include "saver/saver_config_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QVBoxLayout>

#include "display/connection_chooser.h"
#include "saver/saver_settings.h"

namespace velk {

CSaverConfigDialog::CSaverConfigDialog(QDialog* window)
    : CRenderedDialog(window), chooser_(new CConnectionChooser(window))
{
    window->setWindowTitle(QString::fromUtf8(kCaption));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, window);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(chooser_);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &connections_, [this] {
        if (Save())
            EndDialog(IDOK);
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &connections_,
                     [this] { EndDialog(IDCANCEL); });
}

std::intptr_t CSaverConfigDialog::OnInitDialog(std::intptr_t)
{
    // Once the dialog shows: the list may take a while.
    QTimer::singleShot(0, &connections_, [this] {
        const SaverSettings settings = SaverSettings::Load();
        chooser_->SetServer(settings.server);
        FillPlayers(settings.udn);
        QObject::connect(chooser_, &CConnectionChooser::serverChanged, &connections_,
                         [this] { FillPlayers(); });
    });
    return 1;
}

void CSaverConfigDialog::FillPlayers(const QString& udn)
{
    QProgressDialog progress(QString::fromUtf8(kRetrieving), QString(), 0, 0, window());
    progress.setWindowTitle(QString::fromUtf8(kCaption));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    const HRESULT hr = chooser_->FillPlayers(
        [&](int done, int count) {
            progress.setMaximum(count);
            progress.setValue(done);
        },
        udn);
    progress.close();
    if (SUCCEEDED(hr))
        return;
    const QString server =
        chooser_->Server().isEmpty() ? QSysInfo::machineHostName() : chooser_->Server();
    QMessageBox::warning(window(), QString::fromUtf8(kCaption),
                         QString::fromUtf8(kNoDataServer).arg(server));
}

bool CSaverConfigDialog::Save()
{
    SaverSettings settings;
    settings.server = chooser_->Server();
    settings.udn = chooser_->DeviceUDN();
    const HRESULT hr = settings.Save();
    if (SUCCEEDED(hr))
        return true;
    QMessageBox::warning(window(), QString::fromUtf8(kCaption),
                         QStringLiteral("The settings could not be saved (0x%1).")
                             .arg(static_cast<std::uint32_t>(hr), 8, 16, QChar('0')));
    return false;
}

} // namespace velk
