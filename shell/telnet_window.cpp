#include "shell/telnet_window.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include "rcp/telnet_session.h"
#include "shell/shell_strings.h"

namespace velk {

namespace {

constexpr const char* kTerminalVariable = "TERMINAL";
constexpr const char* kDefaultTerminal = "x-terminal-emulator";
constexpr const char* kTelnet = "telnet";

void Tell(QWidget* owner, const QString& text)
{
    QMessageBox::warning(owner, QString::fromUtf8(shell_text::kCaption), text);
}

// A program named alone is looked up on PATH; one named with a path must be executable there.
QString FindProgram(const QString& name)
{
    if (!name.contains('/'))
        return QStandardPaths::findExecutable(name);
    const QFileInfo file(name);
    return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
}

} // namespace

HRESULT OpenTelnetWindow(const PlayerIdentity& player, QWidget* owner)
{
    if (player.host.empty()) {
        Tell(owner, QString::fromUtf8(shell_text::kNoPlayerAddress));
        return E_INVALIDARG;
    }
    QString terminal_name = qEnvironmentVariable(kTerminalVariable);
    if (terminal_name.isEmpty())
        terminal_name = kDefaultTerminal;
    const QString terminal = FindProgram(terminal_name);
    if (terminal.isEmpty()) {
        Tell(owner, QString::fromUtf8(shell_text::kNoTerminal));
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    if (FindProgram(kTelnet).isEmpty()) {
        Tell(owner, QString::fromUtf8(shell_text::kNoTelnet));
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    const QStringList arguments = {"-e", kTelnet, QString::fromStdString(player.host),
                                   QString::number(CTelnetSession::kPlayerPort)};
    if (!QProcess::startDetached(terminal, arguments)) {
        Tell(owner, QString::fromUtf8(shell_text::kTerminalFailed).arg(terminal));
        return E_FAIL;
    }
    return S_OK;
}

} // namespace velk
