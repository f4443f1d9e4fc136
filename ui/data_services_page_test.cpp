// The "Data Services" page over a scratch machine hive with the real time, news-feed and
// caller-ID providers registered, and a simulated player for the fonts of the "General" page.
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

#include "platform/class_registry.h"
#include "platform/data_server_layout.h"
#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "platform/reg_stream.h"
#include "platform/stream_fields.h"
#include "providers/callerid/velk_tapi_server.h"
#include "providers/rss/velk_rss_server.h"
#include "providers/time/velk_time_server.h"
#include "tools/sim/sim_test_support.h"
#include "ui/data_services_page.h"
#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"

namespace velk {
namespace {

using test::MessageBoxAnswers;
using test::WhenShown;

constexpr const char* kPlayerKey = "0c6a5d2e-1f3b-4a7c-9d8e-123456789abc";

UPnPDeviceInfo Player(const std::string& model)
{
    UPnPDeviceInfo player;
    player.udn = std::string("uuid:") + kPlayerKey;
    player.friendly_name = "Living Room";
    player.model_number = model;
    return player;
}

RegKey PlayerKeyOpened()
{
    RegKey key;
    key.Create(Hive::LocalMachine, PlayerKeyPath(kPlayerKey));
    return key;
}

QStringList StoredClasses()
{
    RegKey key = PlayerKeyOpened();
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (FAILED(key.QueryValue(kClassesValue, type, data)))
        return {"(none)"};
    std::vector<std::string> classes;
    key.QueryMultiStringValue(kClassesValue, classes);
    QStringList list;
    for (const auto& clsid : classes)
        list << QString::fromStdString(clsid);
    return type == REG_MULTI_SZ ? list : QStringList{"(not a list)"};
}

// The host header a provider is stored with for the player: the count and the three fields.
std::vector<int> StoredHeader(const Guid& clsid)
{
    std::shared_ptr<IStream> stream;
    if (FAILED(OpenRegStream(Hive::LocalMachine, PlayerKeyPath(kPlayerKey) + "\\" + clsid.ToString(),
                             kParametersValue, StreamMode::Read, stream)))
        return {};
    std::uint16_t count = 0, font = 0, show = 0;
    std::int32_t timeout = 0;
    ReadUInt16(*stream, count);
    ReadUInt16(*stream, font);
    ReadInt32(*stream, timeout);
    ReadUInt16(*stream, show);
    return {count, font, timeout, show};
}

QString Text(const Guid& clsid)
{
    return QString::fromStdString(clsid.ToString());
}

struct OpenPage {
    explicit OpenPage(const std::string& model = "KD-40", const std::string& host = "127.0.0.1")
        : sheet("Living Room Properties")
    {
        sheet.AddPage(CVelkPage::Record(nullptr, Player(model), host));
        sheet.open();
        idle = sheet.findChild<QComboBox*>("idle");
        events = sheet.findChild<QListWidget*>("events");
        show = sheet.findChild<QComboBox*>("show");
    }

    QListWidgetItem* Event(const Guid& clsid)
    {
        for (int i = 0; i < events->count(); ++i) {
            if (events->item(i)->data(Qt::UserRole).toString() == Text(clsid))
                return events->item(i);
        }
        return nullptr;
    }

