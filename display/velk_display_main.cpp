// velk-display: one player's display, live, in a window of any size. It remembers the server and
// the player it was last given (HKCU SOFTWARE\Velk\Display, "Server" and "DeviceUDN") and shows
// them again when started without them. Its "Connection..." menu (and a start without a player)
// opens the connection page.
#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "display/connection_property_page.h"
#include "display/velk_display.h"
#include "platform/reg_key.h"
#include "ui/property_sheet.h"

namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\Velk\\Display";

QString Remembered(const velk::RegKey& key, const char* name)
{
    std::string value;
    return velk::SUCCEEDED(key.QueryStringValue(name, value)) ? QString::fromStdString(value) : QString();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("velk-display");
    QCommandLineParser parser;
    parser.setApplicationDescription("Shows a player's display, live.");
    parser.addHelpOption();
    const QCommandLineOption server_option(
        "server", "the computer that runs the service (host or host:port; default this one)",
        "server");
    const QCommandLineOption udn_option("udn", "the player's UDN", "udn");
    parser.addOption(server_option);
    parser.addOption(udn_option);
    parser.process(app);

    velk::RegKey key;
    const bool have_key = velk::SUCCEEDED(key.Create(velk::Hive::CurrentUser, kSettingsKey));
    QString server = have_key ? Remembered(key, "Server") : QString();
    QString udn = have_key ? Remembered(key, "DeviceUDN") : QString();
    if (parser.isSet(server_option)) {
        server = parser.value(server_option);
        if (have_key)
            key.SetStringValue("Server", server.toStdString());
    }
    if (parser.isSet(udn_option)) {
        udn = parser.value(udn_option);
        if (have_key)
            key.SetStringValue("DeviceUDN", udn.toStdString());
    }

    velk::CVelkDisplay display;
    display.setWindowTitle("Velk Display");
    display.resize(1024, 112);
    display.setServer(server);
    display.setDeviceUDN(udn);
    auto* choose = new QAction(QObject::tr("Connection..."), &display);
    display.addAction(choose);
    display.setContextMenuPolicy(Qt::ActionsContextMenu);
    QObject::connect(choose, &QAction::triggered, &display, [&] {
        velk::PropertySheet sheet(QObject::tr("Velk Display Properties"), &display);
        sheet.AddPage(velk::CConnectionPropertyPage::Record(display));
        if (sheet.Run() && have_key) {
            key.SetStringValue("Server", display.Server().toStdString());
            key.SetStringValue("DeviceUDN", display.DeviceUDN().toStdString());
        }
    });
    display.show();
    if (udn.isEmpty())
        QTimer::singleShot(0, choose, &QAction::trigger);
    return app.exec();
}
