// The screen saver's window and settings dialog: without a service (offscreen), its own picture
// and the dialog's warning; inside a private network namespace under Xvfb, a simulated player
// found by the real service, listed by the dialog, shown live and faded by the window, and the
// real velksaver drawing it into a window it is given as xscreensaver would, giving the display
// request back when it is stopped.
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include "display/testdata/display_test_support.h"
#include "saver/saver_config_dialog.h"
#include "saver/saver_settings.h"
#include "saver/saver_window.h"

namespace velk {

using namespace velk::testing;

namespace {

constexpr int kWaitMs = 30000;
// The colour the mirror gives lit pixels by default.
const QColor kLit(0x80, 0xD0, 0xFF);

// The window's pixels where the picture is drawn, as the picture's own.
bool DrawsPicture(CSaverWindow& window)
{
    const QImage shown = window.grab().toImage().copy(window.pictureRect());
    return shown.convertToFormat(QImage::Format_RGB32) ==
           window.picture().convertToFormat(QImage::Format_RGB32);
}

int Count(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}

int LitPixels(const sim::FrameBuffer& frame)
{
    int count = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            count += frame.Pixel(x, y) ? 1 : 0;
    return count;
}

// Runs the settings dialog: accepts each message box it shows (their texts into `warned`),
// and drives it with `act` once `ready` says its list is filled.
std::intptr_t RunDialog(const std::function<bool(QDialog&)>& ready,
                        const std::function<void(QDialog&)>& act, QStringList* warned = nullptr)
{
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (warned)
                warned->append(box->text());
            box->accept();
            return;
        }
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog || !dialog->findChild<QComboBox*>("players") || !ready(*dialog))
            return;
        poll.stop();
        act(*dialog);
    });
    poll.start();
    return CRenderedDialog::DoModal<CSaverConfigDialog>(nullptr, 0);
}

} // namespace

class SaverTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(registry_.isValid());
        if (!ServiceWithPlayer::Available())
            qputenv("VELK_REGISTRY_DIR", registry_.path().toUtf8());
    }

    void ShowsItsOwnPictureWithoutAService()
    {
        if (ServiceWithPlayer::Available())
            QSKIP("runs offscreen (ui.saver)");
        // Nothing listens on port 1.
        CSaverWindow window({"127.0.0.1:1", "uuid:5A1B-0001"});
        window.resize(800, 600);
        QVERIFY(!window.showsCapture());
        QCOMPARE(window.picture(), CSaverWindow::OwnPicture());
        QCOMPARE(window.pictureRect().size(), QSize(179, 16));
        QVERIFY(QRect(0, 0, 800, 600).contains(window.pictureRect()));
        QVERIFY(DrawsPicture(window));
    }

    void DialogTellsWhenThereIsNoServiceAndCancelKeepsTheSettings()
    {
        if (ServiceWithPlayer::Available())
            QSKIP("runs offscreen (ui.saver)");
        QCOMPARE((SaverSettings{"127.0.0.1:1", "uuid:5A1B-0001"}.Save()), S_OK);
        QStringList warned;
        const auto result = RunDialog(
            [&](QDialog&) { return !warned.isEmpty(); },
            [](QDialog& dialog) {
                QVERIFY(dialog.findChild<QRadioButton*>("another")->isChecked());
                auto* server = dialog.findChild<QLineEdit*>("server");
                QCOMPARE(server->text(), QString("127.0.0.1:1"));
                QCOMPARE(dialog.findChild<QComboBox*>("players")->count(), 1);
                server->setText("elsewhere");
                dialog.findChild<QPushButton*>("cancel")->click();
            },
            &warned);
        QCOMPARE(result, IDCANCEL);
        QVERIFY(!warned.isEmpty());
        QCOMPARE(warned, QStringList{"No data server found on 127.0.0.1:1"});
        const SaverSettings kept = SaverSettings::Load();
        QCOMPARE(kept.server, QString("127.0.0.1:1"));
        QCOMPARE(kept.udn, QString("uuid:5A1B-0001"));
    }

    void ShowsASimulatedPlayerLiveAndGivesTheDisplayBack()
    {
        if (!ServiceWithPlayer::Available())
            QSKIP("runs inside a private network namespace (service.saver_in_namespace)");
        ServiceWithPlayer service;
        QVERIFY(service.started());
        QTRY_VERIFY_WITH_TIMEOUT(ServicePlayers().size() == 1, kWaitMs);

        // The dialog lists the player; OK saves the choice.
        const auto result = RunDialog(
            [](QDialog& dialog) { return dialog.findChild<QComboBox*>("players")->count() == 2; },
            [&](QDialog& dialog) {
            auto* players = dialog.findChild<QComboBox*>("players");
            QVERIFY(dialog.findChild<QRadioButton*>("local")->isChecked());
            QCOMPARE(players->count(), 2);
            QCOMPARE(players->itemText(1), service.name());
            players->setCurrentIndex(1);
            QCOMPARE(dialog.findChild<QLineEdit*>("udn")->text(), service.udn());
            Picture(dialog, "saver-settings");
            dialog.findChild<QPushButton*>("ok")->click();
        });
        QCOMPARE(result, IDOK);
        const SaverSettings settings = SaverSettings::Load();
        QCOMPARE(settings.server, QString());
        QCOMPARE(settings.udn, service.udn());

        // The window shows the live display, fades it and moves it.
        auto window = std::make_unique<CSaverWindow>(settings);
        window->resize(800, 600);
        QTRY_VERIFY_WITH_TIMEOUT(window->showsCapture(), kWaitMs);
        QCOMPARE(window->picture().size(), QSize(280, 16));
        QVERIFY(DrawsPicture(*window));
        QVERIFY(Monitored(service.udn()));
        QSignalSpy moved(window.get(), &CSaverWindow::moved);
        QTRY_VERIFY_WITH_TIMEOUT(window->opacity() < 128, kWaitMs);
        QVERIFY(moved.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!moved.isEmpty(), kWaitMs);
        QVERIFY(window->opacity() > 128);
        window.reset();
        QVERIFY(!Monitored(service.udn()));

        if (QGuiApplication::platformName() != "xcb")
            return;
        // The real program, given a window as xscreensaver gives one.
        QWidget host;
        host.setWindowTitle("xscreensaver");
        host.resize(640, 200);
        host.setStyleSheet("background: grey");
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QProcess saver;
        saver.setProcessChannelMode(QProcess::ForwardedChannels);
        saver.start(VELKSAVER_BINARY, {"--window-id", QString::number(host.winId())});
        QVERIFY(saver.waitForStarted());
        const auto shown = [&] {
            return QGuiApplication::primaryScreen()->grabWindow(host.winId()).toImage();
        };
        // Every lit pixel of the display, drawn opaque.
        QTRY_VERIFY_WITH_TIMEOUT(Count(shown(), kLit) == LitPixels(service.sim().Frame()),
                                 kWaitMs);
        Picture(shown(), "saver");
        QVERIFY(Monitored(service.udn()));
        saver.terminate();
        QVERIFY(saver.waitForFinished(kWaitMs));
        QCOMPARE(saver.exitStatus(), QProcess::NormalExit);
        QCOMPARE(saver.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!Monitored(service.udn()), kWaitMs);
    }

private:
    QTemporaryDir registry_;
};

} // namespace velk

QTEST_MAIN(velk::SaverTest)
#include "saver_test.moc"