    PropertySheet sheet;
    QComboBox* idle;
    QListWidget* events;
    QComboBox* show;
};

} // namespace

class DataServicesPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(registry_.isValid());
        setenv("VELK_REGISTRY_DIR", registry_.path().toUtf8().constData(), 1);
        setenv("VELK_SYSTEMD_UNIT_DIR", units_.path().toUtf8().constData(), 1);
        for (const char* module : {VELK_TIME_MODULE, VELK_RSS_MODULE, VELK_TAPI_MODULE})
            QCOMPARE(ClassRegistry::RegisterModule(module), S_OK);
        // No service answers here, whatever else runs on this machine.
        RegKey server;
        QCOMPARE(server.Create(Hive::LocalMachine, kDataServerKey), S_OK);
        QCOMPARE(server.SetDWORDValue(kAutomationPortValue, 1), S_OK);
    }

    void init()
    {
        RegKey providers;
        providers.Create(Hive::LocalMachine, std::string(kDataProvidersKey));
        providers.DeleteTree(kPlayerKey);
        std::filesystem::remove(units_.filePath("velk.service").toStdString());
    }

    void TheListsShowWhatIsStoredAndTheRestOnlyWhenDroppedDown()
    {
        // One class as REG_SZ, stored with a header that holds the font only.
        RegKey key = PlayerKeyOpened();
        key.SetStringValue(kClassesValue, CLSID_VelkTimeServer.ToString());
        std::shared_ptr<IStream> stream;
        QCOMPARE(OpenRegStream(Hive::LocalMachine, PlayerKeyPath(kPlayerKey) + "\\" + CLSID_VelkTimeServer.ToString(),
                               kParametersValue, StreamMode::Write, stream), S_OK);
        WriteUInt16(*stream, 1);
        WriteUInt16(*stream, 3);
        QCOMPARE(stream->Commit(), S_OK);

        OpenPage page;
        QCOMPARE(page.idle->count(), 2);
        QCOMPARE(page.idle->itemText(0), QString("(None selected)"));
        QCOMPARE(page.idle->currentText(), QString("Velk Time Server"));
        QVERIFY(page.sheet.findChild<QPushButton*>("configure")->isVisible());
        QVERIFY(page.Event(CLSID_VelkTAPIServer));
        QCOMPARE(page.Event(CLSID_VelkTAPIServer)->checkState(), Qt::Unchecked);
        QCOMPARE(page.show->currentText(), QString("All the time")); // the default: not stored

        page.idle->showPopup();
        page.idle->hidePopup();
        QStringList names;
        for (int i = 0; i < page.idle->count(); ++i)
            names << page.idle->itemText(i);
        QCOMPARE(names, (QStringList{"(None selected)", "Velk Time Server", "Velk RSS Newsfeed Server"}));
        test::Picture(page.sheet, "player-data-services");
    }

    void ApplyListsEachChosenProviderOnceAndRemovesTheRest()
    {
        PlayerKeyOpened().SetStringValue(kClassesValue, CLSID_VelkTimeServer.ToString());
        MessageBoxAnswers answers;
        OpenPage page;
        QListWidgetItem* caller_id = page.Event(CLSID_VelkTAPIServer);

        caller_id->setCheckState(Qt::Checked);
        page.show->setCurrentIndex(2);
        test::Click(page.sheet, "apply");
        QCOMPARE(StoredClasses(), (QStringList{Text(CLSID_VelkTimeServer), Text(CLSID_VelkTAPIServer)}));
        QCOMPARE(StoredHeader(CLSID_VelkTimeServer), (std::vector<int>{3, 2, 10000, 2}));

        caller_id->setCheckState(Qt::Unchecked);
        caller_id->setCheckState(Qt::Checked);
        test::Click(page.sheet, "apply");
        QCOMPARE(StoredClasses(), (QStringList{Text(CLSID_VelkTimeServer), Text(CLSID_VelkTAPIServer)}));

        page.idle->setCurrentIndex(0);
        caller_id->setCheckState(Qt::Unchecked);
        test::Click(page.sheet, "apply");
        QCOMPARE(StoredClasses(), QStringList{"(none)"});

        // No service unit on this machine: each apply says so.
        QCOMPARE(answers.texts.size(), 3);
        QVERIFY(answers.texts.front().startsWith("The Velk Data Service has not been installed"));
    }

    void AServiceThatDoesNotRunIsOfferedAStart()
    {
        std::ofstream(units_.filePath("velk.service").toStdString()) << "[Unit]\n";
        MessageBoxAnswers answers(QMessageBox::No);
        OpenPage page;
        page.Event(CLSID_VelkTAPIServer)->setCheckState(Qt::Checked);
        test::Click(page.sheet, "apply");
        QCOMPARE(answers.texts, QStringList{"To provide this data the Velk Data Service needs to be "
                                            "started. Do you want to start it now?"});
        QCOMPARE(StoredClasses(), QStringList{Text(CLSID_VelkTAPIServer)});
    }

    void ConfigureShowsGeneralThenTheProvidersPagesAndStoresWhatWasApplied_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("fonts_chosen");
        QTest::addColumn<QStringList>("sizes");
        QTest::addColumn<int>("font");
        // Bold Font's first size is font 6; the one-line display keeps the one size it has.
        QTest::newRow("large display") << "Large VFD" << "KD-40" << true << QStringList{"8", "16", "32"} << 6;
        QTest::newRow("small display") << "Small VFD" << "KD-20" << true << QStringList{"8", "16"} << 6;
        QTest::newRow("one-line display") << "LCD" << "KD-10" << false << QStringList{"8"} << 1;
    }

    void ConfigureShowsGeneralThenTheProvidersPagesAndStoresWhatWasApplied()
    {
        QFETCH(QString, display);
        QFETCH(QString, model);
        QFETCH(bool, fonts_chosen);
        QFETCH(QStringList, sizes);
        QFETCH(int, font);
        sim::testing::SimProcess sim({"--no-upnp", "--players", "1", "--display", display.toStdString()});
        QVERIFY(sim.ready());
        PlayerKeyOpened().SetStringValue(kClassesValue, CLSID_VelkTimeServer.ToString());
        MessageBoxAnswers answers;
        OpenPage page(model.toStdString(), sim.address());

        QStringList tabs;
        bool timeout_enabled = false;
        QStringList offered;
        WhenShown<PropertySheet>([&](PropertySheet& properties) {
            auto* bar = properties.findChild<QTabBar*>();
            for (int i = 0; i < bar->count(); ++i)
                tabs << bar->tabText(i);
            auto* family = properties.findChild<QComboBox*>("family");
            auto* size = properties.findChild<QComboBox*>("size");
            QTRY_COMPARE_WITH_TIMEOUT(family->count(), 2, 10000); // read from the player
            QCOMPARE(family->itemText(0), QString("System Font"));
            QCOMPARE(family->itemText(1), QString("Bold Font"));
            QCOMPARE(family->isEnabled(), fonts_chosen);
            for (int i = 0; i < size->count(); ++i)
                offered << size->itemText(i);
            timeout_enabled = properties.findChild<QSpinBox*>("timeout")->isEnabled();
            if (fonts_chosen) {
                family->setCurrentIndex(1);
                emit family->activated(1); // Bold Font, its smallest size first
            }
            auto* timeout = properties.findChild<QSpinBox*>("timeout");
            timeout->setValue(7);
            if (model == "KD-40")
                test::Picture(properties, "player-data-services-general");
            test::Click(properties, "ok");
        });
        test::Click(page.sheet, "configure");

        QCOMPARE(tabs.first(), QString("General"));
        QVERIFY(tabs.size() > 1); // the provider's own pages follow
        QCOMPARE(offered, sizes);
        QVERIFY(timeout_enabled);
        // Applied at once: the time provider is stored with the chosen font and time-out.
        QCOMPARE(StoredHeader(CLSID_VelkTimeServer), (std::vector<int>{3, font, 7000, 0}));
        QCOMPARE(page.sheet.findChild<QPushButton*>("ok")->text(), QString("Close"));
    }

    void AnEventProvidersMenuTimeOutIsNotItsOwn()
    {
        MessageBoxAnswers answers;
        OpenPage page("KD-40", "127.0.0.1");
        page.events->setCurrentItem(page.Event(CLSID_VelkTAPIServer));
        bool timeout_enabled = true;
        QStringList tabs;
        WhenShown<PropertySheet>([&](PropertySheet& properties) {
            timeout_enabled = properties.findChild<QSpinBox*>("timeout")->isEnabled();
            test::Click(properties, "cancel");
        });
        emit page.events->itemDoubleClicked(page.Event(CLSID_VelkTAPIServer));
        QVERIFY(!timeout_enabled);
        QCOMPARE(StoredClasses(), QStringList{"(none)"}); // cancelled: nothing written
    }

private:
    QTemporaryDir registry_;
    QTemporaryDir units_;
};

} // namespace velk

QTEST_MAIN(velk::DataServicesPageTest)
#include "data_services_page_test.moc"
