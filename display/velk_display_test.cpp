// The display mirror widget: its two messages, and (inside a private network namespace, with
// the real service finding a simulated player) the live picture, its copy, and the display
// request it gives back when it goes.
#include <functional>

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "display/connection_property_page.h"
#include "display/testdata/display_test_support.h"
#include "display/velk_display.h"
#include "ui/property_sheet.h"

namespace velk {

using namespace velk::testing;

namespace {

constexpr int kWaitMs = 30000;
const QColor kBack(0x10, 0x20, 0x30);
const QColor kFore(0xF0, 0xE0, 0x00);
const QColor kOtherFore(0x20, 0xFF, 0x40);
const QList<int> kLoadedThenLoading = {CVelkDisplay::ReadyStateLoaded,
                                       CVelkDisplay::ReadyStateInteractive,
                                       CVelkDisplay::ReadyStateLoading};

QList<int> States(const QSignalSpy& spy)
{
    QList<int> states;
    for (const auto& arguments : spy)
        states.append(arguments.at(0).toInt());
    return states;
}

bool HasColour(const QImage& image, const QColor& colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

// The picture's lit pixels (any colour but the background) are exactly the display's.
bool ShowsFrame(const QImage& picture, const sim::FrameBuffer& frame)
{
    if (picture.width() != frame.width() || picture.height() != frame.height())
        return false;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if ((picture.pixelColor(x, y) != kBack) != frame.Pixel(x, y))
                return false;
    return true;
}

} // namespace

class DisplayTest : public QObject {
    Q_OBJECT

private slots:
    void PaintsWhyThereIsNoPicture()
    {
        CVelkDisplay display;
        display.setBackColor(kBack);
        display.setForeColor(kFore);
        display.resize(400, 60);
        QCOMPARE(display.message(), QString("No device selected"));
        const QImage empty = display.grab().toImage();
        QVERIFY(HasColour(empty, kBack));
        QVERIFY(HasColour(empty, kFore));

        // Nothing listens on port 1.
        QVERIFY(FAILED(display.setServer("127.0.0.1:1")));
        display.setDeviceUDN("uuid:5A1B-0001");
        QCOMPARE(display.message(),
                 QString("Failed to connect to device uuid:5A1B-0001 on server 127.0.0.1:1."));
        QVERIFY(display.picture().isNull());
        QCOMPARE(display.readyState(), CVelkDisplay::ReadyStateLoading);
        QVERIFY(HasColour(display.grab().toImage(), kFore));
        QVERIFY(FAILED(display.Copy("clipboard")));
    }

    void EachChangeGoesThroughTheReadyStatesInOrder()
    {
        struct Change {
            const char* what;
            std::function<HRESULT(CVelkDisplay&)> make;
        };
        // Nothing listens on port 1.
        const Change changes[] = {
            {"server down", [](CVelkDisplay& d) { return d.setServer("127.0.0.1:1"); }},
            {"player on it", [](CVelkDisplay& d) { return d.setDeviceUDN("uuid:5A1B-0001"); }},
            {"no player", [](CVelkDisplay& d) { return d.setDeviceUDN(""); }},
            {"no server", [](CVelkDisplay& d) { return d.setServer(""); }},
        };
        CVelkDisplay display;
        for (const auto& change : changes) {
            QSignalSpy spy(&display, &CVelkDisplay::readyStateChanged);
            change.make(display);
            QVERIFY2(States(spy) == kLoadedThenLoading, change.what);
        }
    }

