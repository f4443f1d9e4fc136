// The players' context menu as the window uses it: the handler created by class id from the
// registered velkshell.so, its menu rules, its command strings, and the telnet verb starting a
// fixture terminal from PATH that records its arguments (no real terminal or telnet needed).
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/class_registry.h"
#include "platform/shell_handlers.h"
#include "shell/player_identity.h"
#include "shell/testdata/player_item.h"
#include "shell/velk_menu.h"
#include "ui/testdata/test_page.h"

namespace velk {
namespace {

using test::MessageBoxAnswers;
using testing::Selection;

constexpr const char* kPlayerUrl = "http://127.0.0.2/";
constexpr unsigned kFirstId = 100;
constexpr unsigned kLastId = 199;

// The menu's entries as text: "&Telnet(100)*" (* for the default), "-" for a separator.
QStringList Entries(const ContextMenu& menu)
{
    QStringList entries;
    for (const auto& item : menu.items) {
        if (item.separator)
            entries << "-";
        else
            entries << QString("%1(%2)%3")
                           .arg(QString::fromStdString(item.text))
                           .arg(item.command_id)
                           .arg(menu.default_command == item.command_id ? "*" : "");
    }
    return entries;
}

// A program written into the folder: a shell script of the given body.
void WriteProgram(const QString& folder, const char* name, const QByteArray& body)
{
    QFile file(folder + "/" + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

} // namespace

class VelkMenuTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(registry_.isValid() && programs_.isValid());
        qputenv("VELK_REGISTRY_DIR", registry_.path().toUtf8());
        QCOMPARE(ClassRegistry::RegisterModule(VELK_SHELL_MODULE), S_OK);
        // Only the fixture programs are found: no real terminal or telnet takes part.
        qputenv("PATH", programs_.path().toUtf8());
        qunsetenv("TERMINAL");
        record_ = programs_.path() + "/arguments";
        WriteProgram(programs_.path(), "telnet", "exit 0\n");
        WriteProgram(programs_.path(), "x-terminal-emulator",
                     "printf '%s\\n' \"$@\" > '" + record_.toUtf8() + ".part'\n/bin/mv '" +
                         record_.toUtf8() + ".part' '" + record_.toUtf8() + "'\n");
    }

    void init() { QFile::remove(record_); }

    void TheMenuHandlerIsRegisteredForMelodeckPlayers()
    {
        std::vector<UnknownPtr> handlers;
        QCOMPARE(CreateShellHandlers("MediaRenderer\\Velk", kContextMenuHandlers, handlers), S_OK);
        QCOMPARE(handlers.size(), 1u);
        QVERIFY(std::dynamic_pointer_cast<IContextMenu>(handlers.front()));
    }

    void MenuRules_data()
    {
        QTest::addColumn<int>("items");
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<qlonglong>("result");
        QTest::addColumn<QStringList>("entries");

        QTest::newRow("no Shift: the separator alone") << 1 << CMF_NORMAL << 1LL << QStringList{"-"};
        QTest::newRow("Shift, one player: Telnet, the default")
            << 1 << CMF_EXTENDEDVERBS << 2LL << QStringList{"&Telnet(100)*", "-"};
        QTest::newRow("Shift, two players: no Telnet") << 2 << CMF_EXTENDEDVERBS << 1LL << QStringList{"-"};
        QTest::newRow("default only: nothing")
            << 1 << (CMF_DEFAULTONLY | CMF_EXTENDEDVERBS) << 1LL << QStringList{};
    }

    void MenuRules()
    {
        QFETCH(int, items);
        QFETCH(unsigned, flags);
        QFETCH(qlonglong, result);
        QFETCH(QStringList, entries);

        auto menu_handler = Handler(std::vector<std::string>(items, kPlayerUrl));
        ContextMenu menu;
        menu.Insert(0, {1, "&Open", false, false});
        QCOMPARE(qlonglong(menu_handler->QueryContextMenu(menu, 1, kFirstId, kLastId, flags)), result);
        QCOMPARE(Entries(menu), QStringList{"&Open(1)"} + entries);
    }

    void QueryingBeforeInitializeFails()
    {
        UnknownPtr object;
        QCOMPARE(ClassRegistry::CreateInstance(CLSID_VelkMenu, object), S_OK);
        auto menu_handler = std::dynamic_pointer_cast<IContextMenu>(object);
        ContextMenu menu;
        QCOMPARE(menu_handler->QueryContextMenu(menu, 0, kFirstId, kLastId, CMF_EXTENDEDVERBS), E_FAIL);
        QCOMPARE(std::dynamic_pointer_cast<IShellExtInit>(object)->Initialize(nullptr), E_INVALIDARG);
    }

    void CommandStrings_data()
    {
        QTest::addColumn<unsigned>("offset");
        QTest::addColumn<unsigned>("type");
        QTest::addColumn<qlonglong>("result");
        QTest::addColumn<QString>("text");

        QTest::newRow("verb") << 0u << GCS_VERB << qlonglong(S_OK) << "telnet";
        QTest::newRow("help") << 0u << GCS_HELPTEXT << qlonglong(S_OK)
                              << "Open up a telnet connection to your Melodeck";
        QTest::newRow("validate") << 0u << GCS_VALIDATE << qlonglong(S_OK) << "";
        QTest::newRow("unknown offset") << 1u << GCS_VERB << qlonglong(E_INVALIDARG) << "";
    }

    void CommandStrings()
    {
        QFETCH(unsigned, offset);
        QFETCH(unsigned, type);
        QFETCH(qlonglong, result);
        QFETCH(QString, text);

        std::string given;
        QCOMPARE(qlonglong(Handler({kPlayerUrl})->GetCommandString(offset, type, given)), result);
        QCOMPARE(QString::fromStdString(given), text);
    }

