// The window against the real simulator, end to end: two simulated players and a foreign
// renderer found over UPnP inside a private network namespace (run through
// tools/sim/upnp_namespace_test.sh), their rows following what the players do, the verbs the
// state allows, the Control page reaching a player, and ResolveRenderer. With VELK_DOCS_DIR set
// it keeps the pictures of the window and its pages there.
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <regex>

#include "renderfold/media_players_window.h"
#include "renderfold/media_renderer_folder.h"
#include "renderfold/renderer_property_sheet.h"
#include "renderfold/renderer_resolver.h"
#include "renderfold/renderfold_registration.h"
#include "tools/sim/sim_test_support.h"
#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"

namespace velk {
namespace {

using sim::testing::PlayerSocket;
using sim::testing::SimProcess;
using test::Click;
using test::Picture;
using test::WhenShown;

// A bound for waits that end much sooner (discovery takes a few seconds).
constexpr int kSafetyMs = 45000;

struct SimDevice {
    std::string address;
    std::string udn;
    bool player;
};

void SelectTab(PropertySheet& sheet, const QString& title)
{
    auto* tabs = sheet.findChild<QTabBar*>();
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == title)
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(i).center());
    }
}

} // namespace

class RenderfoldNamespaceTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(registry_.isValid());
        qputenv("VELK_REGISTRY_DIR", registry_.path().toUtf8());
        QCOMPARE(RegisterRenderfold(), S_OK);
        QVERIFY(sim_.ready());
        for (const auto& line : sim_.Control("players")) {
            std::smatch match;
            QVERIFY(std::regex_match(line, match, std::regex("([^\t]+)\t[^\t]*\t[^\t]*\t[^\t]*\t[^\t]*\t([^\t]+)\t(.*)")));
            devices_.push_back({match[1], match[2], match[3] == "player"});
        }
        QCOMPARE(devices_.size(), std::size_t{3});
        auto& folder = CMediaRendererFolder::Instance();
        window_ = std::make_unique<CMediaPlayersWindow>(folder.renderers());
        window_->show();
        folder.StartSearch();
    }

    void cleanupTestCase() { window_.reset(); }

    void TwoPlayersAndAForeignRendererAppearWithTheirModelAndState()
    {
        auto& table = renderers();
        QTRY_COMPARE_WITH_TIMEOUT(table.items().size(), std::size_t{3}, kSafetyMs);
        for (const SimDevice& device : devices_) {
            const auto item = table.Find(device.udn);
            QVERIFY(item);
            QCOMPARE(item->device().manufacturer, std::string(device.player ? "Velk" : "Sonata Audio"));
            if (!device.player)
                QCOMPARE(item->device().model_number, std::string("SR-100"));
            QTRY_COMPARE_WITH_TIMEOUT(Row(device, CRendererModel::kStatus), QString("Stopped"), kSafetyMs);
            QCOMPARE(Row(device, CRendererModel::kModelName), QString::fromStdString(item->device().model_name));
        }
        QTRY_COMPARE(table.search_state(), CMediaRenderers::SearchState::Complete);
    }

    void PlayingOnASimulatedPlayerUpdatesItsRowAndItsVerbs()
    {
        const SimDevice& player = devices_[0];
        PlayerSocket rcp(player.address);
        QVERIFY(rcp.connected());
        rcp.Greeting();
        rcp.EnterRcp();
        rcp.Rcp("Play", true);
        QTRY_COMPARE_WITH_TIMEOUT(Row(player, CRendererModel::kStatus), QString("Playing"), kSafetyMs);
        QTRY_VERIFY_WITH_TIMEOUT(!Row(player, CRendererModel::kTrack).isEmpty(), kSafetyMs);
        QVERIFY(!Row(player, CRendererModel::kArtist).isEmpty());

        window_->Select(player.udn);
        QCOMPARE(Verbs(), (QStringList{"&Open", "Run as administrator", "&Pause", "&Stop", "&Next", "Pre&vious"}));
        QVERIFY(window_->command("pause")->isEnabled());
        QVERIFY(!window_->command("play")->isEnabled());
        window_->SetGrouped(true);
        window_->resize(1060, 300);
        Picture(*window_, "renderfold-details");
        window_->SetView(CMediaPlayersWindow::View::Tiles);
        Picture(*window_, "renderfold-tiles");
        window_->SetView(CMediaPlayersWindow::View::Details);
        window_->SetGrouped(false);

        rcp.Rcp("Pause", true);
        QTRY_COMPARE_WITH_TIMEOUT(Row(player, CRendererModel::kStatus), QString("Paused"), kSafetyMs);
        window_->Select(player.udn);
        QCOMPARE(Verbs(), (QStringList{"&Open", "&Play", "Run as administrator", "&Next", "Pre&vious"}));
    }

    void TheControlPageButtonsReachTheSimulatedPlayer()
    {
        const SimDevice& player = devices_[1];
        const auto item = renderers().Find(player.udn);
        QVERIFY(item);
        QTRY_COMPARE_WITH_TIMEOUT(item->transport_state(), AV_TRANSPORT_STOPPED, kSafetyMs);
        QString failure;
        WhenShown<PropertySheet>([&](PropertySheet& sheet) {
            const auto check = [&](bool ok, const char* what) {
                if (!ok && failure.isEmpty())
                    failure = what;
                return ok;
            };
            sheet.resize(480, 400);
            Picture(sheet, "renderfold-general");
            SelectTab(sheet, "Control");
            Click(sheet, "play");
            check(QTest::qWaitFor([&] { return State(player)["transport"] == "Play"; }, kSafetyMs), "play");
            sheet.findChild<QSlider*>("volume")->setValue(25);
            check(QTest::qWaitFor([&] { return State(player)["volume"] == 25; }, kSafetyMs), "volume");
            const int first = State(player)["current_index"].toInt();
            Click(sheet, "next");
            check(QTest::qWaitFor([&] { return State(player)["current_index"].toInt() == first + 1; }, kSafetyMs), "next");
            Click(sheet, "shuffle");
            check(QTest::qWaitFor([&] { return State(player)["shuffle"] == true; }, kSafetyMs), "shuffle");
            check(QTest::qWaitFor([&] { return item->play_mode() == PLAY_MODE_SHUFFLE; }, kSafetyMs), "shuffle event");
            Click(sheet, "shuffle");
            check(QTest::qWaitFor([&] { return State(player)["shuffle"] == false; }, kSafetyMs), "shuffle off");
            SelectTab(sheet, "Status");
            auto* elapsed = sheet.findChild<QLabel*>("elapsed");
            check(QTest::qWaitFor([&] { return elapsed && elapsed->text() > "0:00:00"; }, kSafetyMs), "elapsed time");
            Picture(sheet, "renderfold-status");
            SelectTab(sheet, "Control");
            Click(sheet, "pause");
            check(QTest::qWaitFor([&] { return State(player)["transport"] == "Pause"; }, kSafetyMs), "pause");
            auto* state = sheet.findChild<QLabel*>("state");
            check(QTest::qWaitFor([&] { return state && state->text() == "Paused"; }, kSafetyMs), "paused event");
            Picture(sheet, "renderfold-control");
            SelectTab(sheet, "Media Renderers");
            Picture(sheet, "renderfold-options");
            Click(sheet, "cancel");
        });
        QCOMPARE(ShowRendererProperties(item, window_.get()), S_OK);
        QVERIFY2(failure.isEmpty(), qPrintable("the player did not follow: " + failure));
    }

    void ResolveRendererFindsADeviceByUdnOrAddress()
    {
        std::shared_ptr<IMediaRenderer> found;
        QCOMPARE(ResolveRenderer(window_.get(), devices_[1].udn, found), S_OK);
        UPnPDeviceInfo device;
        found->get_UPnPDevice(device);
        QCOMPARE(device.udn, devices_[1].udn);
        QCOMPARE(ResolveRenderer(window_.get(), devices_[0].address, found), S_OK);
        found->get_UPnPDevice(device);
        QCOMPARE(device.udn, devices_[0].udn);
        QCOMPARE(ResolveRenderer(window_.get(), "uuid:00000000-0000-0000-0000-000000000000", found), E_FAIL);
        QVERIFY(!found);
    }

private:
    static CMediaRenderers& renderers() { return CMediaRendererFolder::Instance().renderers(); }

    QString Row(const SimDevice& device, int column) const
    {
        auto* model = window_->details()->model();
        const int row = renderers().IndexOf(device.udn);
        return row < 0 ? QString() : model->index(row, column).data().toString();
    }

    QStringList Verbs() const
    {
        QStringList verbs;
        const auto menu = window_->ContextMenu(CMF_NORMAL);
        for (const auto& item : menu->menu().items) {
            if (!item.separator)
                verbs.append(QString::fromStdString(item.text));
        }
        return verbs;
    }

    QJsonObject State(const SimDevice& device) const
    {
        const auto lines = sim_.Control("state " + device.address);
        return lines.empty() ? QJsonObject() : QJsonDocument::fromJson(QByteArray::fromStdString(lines[0])).object();
    }

    QTemporaryDir registry_;
    SimProcess sim_{{"--players", "2", "--renderer-only"}};
    std::vector<SimDevice> devices_;
    std::unique_ptr<CMediaPlayersWindow> window_;
};

} // namespace velk

QTEST_MAIN(velk::RenderfoldNamespaceTest)
#include "renderfold_nstest.moc"