    void ConnectionPageWillNotBeLeftWithoutAPlayer()
    {
        CVelkDisplay display;
        // Nothing listens on port 1.
        display.setServer("127.0.0.1:1");
        PropertySheet sheet("Velk Display Properties");
        sheet.AddPage(CConnectionPropertyPage::Record(display));
        sheet.open();
        auto* another = sheet.findChild<QRadioButton*>("another");
        auto* server = sheet.findChild<QLineEdit*>("server");
        auto* players = sheet.findChild<QComboBox*>("players");
        QVERIFY(another->isChecked() && server->isEnabled());
        QCOMPARE(server->text(), QString("127.0.0.1:1"));
        QCOMPARE(players->count(), 1);
        QCOMPARE(players->itemText(0), QString("(Please select a device)"));

        QTest::mouseClick(sheet.findChild<QRadioButton*>("local"), Qt::LeftButton);
        QVERIFY(!server->isEnabled());
        QTest::mouseClick(another, Qt::LeftButton);
        QVERIFY(server->isEnabled());

        QString warning;
        WhenShown<QMessageBox>([&](QMessageBox& box) {
            warning = box.text();
            box.accept();
        });
        sheet.accept();
        QCOMPARE(warning, QString("Please select a device "));
        QVERIFY(sheet.isVisible());
        QVERIFY(players->hasFocus() || QApplication::focusWidget() == nullptr);
        QCOMPARE(display.DeviceUDN(), QString());
    }

    void MirrorsASimulatedPlayerThroughTheService()
    {
        if (!ServiceWithPlayer::Available())
            QSKIP("runs inside a private network namespace (service.display_mirror_in_namespace)");
        ServiceWithPlayer service;
        QVERIFY(service.started());
        auto& sim = service.sim();
        const QString name = service.name();
        const QString udn = service.udn();

        auto display = std::make_unique<CVelkDisplay>();
        display->setBackColor(kBack);
        display->setForeColor(kFore);
        display->resize(560, 32);
        // Once the service has found the player, the connection page offers it by name.
        QTRY_VERIFY_WITH_TIMEOUT(ServicePlayers().size() == 1, kWaitMs);
        {
            PropertySheet sheet("Velk Display Properties");
            sheet.AddPage(CConnectionPropertyPage::Record(*display));
            sheet.open();
            QVERIFY(sheet.findChild<QRadioButton*>("local")->isChecked());
            auto* list = sheet.findChild<QComboBox*>("players");
            QCOMPARE(list->count(), 2);
            QCOMPARE(list->itemText(1), name);
            list->setCurrentIndex(1);
            QCOMPARE(sheet.findChild<QLineEdit*>("udn")->text(), udn);
            Picture(sheet, "connection-page");
            QSignalSpy spy(display.get(), &CVelkDisplay::readyStateChanged);
            sheet.accept();
            QCOMPARE(States(spy), (QList<int>{CVelkDisplay::ReadyStateLoaded,
                                              CVelkDisplay::ReadyStateInteractive,
                                              CVelkDisplay::ReadyStateComplete}));
            QVERIFY(!sheet.isVisible());
        }
        QCOMPARE(display->Server(), QString());
        QCOMPARE(display->DeviceUDN(), udn);
        QTRY_VERIFY_WITH_TIMEOUT(ShowsFrame(display->picture(), sim.Frame()), kWaitMs);

        // A new colour shows at once, and the next pictures come in it.
        display->setForeColor(kOtherFore);
        const QImage recoloured = display->grab().toImage();
        QVERIFY(HasColour(recoloured, kOtherFore) && !HasColour(recoloured, kFore));
        const QImage before = display->picture();
        sim.Control("key " + sim.address() + " CK_VOLUME_UP");
        QTRY_VERIFY_WITH_TIMEOUT(display->picture() != before &&
                                     ShowsFrame(display->picture(), sim.Frame()),
                                 kWaitMs);
        QVERIFY(HasColour(display->picture(), kOtherFore) && !HasColour(display->picture(), kFore));

        // Stretched over the widget, two pixels a pixel.
        const QImage painted = display->grab().toImage();
        const QImage picture = display->picture();
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                QCOMPARE(painted.pixelColor(2 * x + 1, 2 * y + 1), picture.pixelColor(x, y));
        const QString file = service.registry() + "/copy.bmp";
        QCOMPARE(display->Copy(file), S_OK);
        QCOMPARE(QImage(file).convertToFormat(picture.format()), picture);

        // The widget gone, its display request is gone.
        QVERIFY(Monitored(udn));
        display.reset();
        QVERIFY(!Monitored(udn));
    }
};

} // namespace velk

QTEST_MAIN(velk::DisplayTest)
#include "velk_display_test.moc"
