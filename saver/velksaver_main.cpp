// velksaver: one player's display, live, as a screen saver. As an xscreensaver hack it draws
// into the window xscreensaver gives it (--window-id, or --root with $XSCREENSAVER_WINDOW);
// on its own it fills the screen until a key, a click or the mouse ends it. --config shows the
// settings dialog. SIGTERM and SIGINT end it as its window's close does, giving the display
// request back.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QSocketNotifier>
#include <QWindow>

#include "saver/saver_config_dialog.h"
#include "saver/saver_settings.h"
#include "saver/saver_target.h"
#include "saver/saver_window.h"

namespace {

// SIGTERM and SIGINT blocked in every thread and read on the GUI thread: they quit the loop.
int StopSignals()
{
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    return signalfd(-1, &stop, SFD_CLOEXEC | SFD_NONBLOCK);
}

// The size of another program's X window (Qt knows nothing of a foreign window's size).
QSize ForeignWindowSize(WId window)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return {};
    xcb_connection_t* connection = x11->connection();
    xcb_get_geometry_reply_t* reply = xcb_get_geometry_reply(
        connection, xcb_get_geometry(connection, static_cast<xcb_drawable_t>(window)), nullptr);
    if (!reply)
        return {};
    const QSize size(reply->width, reply->height);
    std::free(reply);
    return size;
}

} // namespace

int main(int argc, char** argv)
{
    const int stop_fd = StopSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName("velksaver");
    QApplication::setQuitOnLastWindowClosed(true);
    if (stop_fd < 0) {
        std::perror("velksaver: signalfd");
        return 1;
    }
    QSocketNotifier stop(stop_fd, QSocketNotifier::Read);
    // exit, not quit: quit asks the windows first, and a window in another's does not answer.
    QObject::connect(&stop, &QSocketNotifier::activated, &app, [&] {
        signalfd_siginfo info;
        if (::read(stop_fd, &info, sizeof info) > 0)
            QApplication::exit(0);
    });

    velk::SaverTarget target;
    QString error;
    if (velk::FAILED(velk::ParseSaverTarget(QApplication::arguments().mid(1),
                                            qEnvironmentVariable("XSCREENSAVER_WINDOW"), target,
                                            error))) {
        std::fprintf(stderr, "velksaver: %s\nusage: velksaver [--root | --window-id ID | --config]\n",
                     qPrintable(error));
        return 2;
    }
    if (target.kind == velk::SaverTarget::Kind::Configure)
        return velk::CRenderedDialog::DoModal<velk::CSaverConfigDialog>(nullptr, 0) ==
                       velk::IDOK
                   ? 0
                   : 1;

    velk::CSaverWindow saver(velk::SaverSettings::Load());
    saver.setWindowTitle(velk::CSaverConfigDialog::kCaption);
    if (target.kind == velk::SaverTarget::Kind::Window) {
        const auto id = static_cast<WId>(target.window);
        const QSize size = ForeignWindowSize(id);
        QWindow* host = size.isEmpty() ? nullptr : QWindow::fromWinId(id);
        if (!host) {
            std::fprintf(stderr, "velksaver: no window 0x%llx\n",
                         static_cast<unsigned long long>(target.window));
            return 1;
        }
        saver.winId();
        saver.windowHandle()->setParent(host);
        saver.setGeometry(QRect(QPoint(0, 0), size));
        saver.show();
    } else {
        saver.setEndsOnInput(true);
        saver.showFullScreen();
    }
    const int status = app.exec();
    ::close(stop_fd);
    return status;
}
