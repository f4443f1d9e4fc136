// The players' property pages as the window and the configuration tool show them: the handler
// created by class id from the registered velkshell.so hands its pages to a real property
// sheet, and the pages talk to velk-sim (without UPnP: the item names the simulated player) or,
// where a player must answer what the simulator never does, to a scripted player.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/class_registry.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "platform/shell_handlers.h"
#include "rcp/testdata/scripted_player.h"
#include "shell/readiness_check.h"
#include "shell/testdata/player_item.h"
#include "shell/velk_property_pages.h"
#include "tools/sim/sim_test_support.h"
#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"
#include "ui/wizard.h"

namespace velk {
namespace {

using sim::testing::PlayerSocket;
using sim::testing::SimProcess;
using test::ButtonOf;
using test::Click;
using test::MessageBoxAnswers;
using test::Picture;
using test::TypeInto;
using test::WhenShown;
using testing::ScriptedPlayer;
using testing::Selection;

constexpr const char* kSheetCaption = "Living Room Properties";
constexpr const char* kUnreachable =
    "This Melodeck cannot be reached. Check that it is switched on and connected to the network.";
constexpr const char* kSetupLink =
    "Please <a href=\"config\">complete the configuration</a> of the device.";
constexpr const char* kQuestion =
    "A new version of Velk firmware 3.2.0 is available. Do you want to install it now?";
constexpr const char* kUpgraded =
    "Your firmware has now been upgraded and the Melodeck rebooted. Please close the property "
    "page and reselect the Melodeck.";

std::string UrlOf(const std::string& address)
{
    return "http://" + address + "/";
}

// A sheet holding the pages the registered handler gives for the player at url.
std::unique_ptr<PropertySheet> OpenSheet(const std::string& url)
{
    auto sheet = std::make_unique<PropertySheet>(kSheetCaption);
    std::vector<UnknownPtr> handlers;
    CreateShellHandlers("MediaRenderer\\Velk", kPropertySheetHandlers, handlers);
    if (handlers.size() != 1)
        qFatal("no property-sheet handler");
    auto init = std::dynamic_pointer_cast<IShellExtInit>(handlers.front());
    auto pages = std::dynamic_pointer_cast<IShellPropSheetExt>(handlers.front());
    if (!init || FAILED(init->Initialize(Selection({url}))) || FAILED(pages->AddPages(sheet->adder())))
        qFatal("the handler gave no pages");
    sheet->resize(420, 380);
    sheet->open();
    return sheet;
}

// The text shown in the page's centre; empty while the page shows its controls.
QString PageText(QWidget& sheet)
{
    auto* text = sheet.findChild<QLabel*>("page_text");
    return text && text->isVisible() ? text->text() : QString();
}

QStringList TabTitles(QWidget& sheet)
{
    QStringList titles;
    auto* tabs = sheet.findChild<QTabBar*>();
    for (int i = 0; tabs && i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    return titles;
}

QComboBox& Combo(QWidget& sheet, const char* name)
{
    return *sheet.findChild<QComboBox*>(name);
}

QCheckBox& Check(QWidget& sheet, const char* name)
{
    return *sheet.findChild<QCheckBox*>(name);
}

// The page has been filled once its controls are there and take input.
bool Filled(QWidget& sheet)
{
    auto* boot = sheet.findChild<QComboBox*>("boot_mode");
    return boot && boot->isVisible() && boot->isEnabled();
}

bool Received(const SimProcess& sim, std::string_view line)
{
    const auto lines = sim.Received();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool ReceivedWord(const SimProcess& sim, std::string_view word)
{
    for (const auto& line : sim.Received()) {
        if (line.starts_with(word))
            return true;
    }
    return false;
}

// A player that answers what the simulator never does: its answers by line, the shell's and
// a music server's as a player's.
ScriptedPlayer::Script PlayerAnswering(std::map<std::string, std::string> answers)
{
    return [answers](std::string_view line, ScriptedPlayer& player) {
        if (player.AnswerShell(line))
            return;
        const std::string text(line.substr(0, line.find_last_not_of(' ') + 1));
        const std::string word = text.substr(0, text.find(' '));
        if (auto it = answers.find(text); it != answers.end())
            player.Send(it->second);
        else if (word == "GetConnectedServer")
            player.Send("GetConnectedServer: Home Music\r\nGetConnectedServer: OK\r\n");
        else if (word == "GetInitialSetupComplete")
            player.Send("GetInitialSetupComplete: Complete\r\nGetInitialSetupComplete: OK\r\n");
        else if (word == "GetSoftwareVersion")
            player.Send("GetSoftwareVersion: 3.1.2\r\n");
        else
            player.Send(word + ": " + (word.starts_with("Set") ? "OK" : "UnknownCommand") + "\r\n");
    };
}

} // namespace

class PlayerPagesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A child run of the read-only case uses the hive it is given.
        if (qEnvironmentVariableIsSet(kReadOnlyChild))
            return;
        QVERIFY(registry_.isValid() && units_.isValid());
        qputenv("VELK_REGISTRY_DIR", registry_.path().toUtf8());
        qputenv("VELK_SYSTEMD_UNIT_DIR", units_.path().toUtf8());
        QCOMPARE(ClassRegistry::RegisterModule(VELK_SHELL_MODULE), S_OK);
    }