    // Only the command offset 0 runs the verb; it starts the terminal with telnet on the
    // player's port, each word an argument of its own.
    void TheTelnetVerbRunsTheTerminalWithTelnet()
    {
        auto menu_handler = Handler({kPlayerUrl});
        QCOMPARE(menu_handler->InvokeCommand({std::string("telnet"), nullptr}), E_FAIL);
        QCOMPARE(menu_handler->InvokeCommand({1u, nullptr}), E_FAIL);
        QVERIFY(!QFile::exists(record_));

        QCOMPARE(menu_handler->InvokeCommand({0u, nullptr}), S_OK);
        QTRY_VERIFY(QFile::exists(record_));
        QCOMPARE(Recorded(), (QStringList{"-e", "telnet", "127.0.0.2", "4444"}));
    }

    void TheTerminalNamedInTerminalIsUsed()
    {
        WriteProgram(programs_.path(), "my-terminal",
                     "printf 'mine %s\\n' \"$@\" > '" + record_.toUtf8() + ".part'\n/bin/mv '" +
                         record_.toUtf8() + ".part' '" + record_.toUtf8() + "'\n");
        qputenv("TERMINAL", "my-terminal");
        QCOMPARE(Handler({"http://melodeck-kitchen.local:8080/setup"})->InvokeCommand({0u, nullptr}), S_OK);
        qunsetenv("TERMINAL");
        QTRY_VERIFY(QFile::exists(record_));
        QCOMPARE(Recorded().mid(2), (QStringList{"mine melodeck-kitchen.local", "mine 4444"}));
    }

    // A device on the network names its own presentation URL: an address that is no host name
    // or IP address never reaches the terminal's command line.
    void AHostileAddressNeverReachesTheCommandLine_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("option") << "http://-oProxyCommand=touch%20x/";
        QTest::newRow("option word") << "http://-l/";
        QTest::newRow("blank") << "http://melodeck kitchen/";
        QTest::newRow("shell words") << "http://a;reboot/";
        QTest::newRow("too long") << "http://" + QString(129, 'a') + "/";
        QTest::newRow("no URL") << "127.0.0.2";
        QTest::newRow("none") << "";
    }

    void AHostileAddressNeverReachesTheCommandLine()
    {
        QFETCH(QString, url);
        MessageBoxAnswers answers;
        QCOMPARE(Handler({url.toStdString()})->InvokeCommand({0u, nullptr}), S_OK);
        QCOMPARE(answers.texts, QStringList{"The Melodeck gives no address that a telnet window could "
                                            "connect to (its presentation URL names no host name or IP "
                                            "address)."});
        QVERIFY(!QFile::exists(record_));
    }

    void MissingProgramsAreTold_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("message");
        QTest::newRow("terminal") << "x-terminal-emulator"
                                  << "No terminal emulator was found to open the telnet window in. Install "
                                     "one (the desktop's x-terminal-emulator), or name it in the TERMINAL "
                                     "environment variable.";
        QTest::newRow("telnet") << "telnet"
                                << "The telnet program is not installed. Install it (the package "
                                   "\"telnet\") to open a telnet window on the Melodeck.";
    }

    void MissingProgramsAreTold()
    {
        QFETCH(QString, missing);
        QFETCH(QString, message);
        const QString path = programs_.path() + "/" + missing;
        const QString aside = path + ".aside";
        QVERIFY(QFile::rename(path, aside));
        MessageBoxAnswers answers;
        const HRESULT hr = Handler({kPlayerUrl})->InvokeCommand({0u, nullptr});
        QFile::rename(aside, path);
        QCOMPARE(hr, S_OK);
        QCOMPARE(answers.texts, QStringList{message});
        QVERIFY(!QFile::exists(record_));
    }

    void PlayerHosts_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("host");
        QTest::newRow("IPv4") << "http://192.168.1.20/" << "192.168.1.20";
        QTest::newRow("name and port") << "http://Melodeck-1.example:8080/x" << "melodeck-1.example";
        QTest::newRow("IPv6") << "http://[fe80::1]/" << "fe80::1";
        QTest::newRow("128 characters") << "http://" + QString(60, 'a') + "." + QString(63, 'b') + ".com/"
                                        << QString(60, 'a') + "." + QString(63, 'b') + ".com";
        QTest::newRow("label from hyphen") << "http://-x.example/" << "";
        QTest::newRow("label to hyphen") << "http://x-.example/" << "";
        QTest::newRow("empty label") << "http://a..b/" << "";
        QTest::newRow("underscore") << "http://a_b/" << "";
        QTest::newRow("percent") << "http://a%25b/" << "";
    }

    void PlayerHosts()
    {
        QFETCH(QString, url);
        QFETCH(QString, host);
        QCOMPARE(QString::fromStdString(PlayerHost(url.toStdString()).value_or("")), host);
    }

private:
    std::shared_ptr<IContextMenu> Handler(const std::vector<std::string>& urls)
    {
        std::shared_ptr<IShellExtInit> init;
        if (FAILED(ClassRegistry::CreateInstance(CLSID_VelkMenu, init)) ||
            FAILED(init->Initialize(Selection(urls))))
            qFatal("no menu handler");
        return std::dynamic_pointer_cast<IContextMenu>(init);
    }

    QStringList Recorded() const
    {
        QFile file(record_);
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir registry_;
    QTemporaryDir programs_;
    QString record_;
};

} // namespace velk

QTEST_MAIN(velk::VelkMenuTest)
#include "velk_menu_test.moc"
