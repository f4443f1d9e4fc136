// The display mirror widget: its two messages, and (inside a private network namespace, with
// the real service finding a simulated player) the live picture, its copy, and the display
// request it gives back when it goes.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "automation/automation_client.h"
#include "display/velk_display.h"
#include "tools/sim/sim_test_support.h"

namespace velk {

namespace {

constexpr int kWaitMs = 30000;
const QColor kBack(0x10, 0x20, 0x30);
const QColor kFore(0xF0, 0xE0, 0x00);

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

// A member's result, called by name as scripts do.
Variant Call(const DispatchablePtr& object, std::string_view name, MemberKind kind,
             std::vector<Variant> args = {})
{
    const MemberDesc* member = object->Table().Find(name, kind);
    Variant result;
    if (!member || FAILED(object->Invoke(member->dispid, kind, args, result)))
        return {};
    return result;
}

DispatchablePtr Object(const Variant& value)
{
    UnknownPtr object;
    return SUCCEEDED(value.ToObject(object)) ? std::dynamic_pointer_cast<IDispatchable>(object)
                                             : nullptr;
}

// Whether some client monitors the player's display, as the service says.
bool Monitored(const DispatchablePtr& root, const QString& udn)
{
    const auto devices = Object(Call(root, "VelkDevices", MemberKind::PropertyGet));
    const auto player = devices ? Object(Call(devices, "Item", MemberKind::Method,
                                              {Variant(udn.toStdString())}))
                                : nullptr;
    const auto session = player ? Object(Call(player, "RCPSession", MemberKind::PropertyGet))
                                : nullptr;
    bool on = false;
    return session && SUCCEEDED(Call(session, "MonitorDisplay", MemberKind::PropertyGet).ToBool(on)) &&
           on;
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

    void MirrorsASimulatedPlayerThroughTheService()
    {
        const QByteArray service = qgetenv("VELK_MIRROR_SERVICE");
        if (service.isEmpty())
            QSKIP("runs inside a private network namespace (service.display_mirror_in_namespace)");
        QTemporaryDir registry;
        qputenv("VELK_REGISTRY_DIR", registry.path().toUtf8());
        qunsetenv("VELK_DISCOVERY");
        sim::testing::SimProcess sim({"--display", "Small VFD"});
        QVERIFY(sim.ready());
        QProcess velk;
        velk.start(QString::fromUtf8(service), {});
        QVERIFY(velk.waitForStarted());
        const auto players = sim.Control("players");
        QCOMPARE(players.size(), std::size_t{1});
        const QString udn = QString::fromStdString(players[0]).split('\t').value(5);

        auto display = std::make_unique<CVelkDisplay>();
        display->setBackColor(kBack);
        display->setForeColor(kFore);
        display->resize(560, 32);
        QTRY_VERIFY_WITH_TIMEOUT(SUCCEEDED(display->setServer("")) &&
                                     SUCCEEDED(display->setDeviceUDN(udn)),
                                 kWaitMs);
        QCOMPARE(display->readyState(), CVelkDisplay::ReadyStateComplete);
        QTRY_VERIFY_WITH_TIMEOUT(ShowsFrame(display->picture(), sim.Frame()), kWaitMs);
        const QImage before = display->picture();
        sim.Control("key " + sim.address() + " CK_VOLUME_UP");
        QTRY_VERIFY_WITH_TIMEOUT(display->picture() != before &&
                                     ShowsFrame(display->picture(), sim.Frame()),
                                 kWaitMs);

        // Stretched over the widget, two pixels a pixel.
        const QImage painted = display->grab().toImage();
        const QImage picture = display->picture();
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                QCOMPARE(painted.pixelColor(2 * x + 1, 2 * y + 1), picture.pixelColor(x, y));
        const QString file = registry.filePath("copy.bmp");
        QCOMPARE(display->Copy(file), S_OK);
        QCOMPARE(QImage(file).convertToFormat(picture.format()), picture);

        // The widget gone, its display request is gone.
        std::shared_ptr<AutomationClient> client;
        QCOMPARE(AutomationClient::Connect("127.0.0.1", CVelkDisplay::kDefaultPort, "", client),
                 S_OK);
        QVERIFY(Monitored(client->Root(), udn));
        display.reset();
        QVERIFY(!Monitored(client->Root(), udn));
        client.reset();
        velk.terminate();
        QVERIFY(velk.waitForFinished(kWaitMs));
    }
};

} // namespace velk

QTEST_MAIN(velk::DisplayTest)
#include "velk_display_test.moc"
