// velk-display: one player's display, live, in a window of any size. It remembers the server and
// the player it was last given (HKCU SOFTWARE\Velk\Display, "Server" and "DeviceUDN") and shows
// them again when started without them.
#include <QApplication>
#include <QCommandLineParser>

#include "display/velk_display.h"
#include "platform/reg_key.h"

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
    display.show();
    return app.exec();
}