    void TheRuleGivesEachUserTheirPages_data()
    {
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<bool>("service");
        QTest::addColumn<int>("count");
        QTest::newRow("user") << false << false << 3;
        QTest::newRow("user, service installed") << false << true << 3;
        QTest::newRow("administrator") << true << false << 4;
        QTest::newRow("administrator, service installed") << true << true << 5;
    }

    void TheRuleGivesEachUserTheirPages()
    {
        QFETCH(bool, administrator);
        QFETCH(bool, service);
        QFETCH(int, count);
        const std::vector<PlayerPage> all = {PlayerPage::NowPlaying, PlayerPage::Presets,
                                             PlayerPage::Advanced, PlayerPage::iTunesUpdate,
                                             PlayerPage::DataServices};
        const auto pages = PlayerPages(administrator, service);
        QCOMPARE(pages, std::vector<PlayerPage>(all.begin(), all.begin() + count));
    }

    // An administrator is a user who may write the machine hive and gets the administrator's
    // pages; one who may only read it (a second run of this program, as such a user over a
    // read-only hive) is none, and gets the user's pages even where the service is installed.
    void OnlyAUserWhoMayWriteTheMachineHiveIsAnAdministrator()
    {
        const std::string player = "http://127.0.0.1/";
        if (qEnvironmentVariableIsSet(kReadOnlyChild)) {
            QVERIFY(!IsUserAnAdmin());
            QCOMPARE(TabTitles(*OpenSheet(player)), QStringList{"Advanced"});
            return;
        }
        QVERIFY(IsUserAnAdmin());
        // The pages that exist so far: "Advanced", and "Data Services" where the service is
        // installed.
        QCOMPARE(TabTitles(*OpenSheet(player)), QStringList{"Advanced"});
        QFile unit(units_.path() + "/velk.service");
        QVERIFY(unit.open(QIODevice::WriteOnly));
        unit.close();
        QCOMPARE(TabTitles(*OpenSheet(player)), (QStringList{"Advanced", "Data Services"}));
        const auto result = RunReadingOnly(
            registry_.path().toStdString(),
            {"env", std::string(kReadOnlyChild) + "=1", QCoreApplication::applicationFilePath().toStdString(),
             "-platform", "offscreen", "OnlyAUserWhoMayWriteTheMachineHiveIsAnAdministrator"});
        unit.remove();
        if (!result)
            QSKIP("cannot run a process as nobody");
        QVERIFY2(result->status == 0, result->output.c_str());
    }

