#include "renderfold/renderer_commands.h"

#include <filesystem>

#include <QDesktopServices>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "renderfold/last_change.h"

namespace velk {

namespace {

constexpr const char* kTitle = "Media Players";

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Texts that carry what a device sent are shown as plain text, never as markup.
void ShowWarning(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, kTitle, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void ReportActionFailure(QWidget* parent, const UPnPDeviceInfo& device, std::string_view what, HRESULT hr)
{
    QString message;
    if (hr == E_NOINTERFACE)
        message = QString("The %1 service could not be located on the %2.")
                      .arg(what.starts_with("SetVolume") ? "RenderingControl" : "AVTransport",
                           Text(ShownText(device.friendly_name)));
    else
        message = QString("%1 failed on %2: %3")
                      .arg(Text(what), Text(ShownText(device.friendly_name)), QString::fromStdString(HResultMessage(hr)));
    ShowWarning(parent, message);
}

} // namespace

bool IsWebPageAddress(std::string_view url)
{
    const QUrl parsed(Text(url), QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && (scheme == "http" || scheme == "https") && !parsed.host().isEmpty();
}

HRESULT OpenPresentationPage(const UPnPDeviceInfo& device, QWidget* parent)
{
    if (!IsWebPageAddress(device.presentation_url)) {
        QMessageBox::information(parent, kTitle, "This device has no web page.");
        return E_INVALIDARG;
    }
    if (!QDesktopServices::openUrl(QUrl(Text(device.presentation_url), QUrl::StrictMode))) {
        QMessageBox::warning(parent, kTitle, "The device's web page could not be opened.");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT RunAsAdministrator(std::string_view udn, QWidget* parent)
{
    const QString pkexec = QStandardPaths::findExecutable("pkexec");
    if (pkexec.isEmpty()) {
        QMessageBox::warning(parent, kTitle,
                             "The device cannot be configured as administrator: pkexec is not "
                             "installed (it comes with polkit).");
        return E_FAIL;
    }
    const auto program = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velkconfig";
    if (!std::filesystem::is_regular_file(program)) {
        ShowWarning(parent, QString("The device cannot be configured as administrator: %1 is missing.")
                                .arg(QString::fromStdString(program.string())));
        return E_FAIL;
    }
    if (!QProcess::startDetached(pkexec, {QString::fromStdString(program.string()), Text(udn)})) {
        QMessageBox::warning(parent, kTitle, "The configuration tool could not be started.");
        return E_FAIL;
    }
    return S_OK;
}

std::function<void(HRESULT)> ReportFailure(QWidget* parent, const UPnPDeviceInfo& device, std::string_view action)
{
    return [parent = QPointer<QWidget>(parent), device, action = std::string(action)](HRESULT hr) {
        if (FAILED(hr))
            ReportActionFailure(parent.data(), device, action, hr);
    };
}

} // namespace velk
