// The window and its pages without a network: renderers are put into the device table as the
// finder puts them, and their actions go to a recorder (the UPnP layer's edge). Checks the
// table's rules, the rows, double-click by the user's setting, the presentation page and the
// device name as a device may send them, and the Control page's buttons and volume.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTreeView>

#include <thread>

#include "renderfold/control_page.h"
#include "renderfold/double_click_setting.h"
#include "renderfold/media_players_window.h"
#include "renderfold/renderer_commands.h"
#include "renderfold/renderfold_registration.h"
#include "renderfold/status_page.h"
#include "renderfold/testdata/url_recorder.h"
#include "renderfold/upnp_page.h"
#include "renderfold/view_options_page.h"
#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"

namespace velk {
namespace {

using test::Click;
using test::MessageBoxAnswers;
using test::UrlRecorder;
using test::WhenShown;

// The actions the window sends, answered with `answer` as a device would, later.
class RecordedActions : public CRendererActions {
public:
    struct Call {
        std::string action;
        UPnPService::Arguments in;
    };

    void InvokeAction(const std::string&, std::string_view, std::string_view action, UPnPService::Arguments in,
                      Done done) override
    {
        calls.push_back({std::string(action), std::move(in)});
        QMetaObject::invokeMethod(this, [done, hr = answer] { done(hr, {}); }, Qt::QueuedConnection);
    }

    // The actions sent, each with its last argument's value ("SetVolume 30").
    QStringList Sent() const
    {
        QStringList sent;
        for (const Call& call : calls)
            sent.append(QString::fromStdString(call.action + (call.in.size() > 1 ? " " + call.in.back().second : "")));
        return sent;
    }