    void UnregisteringTakesTheHandlersAway()
    {
        std::vector<Guid> classes;
        QCOMPARE(ShellHandlerClasses("MediaRenderer\\Velk", kPropertySheetHandlers, classes), S_OK);
        QCOMPARE(classes, std::vector<Guid>{CLSID_VelkPropertyPages});
        RegKey key;
        QCOMPARE(key.Open(Hive::ClassesRoot, "MediaRenderer\\Velk\\shellex\\PropertySheetHandlers\\" +
                                                 CLSID_VelkPropertyPages.ToString()),
                 S_OK);
        std::string name;
        QCOMPARE(key.QueryStringValue("", name), S_OK);
        QCOMPARE(name, std::string("Velk Melodeck"));

        QCOMPARE(ClassRegistry::UnregisterModule(VELK_SHELL_MODULE), S_OK);
        QCOMPARE(ShellHandlerClasses("MediaRenderer\\Velk", kPropertySheetHandlers, classes), S_OK);
        QVERIFY(classes.empty());
        QCOMPARE(ShellHandlerClasses("MediaRenderer\\Velk", kContextMenuHandlers, classes), S_OK);
        QVERIFY(classes.empty());
        QCOMPARE(ClassRegistry::RegisterModule(VELK_SHELL_MODULE), S_OK);
    }

    // The options as the player has them, and back to the player on Apply: checked boxes
    // send "1", unchecked "0", the threshold as typed.
    void TheAdvancedPageEditsThePlayersOptions()
    {
        SimProcess sim({"--no-upnp"});
        QVERIFY(sim.ready());
        {
            PlayerSocket player(sim.address());
            player.Greeting();
            player.EnterRcp();
            for (const char* setting : {"bootMode serverList", "standbyMode screenOff", "displayComposer 1",
                                        "scrollLongInfo 0", "wmaThreshold 120"})
                player.Rcp(std::string("SetOption ") + setting);
        }
        auto sheet = OpenSheet(UrlOf(sim.address()));
        QTRY_VERIFY(Filled(*sheet));
        QCOMPARE(Combo(*sheet, "boot_mode").currentText(), QString("Server List"));
        QCOMPARE(Combo(*sheet, "standby_mode").currentText(), QString("Screen Off"));
        QVERIFY(Check(*sheet, "displayComposer").isChecked());
        QVERIFY(!Check(*sheet, "scrollLongInfo").isChecked());
        QCOMPARE(sheet->findChild<QSpinBox*>()->value(), 120);
        QVERIFY(!sheet->findChild<QTimer*>("upgrade_timer"));
        Picture(*sheet, "player-advanced");

        Check(*sheet, "displayComposer").setChecked(false);
        Check(*sheet, "scrollLongInfo").setChecked(true);
        Combo(*sheet, "standby_mode").setCurrentIndex(0);
        TypeInto(*sheet, "wmaThreshold", "250");
        QVERIFY(ButtonOf(*sheet, "apply")->isEnabled());
        Click(*sheet, "apply");
        for (const char* line : {"SetOption displayComposer 0", "SetOption scrollLongInfo 1",
                                 "SetOption wmaThreshold 250", "SetOption standbyMode clock",
                                 "SetOption bootMode serverList"})
            QVERIFY2(Received(sim, line), line);
        PlayerSocket player(sim.address());
        player.Greeting();
        player.EnterRcp();
        QCOMPARE(player.Rcp("GetOption wmaThreshold", true), std::vector<std::string>{"GetOption: 250"});
    }

    // A word outside the page's table leaves the combo without selection; an unselected combo
    // sends an empty value.
    void AnUnknownModeWordLeavesNoSelection()
    {
        ScriptedPlayer player(PlayerAnswering({
            {"GetOption bootMode", "GetOption: hibernate\r\n"},
            {"GetOption standbyMode", "GetOption: clock\r\n"},
            {"GetOption outputMultichannel", "GetOption: 1\r\n"},
            {"GetOption wmaThreshold", "GetOption: 64\r\n"},
        }));
        auto sheet = OpenSheet(UrlOf(player.address()));
        QTRY_VERIFY(Filled(*sheet));
        QCOMPARE(Combo(*sheet, "boot_mode").currentIndex(), -1);
        QCOMPARE(Combo(*sheet, "standby_mode").currentText(), QString("Show Time"));
        QVERIFY(Check(*sheet, "outputMultichannel").isChecked());
        QVERIFY(!Check(*sheet, "revertToNowPlaying").isChecked());
        QCOMPARE(sheet->findChild<QSpinBox*>()->value(), 64);

        Check(*sheet, "revertToNowPlaying").setChecked(true);
        Click(*sheet, "apply");
        const auto lines = player.ReceivedLines();
        for (const char* line : {"SetOption bootMode ", "SetOption revertToNowPlaying 1",
                                 "SetOption outputMultichannel 1", "SetOption wmaThreshold 64"})
            QVERIFY2(std::find(lines.begin(), lines.end(), line) != lines.end(), line);
    }

