// A news feed added as a user adds one, end to end: `velk` runs and finds a simulated player over
// UPnP inside a private network namespace; the player's news-feed settings are opened as
// velk-configure opens them, the add-feed wizard is driven with the mouse and keyboard against a
// feed served on loopback, the settings are stored and the running service asked to reread
// them; the player then shows the feed's headlines.
#include <QTemporaryDir>
#include <QTest>

#include "platform/registry_test_fixture.h"
#include "providers/common/testdata/velk_service_process.h"
#include "providers/rss/testdata/feed_server.h"
#include "tools/sim/sim_test_support.h"
#include "ui/data_service_state.h"
#include "ui/property_sheet.h"
#include "ui/provider_configuration.h"
#include "ui/testdata/test_page.h"
#include "ui/wizard.h"

namespace velk {
namespace {

using sim::testing::SimProcess;
using test::Click;
using test::TypeInto;
using test::WhenShown;

// Marquees of headlines, as the generic renderer sends them.
bool Shows(const SimProcess& sim, const std::string& headline)
{
    for (const auto& line : sim.Received()) {
        if (line.starts_with("sketch -c marquee") && line.find(headline) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

class RssWizardEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void AFeedAddedThroughTheWizardShowsOnTheRunningServicesPlayer()
    {
        QTemporaryDir registry;
        QVERIFY(registry.isValid());
        setenv("VELK_REGISTRY_DIR", registry.path().toUtf8().constData(), 1);
        unsetenv("VELK_DISCOVERY"); // inside the namespace the service looks for players
        const auto registered = RunProgram({(ProgramFolder() / "velk").string(), "--regserver"});
        QVERIFY2(registered.status == 0, registered.output.c_str());
        // Run as the service, as installed: a plain server would end once its clients leave.
        RegKey app_id;
        QCOMPARE(app_id.Create(Hive::ClassesRoot, "AppID\\{B2CF9A20-8880-4466-8EA7-F0151507BAF1}"), S_OK);
        QCOMPARE(app_id.SetStringValue("LocalService", "Velk"), S_OK);

        testing::FeedServer feeds;
        feeds.Serve("/news.xml", {200, "application/rss+xml",
                                  testing::RssFeed({"Rivers rise after rain", "Market opens higher"})});
        SimProcess sim({"--players", "1"});
        QVERIFY(sim.ready());
        const std::string udn = testing::OnlyPlayerUdn(sim);
        QVERIFY(!udn.empty());

        BackgroundProgram velk({(ProgramFolder() / "velk").string()});
        QVERIFY(velk.started());
        QTRY_VERIFY_WITH_TIMEOUT(IsDataServiceRunning(), 30000);

        std::unique_ptr<ProviderConfiguration> configuration;
        QCOMPARE(ProviderConfiguration::Load(CLSID_VelkRSSServer, udn, configuration), S_OK);
        PropertySheet sheet("Velk Data Server Properties");
        QCOMPARE(configuration->provider().Configure(sheet.adder(), udn, "KD-40"), S_OK);
        // The list is empty: the wizard opens by itself.
        WhenShown<Wizard>([&](Wizard& wizard) {
            Click(wizard, "next");
            Click(wizard, "next");
            TypeInto(wizard, "url", QString::fromStdString(feeds.Url("/news.xml")));
            Click(wizard, "next");
            QTRY_VERIFY(wizard.findChild<QPushButton*>("next")->isEnabled());
            Click(wizard, "next");
            TypeInto(wizard, "title", "Local News");
            Click(wizard, "next");
            Click(wizard, "finish");
            QTimer::singleShot(0, &sheet, [&] { Click(sheet, "ok"); });
        });
        QCOMPARE(sheet.Run(), 1);
        QCOMPARE(configuration->Save(), S_OK);
        QCOMPARE(configuration->Enable(), S_OK);
        QCOMPARE(AskDataServiceToReload(), S_OK);

        QTRY_VERIFY_WITH_TIMEOUT(Shows(sim, "Rivers rise after rain"), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(Shows(sim, "Market opens higher"), 60000);
    }
};

} // namespace velk

QTEST_MAIN(velk::RssWizardEndToEndTest)
#include "rss_wizard_nstest.moc"