    std::vector<Call> calls;
    HRESULT answer = S_OK;
};

UPnPDeviceInfo Device(std::string udn, std::string name, std::string manufacturer = "Velk",
                      std::string presentation_url = "http://127.0.0.2/")
{
    UPnPDeviceInfo device;
    device.udn = std::move(udn);
    device.friendly_name = std::move(name);
    device.manufacturer = std::move(manufacturer);
    device.model_name = "Melodeck";
    device.model_number = "KD-40";
    device.presentation_url = std::move(presentation_url);
    return device;
}

RendererChanges State(tagAVTransportState state)
{
    RendererChanges changes;
    changes.transport_state = state;
    return changes;
}

} // namespace

class RenderfoldWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        registry_ = std::make_unique<QTemporaryDir>();
        QVERIFY(registry_->isValid());
        qputenv("VELK_REGISTRY_DIR", registry_->path().toUtf8());
        QCOMPARE(RegisterRenderfold(), S_OK);
    }

    void cleanup() { registry_.reset(); }

    void ADeviceAddedTwiceIsUpdatedInPlaceAndAnUnknownRemovalChangesNothing()
    {
        CMediaRenderers table;
        RecordedActions actions;
        QSignalSpy added(&table, &CMediaRenderers::itemAdded);
        QSignalSpy updated(&table, &CMediaRenderers::itemUpdated);
        QSignalSpy removed(&table, &CMediaRenderers::itemRemoved);
        QCOMPARE(table.Add(Device("uuid:one", "Living Room"), &actions), S_OK);
        QCOMPARE(table.Apply("uuid:one", State(AV_TRANSPORT_PLAYING)), S_OK);
        QCOMPARE(table.Add(Device("uuid:one", "Lounge"), &actions), S_FALSE);
        QCOMPARE(table.items().size(), std::size_t{1});
        QCOMPARE(table.items()[0]->device().friendly_name, std::string("Lounge"));
        QCOMPARE(table.items()[0]->transport_state(), AV_TRANSPORT_PLAYING);
        QCOMPARE(added.count(), 1);
        QCOMPARE(updated.count(), 2);

        QCOMPARE(table.Remove("uuid:unknown"), S_FALSE);
        QCOMPARE(table.Apply("uuid:unknown", State(AV_TRANSPORT_STOPPED)), S_FALSE);
        QCOMPARE(table.items().size(), std::size_t{1});
        QCOMPARE(removed.count(), 0);
        QCOMPARE(table.Remove("uuid:one"), S_OK);
        QCOMPARE(removed.count(), 1);
    }

    void ItemIdsOver45CharactersAndTablesBeyondTheirBoundAreRefused()
    {
        CMediaRenderers table;
        struct Case {
            std::string udn;
            HRESULT expected;
        };
        const Case cases[] = {
            {"uuid:" + std::string(40, 'a'), S_OK},
            {"uuid:" + std::string(41, 'b'), E_INVALIDARG},
            {"", E_INVALIDARG},
            {"uuid:line\nbreak", E_INVALIDARG},
            {"uuid:" + std::string(20, 'c') + "\xC3\xA9" + std::string(19, 'c'), S_OK}, // 45 characters, 46 bytes
        };
        for (const Case& c : cases)
            QCOMPARE(table.Add(Device(c.udn, "Player"), nullptr), c.expected);
        QCOMPARE(table.items().size(), std::size_t{2});

        for (std::size_t i = table.items().size(); i < CMediaRenderers::kMaxRenderers; ++i)
            QCOMPARE(table.Add(Device("uuid:many-" + std::to_string(i), "Player"), nullptr), S_OK);
        QCOMPARE(table.Add(Device("uuid:one-too-many", "Player"), nullptr), E_OUTOFMEMORY);
        QCOMPARE(table.items().size(), CMediaRenderers::kMaxRenderers);
    }

    void StateIsWrittenOnlyOnTheGuiThreadWhileThePagesReadIt()
    {
        CMediaRenderers table;
        RecordedActions actions;
        QCOMPARE(table.Add(Device("uuid:one", "Living Room"), &actions), S_OK);
        const auto item = table.Find("uuid:one");
        PropertySheet sheet("Living Room Properties");
        sheet.AddPage(CStatusPage::Record(item));
        sheet.AddPage(CControlPage::Record(item));
        sheet.show();

        // Another thread that writes is refused; one that hands its changes over as queued calls,
        // as the UPnP apartment does, has them applied here between the pages' timer reads.
        constexpr int kEvents = 2000;
        HRESULT direct = S_OK;
        std::thread events([&] {
            direct = table.Apply("uuid:one", State(AV_TRANSPORT_PLAYING));
            for (int i = 0; i < kEvents; ++i) {
                RendererChanges changes;
                changes.track = TrackInfo{"Track " + std::to_string(i), "Artist", "Album", ""};
                changes.transport_state = i % 2 ? AV_TRANSPORT_PLAYING : AV_TRANSPORT_PAUSED_PLAYBACK;
                QMetaObject::invokeMethod(&table, [&table, changes] { table.Apply("uuid:one", changes); },
                                          Qt::QueuedConnection);
            }
        });
        events.join();
        QCOMPARE(direct, RPC_E_WRONG_THREAD);
        QTRY_COMPARE(item->track().title, "Track " + std::to_string(kEvents - 1));
        QTRY_COMPARE(sheet.findChild<QLabel*>("track")->text(), QString("Track %1").arg(kEvents - 1));
        QCOMPARE(item->transport_state(), AV_TRANSPORT_PLAYING);
        sheet.reject();
    }

    void RowsShowTheStateWordsAndGroupByMaker()
    {
        CMediaRenderers table;
        RecordedActions actions;
        QCOMPARE(table.Add(Device("uuid:one", "Living Room"), &actions), S_OK);
        QCOMPARE(table.Add(Device("uuid:two", "Sonata", "Sonata Audio"), &actions), S_OK);
        CMediaPlayersWindow window(table);
        struct Case {
            const char* udn;
            tagAVTransportState state;
            const char* shown;
        };
        const Case cases[] = {
            {"uuid:one", AV_TRANSPORT_PAUSED_PLAYBACK, "Paused"},
            {"uuid:two", AV_TRANSPORT_TRANSITIONING, "Buffering..."},
            {"uuid:one", AV_TRANSPORT_NO_MEDIA_PRESENT, "No Media Present"},
            {"uuid:one", AV_TRANSPORT_UNKNOWN, ""},
        };
        auto* model = window.details()->model();
        for (const Case& c : cases) {
            QCOMPARE(table.Apply(c.udn, State(c.state)), S_OK);
            const int row = table.IndexOf(c.udn);
            QCOMPARE(model->index(row, CRendererModel::kStatus).data().toString(), QString(c.shown));
        }
        window.SetGrouped(true);
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(0, 0).data().toString(), QString("Velk (1)"));
        QCOMPARE(model->index(0, 0, model->index(1, 0)).data().toString(), QString("Sonata"));
    }

    void DoubleClickFollowsTheSettingTheViewOptionsPageWrites()
    {
        CMediaRenderers table;
        RecordedActions actions;
        QCOMPARE(table.Add(Device("uuid:one", "Living Room"), &actions), S_OK);
        CMediaPlayersWindow window(table);
        window.show();
        UrlRecorder browser;
        const auto double_click = [&] {
            auto* view = window.details();
            const QModelIndex index = view->model()->index(0, 0);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        };
        struct Case {
            const char* choice;
            bool web_page;
        };
        for (const Case c : {Case{"web_page", true}, Case{"property_page", false}, Case{"web_page", true}}) {
            PropertySheet options("Media Renderers");
            options.AddPage(CViewOptionsPage::Record());
            WhenShown<PropertySheet>([&](PropertySheet& sheet) {
                QTest::mouseClick(sheet.findChild<QRadioButton*>(c.choice), Qt::LeftButton);
                Click(sheet, "ok");
            });
            options.Run();
            QCOMPARE(DoubleClickOpensWebPage(), c.web_page);

            browser.opened.clear();
            QString sheet_title;
            if (!c.web_page) {
                WhenShown<PropertySheet>([&](PropertySheet& sheet) {
                    sheet_title = sheet.windowTitle();
                    sheet.reject();
                });
            }
            double_click();
            if (c.web_page) {
                QCOMPARE(browser.opened, QStringList{"http://127.0.0.2/"});
            } else {
                QCOMPARE(sheet_title, QString("Living Room Properties"));
                QVERIFY(browser.opened.isEmpty());
            }
        }
    }

    void OnlyAWebPageAddressIsHandedToTheDesktop_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("opened");
        QTest::newRow("http") << "http://127.0.0.2/" << true;
        QTest::newRow("https") << "https://127.0.0.2:8443/setup" << true;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("smb") << "smb://attacker/share" << false;
        QTest::newRow("no host") << "http:///etc/passwd" << false;
        QTest::newRow("none") << "" << false;
    }

    void OnlyAWebPageAddressIsHandedToTheDesktop()
    {
        QFETCH(QString, url);
        QFETCH(bool, opened);
        CMediaRenderers table;
        QCOMPARE(table.Add(Device("uuid:one", "Living Room", "Velk", url.toStdString()), nullptr), S_OK);
        CMediaPlayersWindow window(table);
        QCOMPARE(SetDoubleClickOpensWebPage(true), S_OK);
        UrlRecorder browser;
        MessageBoxAnswers answers;
        window.Activate(table.Find("uuid:one"));
        QCOMPARE(browser.opened, opened ? QStringList{url} : QStringList{});
        QCOMPARE(answers.texts, opened ? QStringList{} : QStringList{"This device has no web page."});
    }

    void TheGeneralPageShowsTheDeviceNameAsTextAndItsLinkOpensOnlyThePresentationPage()
    {
        CMediaRenderers table;
        const std::string hostile = "<img src=x><a href=\"file:///etc/passwd\">Evil</a>";
        QCOMPARE(table.Add(Device("uuid:one", hostile, "Velk", "http://127.0.0.2/"), nullptr), S_OK);
        UrlRecorder browser;
        PropertySheet sheet("Properties");
        sheet.AddPage(CUPnPPage::Record(table.Find("uuid:one")));
        sheet.show();
        auto* name = sheet.findChild<QLabel*>("name");
        QVERIFY(name);
        // What the label renders is the name itself, not markup.
        QTextDocument shown;
        shown.setHtml(name->text());
        QCOMPARE(shown.toPlainText(), QString::fromStdString(hostile));
        emit name->linkActivated("file:///etc/passwd");
        QCOMPARE(browser.opened, QStringList{"http://127.0.0.2/"});
        QTRY_VERIFY(!sheet.isVisible()); // the link closes the sheet with OK
    }

    void RunAsAdministratorStartsTheConfigurationToolThroughPkexec()
    {
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        MessageBoxAnswers answers;
        qputenv("PATH", bin.path().toUtf8());
        QCOMPARE(RunAsAdministrator("uuid:one", nullptr), E_FAIL);
        QCOMPARE(answers.texts.size(), 1);
        QVERIFY2(answers.texts[0].contains("pkexec is not installed"), qPrintable(answers.texts[0]));

        // A pkexec that notes what it was asked to run.
        const QString noted = bin.filePath("asked");
        QFile pkexec(bin.filePath("pkexec"));
        QVERIFY(pkexec.open(QIODevice::WriteOnly));
        pkexec.write(QString("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.part' && /bin/mv '%1.part' '%1'\n").arg(noted).toUtf8());
        pkexec.close();
        pkexec.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString velkconfig = QCoreApplication::applicationDirPath() + "/velkconfig";
        const HRESULT hr = RunAsAdministrator("uuid:one", nullptr);
        qputenv("PATH", path);
        if (QFile::exists(velkconfig)) {
            QCOMPARE(hr, S_OK);
            QTRY_VERIFY(QFile::exists(noted));
            QFile asked(noted);
            QVERIFY(asked.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(asked.readAll()), velkconfig + "\nuuid:one\n");
        } else {
            QCOMPARE(hr, E_FAIL);
            QCOMPARE(answers.texts.size(), 2);
            QCOMPARE(answers.texts[1], "The device cannot be configured as administrator: " + velkconfig + " is missing.");
        }
    }

    void AVolumeDragSendsOnlyItsLastValue()
    {
        auto [table, actions, sheet] = ControlSheet(AV_TRANSPORT_PLAYING);
        auto* volume = sheet->findChild<QSlider*>("volume");
        QVERIFY(volume && volume->isVisible());
        for (int value : {10, 14, 22, 30, 37})
            volume->setValue(value);
        QTRY_COMPARE(actions->Sent(), QStringList{"SetVolume 37"});
        volume->setValue(50);
        QTRY_COMPARE(actions->Sent(), (QStringList{"SetVolume 37", "SetVolume 50"}));
    }

    void ShuffleTogglesAndRepeatCyclesThePlayMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("shuffle on") << int(PLAY_MODE_NORMAL) << "shuffle" << QStringList{"SetPlayMode SHUFFLE"};
        QTest::newRow("shuffle off") << int(PLAY_MODE_SHUFFLE) << "shuffle" << QStringList{"SetPlayMode NORMAL"};
        QTest::newRow("repeat all") << int(PLAY_MODE_NORMAL) << "repeat" << QStringList{"SetPlayMode REPEAT_ALL"};
        QTest::newRow("repeat one") << int(PLAY_MODE_REPEAT_ALL) << "repeat" << QStringList{"SetPlayMode REPEAT_ONE"};
        QTest::newRow("repeat off") << int(PLAY_MODE_REPEAT_ONE) << "repeat" << QStringList{"SetPlayMode NORMAL"};
        QTest::newRow("repeat leaves shuffle") << int(PLAY_MODE_SHUFFLE) << "repeat" << QStringList{};
        QTest::newRow("play") << int(PLAY_MODE_NORMAL) << "play" << QStringList{"Play 1"};
        QTest::newRow("stop") << int(PLAY_MODE_NORMAL) << "stop" << QStringList{"Stop"};
    }

    void ShuffleTogglesAndRepeatCyclesThePlayMode()
    {
        QFETCH(int, mode);
        QFETCH(QString, button);
        QFETCH(QStringList, sent);
        auto [table, actions, sheet] = ControlSheet(AV_TRANSPORT_PLAYING);
        RendererChanges changes;
        changes.play_mode = static_cast<PlayMode>(mode);
        QCOMPARE(table->Apply("uuid:one", changes), S_OK);
        Click(*sheet, button.toUtf8().constData());
        QCOMPARE(actions->Sent(), sent);
    }

    void NoMediaPresentHidesTheControls()
    {
        auto [table, actions, sheet] = ControlSheet(AV_TRANSPORT_NO_MEDIA_PRESENT);
        const auto controls_shown = [&sheet] {
            return sheet->findChild<QSlider*>("volume")->isVisible() &&
                   sheet->findChild<QPushButton*>("play")->isVisible();
        };
        QVERIFY(!controls_shown());
        QCOMPARE(sheet->findChild<QLabel*>("state")->text(), QString("No Media Present"));
        QCOMPARE(table->Apply("uuid:one", State(AV_TRANSPORT_STOPPED)), S_OK);
        QTRY_VERIFY(controls_shown());
        QCOMPARE(sheet->findChild<QLabel*>("state")->text(), QString("Stopped"));
        QCOMPARE(table->Apply("uuid:one", State(AV_TRANSPORT_NO_MEDIA_PRESENT)), S_OK);
        QTRY_VERIFY(!controls_shown());
    }

    void AFailedActionShowsItsError()
    {
        auto [table, actions, sheet] = ControlSheet(AV_TRANSPORT_PLAYING);
        actions->answer = UPNP_E_DEVICE_TIMEOUT;
        MessageBoxAnswers answers;
        Click(*sheet, "pause");
        QTRY_COMPARE(answers.texts.size(), 1);
        QVERIFY2(answers.texts[0].startsWith("Pause failed on Living Room: "), qPrintable(answers.texts[0]));
    }

private:
    struct ControlFixture {
        std::unique_ptr<CMediaRenderers> table;
        std::unique_ptr<RecordedActions> actions;
        std::unique_ptr<PropertySheet> sheet;
    };

    // A renderer in the state with its Control page shown.
    static ControlFixture ControlSheet(tagAVTransportState state)
    {
        ControlFixture fixture{std::make_unique<CMediaRenderers>(), std::make_unique<RecordedActions>(),
                               std::make_unique<PropertySheet>("Living Room Properties")};
        fixture.table->Add(Device("uuid:one", "Living Room"), fixture.actions.get());
        fixture.table->Apply("uuid:one", State(state));
        fixture.sheet->AddPage(CControlPage::Record(fixture.table->Find("uuid:one")));
        fixture.sheet->show();
        return fixture;
    }

    std::unique_ptr<QTemporaryDir> registry_;
};

} // namespace velk

QTEST_MAIN(velk::RenderfoldWindowTest)
#include "renderfold_window_test.moc"