    // Without "GetSoftwareVersion" the firmware counts as 2.5.151; "NoUpgradeAvailable" is no
    // offer, a version is.
    void TheReadinessCheckReadsFirmwareAndOffer()
    {
        ScriptedPlayer old_player(PlayerAnswering({
            {"GetSoftwareVersion", "GetSoftwareVersion: UnknownCommand\r\n"},
            {"CheckSoftwareUpgrade", "CheckSoftwareUpgrade: NoUpgradeAvailable\r\nCheckSoftwareUpgrade: OK\r\n"},
        }));
        CControlSession session;
        QCOMPARE(ConnectAndCheckSetup(session, old_player.address()).hr, S_OK);
        Readiness readiness = FinishReadinessCheck(session);
        QCOMPARE(readiness.hr, S_OK);
        QVERIFY((readiness.firmware == FirmwareVersion{2, 5, 151}));
        QVERIFY((readiness.offered_upgrade == FirmwareVersion{}));

        SimProcess sim({"--no-upnp", "--upgrade", "3.2.0", "--no-server"});
        QVERIFY(sim.ready());
        CControlSession sim_session;
        QCOMPARE(ConnectAndCheckSetup(sim_session, sim.address()).hr, S_OK);
        readiness = FinishReadinessCheck(sim_session);
        QCOMPARE(readiness.hr, E_RCP_DISCONNECTED);
        QVERIFY((readiness.firmware == FirmwareVersion{3, 1, 2}));
        QVERIFY((readiness.offered_upgrade == FirmwareVersion{3, 2, 0}));
    }

    void OutcomesShownInThePage_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("picture");
        QTest::newRow("disabled") << QStringList{"--disabled"}
                                  << "Remote control has been disabled for this Melodeck."
                                  << "player-disabled";
        QTest::newRow("unreachable") << QStringList{} << kUnreachable << "player-unreachable";
        QTest::newRow("no server") << QStringList{"--no-server"} << "" << "";
    }

