// velkconfig for a simulated player found over UPnP inside a private network namespace: by UDN
// and by address it shows the sheet of the pages registered for Melodeck players (velkshell.so,
// registered with the service as after installation); with none registered it shows no sheet.
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include "platform/registry_test_fixture.h"
#include "providers/common/testdata/velk_service_process.h"
#include "tools/sim/sim_test_support.h"
#include "tools/velkconfig/config_tool.h"
#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"

namespace velk {

class VelkConfigEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(registry_.isValid() && units_.isValid());
        setenv("VELK_REGISTRY_DIR", registry_.path().toUtf8().constData(), 1);
        setenv("VELK_SYSTEMD_UNIT_DIR", units_.path().toUtf8().constData(), 1);
        QVERIFY(sim_.ready());
        udn_ = testing::OnlyPlayerUdn(sim_);
        QVERIFY(!udn_.empty());
    }

    void TheSheetHoldsThePlayersOwnPagesByUdnAndByAddress_data()
    {
        QTest::addColumn<QString>("player");
        QTest::newRow("UDN") << QString::fromStdString(udn_);
        QTest::newRow("address") << QString::fromStdString(sim_.address());
    }

    void TheSheetHoldsThePlayersOwnPagesByUdnAndByAddress()
    {
        QFETCH(QString, player);
        // As installed: the service and its modules registered, its unit in place.
        const auto registered = RunProgram({(ProgramFolder() / "velk").string(), "--service"});
        QVERIFY2(registered.status == 0, registered.output.c_str());

        QString caption;
        QStringList tabs;
        test::WhenShown<PropertySheet>([&](PropertySheet& sheet) {
            caption = sheet.windowTitle();
            auto* bar = sheet.findChild<QTabBar*>();
            for (int i = 0; i < bar->count(); ++i)
                tabs << bar->tabText(i);
            bar->setCurrentIndex(1);
            test::Picture(sheet, "velkconfig");
            test::Click(sheet, "cancel");
        });
        QCOMPARE(RunConfigTool({player}), 0);
        QCOMPARE(caption, QString("Living Room Properties"));
        // This test may write the machine hive: it is an administrator, and the service is there.
        QCOMPARE(tabs, (QStringList{"Advanced", "Data Services"}));
    }

    void WithoutRegisteredPagesThereIsNoSheet()
    {
        const auto unregistered = RunProgram({(ProgramFolder() / "velk").string(), "--unregserver"});
        QVERIFY2(unregistered.status == 0, unregistered.output.c_str());
        test::MessageBoxAnswers answers;
        QCOMPARE(RunConfigTool({QString::fromStdString(udn_)}), 1);
        QCOMPARE(answers.texts.size(), 1);
        QVERIFY(answers.texts.front().startsWith("Unable to retrieve device properties"));
    }

private:
    QTemporaryDir registry_;
    QTemporaryDir units_;
    sim::testing::SimProcess sim_{{"--players", "1"}};
    std::string udn_;
};

} // namespace velk

QTEST_MAIN(velk::VelkConfigEndToEndTest)
#include "velkconfig_nstest.moc"