    void OutcomesShownInThePage()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, text);
        QFETCH(QString, picture);
        std::vector<std::string> args = {"--no-upnp"};
        for (const auto& option : options)
            args.push_back(option.toStdString());
        SimProcess sim(args);
        QVERIFY(sim.ready());
        // Nothing answers on the unreachable player's address: the simulator's second one.
        const std::string address = options.isEmpty() ? sim.address(1) : sim.address();
        auto sheet = OpenSheet(UrlOf(address));
        if (text.isEmpty()) {
            QTRY_VERIFY(Filled(*sheet));
            return;
        }
        QTRY_COMPARE(PageText(*sheet), text);
        Picture(*sheet, picture.toUtf8().constData());
    }

    // Setup not complete: the wizard shows with the player's choices; cancelled, the page
    // offers it again through its link; finished, the choices reach the player and the page
    // fills itself.
    void AnIncompleteSetupRunsTheWizard()
    {
        SimProcess sim({"--no-upnp", "--setup-required"});
        QVERIFY(sim.ready());
        WhenShown<Wizard>([](Wizard& wizard) { Click(wizard, "cancel"); });
        auto sheet = OpenSheet(UrlOf(sim.address()));
        QTRY_COMPARE(PageText(*sheet), QString(kSetupLink));
        Picture(*sheet, "player-setup-link");
        QVERIFY(!ReceivedWord(sim, "SetInitialSetupComplete"));

        bool finished = false;
        WhenShown<Wizard>([&finished](Wizard& wizard) {
            auto& region = *wizard.findChild<QComboBox*>("region");
            QCOMPARE(region.currentText(), QString("United States"));
            QCOMPARE(region.count(), 10);
            region.setCurrentIndex(region.findText("Germany"));
            Picture(wizard, "player-setup-wizard-choices");
            Click(wizard, "next");
            QVERIFY(!ButtonOf(wizard, "finish")->isEnabled());
            wizard.findChild<QCheckBox*>("agree")->setChecked(true);
            QVERIFY(ButtonOf(wizard, "finish")->isEnabled());
            Picture(wizard, "player-setup-wizard-terms");
            Click(wizard, "finish");
            finished = true;
        });
        QMetaObject::invokeMethod(sheet->findChild<QLabel*>("page_text"), "linkActivated",
                                  Q_ARG(QString, "config"));
        QVERIFY(finished);
        QTRY_VERIFY(Filled(*sheet));
        for (const char* line : {"SetRegion Germany", "AcceptTermsOfService", "SetInitialSetupComplete"})
            QVERIFY2(Received(sim, line), line);
    }

    // An offered upgrade is proposed once the page is filled: No sends nothing to the player;
    // Yes runs it, its progress shown, and the player restarts.
    void AnOfferedUpgradeIsProposed()
    {
        SimProcess sim({"--no-upnp", "--upgrade", "3.2.0"});
        QVERIFY(sim.ready());
        {
            MessageBoxAnswers no(QMessageBox::No);
            auto sheet = OpenSheet(UrlOf(sim.address()));
            QTRY_COMPARE(no.texts, QStringList{kQuestion});
            QVERIFY(sheet->findChild<QTimer*>("upgrade_timer"));
            // The apply's commands go after anything the answer might have queued.
            Check(*sheet, "displayComposer").toggle();
            Click(*sheet, "apply");
            QVERIFY(ReceivedWord(sim, "SetOption displayComposer"));
            QVERIFY(!ReceivedWord(sim, "ExecuteSoftwareUpgrade"));
            QVERIFY(!ReceivedWord(sim, "ServerDisconnect"));
        }

        MessageBoxAnswers yes(QMessageBox::Yes);
        auto sheet = OpenSheet(UrlOf(sim.address()));
        QTRY_COMPARE(yes.texts, QStringList{kQuestion});
        QLabel* stage = nullptr;
        QTRY_VERIFY((stage = sheet->findChild<QLabel*>("stage")) != nullptr);
        QPointer<QWidget> progress = stage->window();
        auto* bar = sheet->findChild<QProgressBar*>("progress");
        QTRY_VERIFY(!progress || (stage->text() == "Downloading Upgrade" && bar->value() > 20));
        if (progress)
            Picture(*progress, "player-upgrade-progress");
        QTRY_COMPARE(yes.texts, (QStringList{kQuestion, kUpgraded}));
        QVERIFY(!progress);
        QVERIFY(Received(sim, "ExecuteSoftwareUpgrade"));
        QTRY_VERIFY(Received(sim, "Reboot"));
        QTRY_VERIFY(!sheet->isVisible());
    }

    // Cancel stops the upgrade at the player's next report: the player is not restarted and
    // the page stays.
    void ACancelledUpgradeStops()
    {
        SimProcess sim({"--no-upnp", "--upgrade", "3.2.0"});
        QVERIFY(sim.ready());
        MessageBoxAnswers yes(QMessageBox::Yes);
        auto sheet = OpenSheet(UrlOf(sim.address()));
        QLabel* stage = nullptr;
        QTRY_VERIFY((stage = sheet->findChild<QLabel*>("stage")) != nullptr);
        QPointer<QWidget> progress = stage->window();
        Click(*progress, "cancel");
        QTRY_VERIFY(!progress);
        QCOMPARE(yes.texts, QStringList{kQuestion});
        QVERIFY(Received(sim, "CancelTransaction ExecuteSoftwareUpgrade"));
        QVERIFY(!Received(sim, "Reboot"));
        QVERIFY(sheet->isVisible());
        QVERIFY(Filled(*sheet));
    }

private:
    QTemporaryDir registry_;
    QTemporaryDir units_;
};

} // namespace velk

QTEST_MAIN(velk::PlayerPagesTest)
#include "player_pages_test.moc"
