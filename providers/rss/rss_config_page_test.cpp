// The news-feed provider's page as the configuration side shows it: the provider created by
// class id from its registered module, its Configure handing "RSS/Atom News Feeds" from the
// companion module to a real property sheet, over a scratch machine hive; the add-feed wizard
// driven with the mouse and keyboard against feeds and web pages served on 127.0.0.1.
#include <QAbstractItemModel>
#include <QComboBox>
#include <QCoreApplication>
#include <QCompleter>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/class_registry.h"
#include "platform/file_time.h"
#include "platform/registry_test_fixture.h"
#include "providers/rss/testdata/feed_server.h"
#include "providers/weather/weather_renderer.h"
#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"
#include "ui/wizard.h"

namespace velk {
namespace {

using test::ButtonOf;
using test::Click;
using test::MessageBoxAnswers;
using test::Picture;
using test::TypeInto;
using test::WhenShown;
using testing::AddFeed;
using testing::FeedServer;

constexpr const char* kPlayer = "uuid:player-1";

// A listening socket on 127.0.0.1 standing for the service's automation endpoint; closed, the
// port it had is one nothing answers on.
class Endpoint {
public:
    Endpoint()
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, 4);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        RegKey key;
        key.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer");
        key.SetDWORDValue("AutomationPort", port_);
    }
    ~Endpoint() { Close(); }
    void Close()
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

QTreeWidget& List(QWidget& sheet)
{
    return *sheet.findChild<QTreeWidget*>("feeds");
}

QStringList Titles(QWidget& sheet)
{
    QStringList titles;
    QTreeWidget& list = List(sheet);
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        titles << list.topLevelItem(i)->text(0);
    return titles;
}

QTreeWidgetItem* Row(QWidget& sheet, const QString& title)
{
    QTreeWidget& list = List(sheet);
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        if (list.topLevelItem(i)->text(0) == title)
            return list.topLevelItem(i);
    }
    return nullptr;
}

void Select(QWidget& sheet, const QString& title)
{
    QTreeWidget& list = List(sheet);
    list.clearSelection();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(Row(sheet, title)).center());
}

void ClickHeader(QWidget& sheet, int column)
{
    QHeaderView* header = List(sheet).header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
}

void SetLastDownloaded(const std::string& name, std::int64_t seconds)
{
    RegKey key;
    key.Open(Hive::LocalMachine, std::string(FeedTable::kFeedsKey) + "\\" + name, RegAccess::All);
    key.SetBinaryValue(FeedTable::kLastDownloadedValue,
                       FileTimeBytes(std::chrono::system_clock::time_point(std::chrono::seconds(seconds))));
}

std::vector<std::string> FeedNames()
{
    RegKey key;
    std::vector<std::string> names;
    if (SUCCEEDED(key.Open(Hive::LocalMachine, FeedTable::kFeedsKey)))
        key.EnumKeys(names);
    return names;
}

// The wizard from welcome to the address check, with url typed on the generic renderer's page.
void WizardToCheck(Wizard& wizard, const std::string& url)
{
    Click(wizard, "next"); // welcome
    QCOMPARE(wizard.findChild<QComboBox*>("parsers")->currentText(), QString("Generic RSS Renderer"));
    Click(wizard, "next"); // parser
    TypeInto(wizard, "url", QString::fromStdString(url));
    Click(wizard, "next"); // URL; the credentials page lets itself be skipped for http
}

QString Status(Wizard& wizard)
{
    return wizard.findChild<QLabel*>("status")->text();
}

} // namespace

class RssConfigPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A child run of the read-only case uses the hive it is given.
        if (qEnvironmentVariableIsSet(kReadOnlyChild))
            return;
        QVERIFY(registry_.isValid());
        setenv("VELK_REGISTRY_DIR", registry_.path().toUtf8().constData(), 1);
        QCOMPARE(ClassRegistry::RegisterModule(VELK_RSS_MODULE), S_OK);
        QCOMPARE(ClassRegistry::RegisterModule(VELK_WEATHER_MODULE), S_OK);
    }

    void init()
    {
        RegKey root;
        root.Open(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer", RegAccess::All);
        root.DeleteTree("RSS Feeds");
        UnknownPtr object;
        QCOMPARE(ClassRegistry::CreateInstance(CLSID_VelkRSSServer, object), S_OK);
        configure_ = std::dynamic_pointer_cast<IConfigureVelkDataObject>(object);
        settings_ = std::dynamic_pointer_cast<IRssFeedListSettings>(object);
        QVERIFY(configure_ && settings_);
    }

    void cleanup()
    {
        configure_.reset();
        settings_.reset();
    }

    void TheListShowsChecksAndSortsTheFeeds()
    {
        const auto news = AddFeed("http://a.example/news");
        const auto sport = AddFeed("http://b.example/sport");
        const auto gone = AddFeed("http://c.example/gone");
        const auto weather = AddFeed("http://d.example/weather");
        RegKey marked;
        marked.Open(Hive::LocalMachine, std::string(FeedTable::kFeedsKey) + "\\" + gone, RegAccess::All);
        marked.SetDWORDValue(FeedTable::kFlagsValue, FeedTable::kFlagsDeleted);
        SetLastDownloaded(news, 1'700'000'000);
        SetLastDownloaded(sport, 1'600'000'000);
        SetLastDownloaded(weather, 1'800'000'000);

        PropertySheet sheet("Velk Data Server Properties");
        QCOMPARE(configure_->Configure(sheet.adder(), kPlayer, "KD-40"), S_OK);
        settings_->SetPlayerFeeds({sport});
        sheet.open();
        QTreeWidget& list = List(sheet);
        QCOMPARE(list.headerItem()->text(0), QString("Title"));
        QCOMPARE(list.headerItem()->text(1), QString("URL"));
        QCOMPARE(list.headerItem()->text(2), QString("Last Downloaded"));
        QCOMPARE(Titles(sheet), (QStringList{"Feed http://a.example/news", "Feed http://b.example/sport",
                                             "Feed http://d.example/weather"}));
        QCOMPARE(Row(sheet, "Feed http://b.example/sport")->text(1), QString("http://b.example/sport"));
        QCOMPARE(Row(sheet, "Feed http://b.example/sport")->checkState(0), Qt::Checked);
        QCOMPARE(Row(sheet, "Feed http://a.example/news")->checkState(0), Qt::Unchecked);
        const QDateTime local = QDateTime::fromSecsSinceEpoch(1'700'000'000).toLocalTime();
        QCOMPARE(Row(sheet, "Feed http://a.example/news")->text(2),
                 QLocale().toString(local, QLocale::ShortFormat));
        Picture(sheet, "rss-feeds-page");

        // By download time, not by the text of the times; a second click reverses.
        ClickHeader(sheet, 2);
        QCOMPARE(Titles(sheet), (QStringList{"Feed http://b.example/sport", "Feed http://a.example/news",
                                             "Feed http://d.example/weather"}));
        ClickHeader(sheet, 2);
        QCOMPARE(Titles(sheet).front(), QString("Feed http://d.example/weather"));

        // Checking a feed appends it to the player's list and marks the page changed.
        QVERIFY(!ButtonOf(sheet, "apply")->isEnabled());
        Row(sheet, "Feed http://d.example/weather")->setCheckState(0, Qt::Checked);
        QCOMPARE(settings_->PlayerFeeds(), (std::vector<std::string>{sport, weather}));
        QVERIFY(ButtonOf(sheet, "apply")->isEnabled());
        Row(sheet, "Feed http://b.example/sport")->setCheckState(0, Qt::Unchecked);
        QCOMPARE(settings_->PlayerFeeds(), (std::vector<std::string>{weather}));

        // Delete wants a selection; Configure exactly one configurable feed.
        QVERIFY(!ButtonOf(sheet, "delete")->isEnabled());
        Select(sheet, "Feed http://a.example/news");
        QVERIFY(ButtonOf(sheet, "delete")->isEnabled());
        QVERIFY(ButtonOf(sheet, "configure")->isEnabled());
        Row(sheet, "Feed http://d.example/weather")->setSelected(true);
        QVERIFY(ButtonOf(sheet, "delete")->isEnabled());
        QVERIFY(!ButtonOf(sheet, "configure")->isEnabled());

        // A feed written elsewhere (another page, the service) shows up by itself.
        AddFeed("http://e.example/late");
        QTRY_VERIFY(Row(sheet, "Feed http://e.example/late") != nullptr);
    }

    // A user who may only read the machine hive sees the feeds, without check boxes, Add or
    // Delete. The hive is opened read-only by a second run of this program, as such a user.
    void AReadOnlyHiveOnlyShowsTheFeeds()
    {
        if (qEnvironmentVariableIsSet(kReadOnlyChild)) {
            PropertySheet sheet("Velk Data Server Properties");
            QCOMPARE(configure_->Configure(sheet.adder(), kPlayer, "KD-40"), S_OK);
            sheet.open();
            QCOMPARE(Titles(sheet), QStringList{"Feed http://a.example/news"});
            QVERIFY(Row(sheet, "Feed http://a.example/news")->data(0, Qt::CheckStateRole).isNull());
            QVERIFY(!ButtonOf(sheet, "add")->isEnabled());
            Select(sheet, "Feed http://a.example/news");
            QVERIFY(!ButtonOf(sheet, "delete")->isEnabled());
            QVERIFY(!ButtonOf(sheet, "configure")->isEnabled());
            return;
        }
        AddFeed("http://a.example/news");
        const auto result = RunReadingOnly(
            registry_.path().toStdString(),
            {"env", std::string(kReadOnlyChild) + "=1", QCoreApplication::applicationFilePath().toStdString(),
             "AReadOnlyHiveOnlyShowsTheFeeds"});
        if (!result)
            QSKIP("cannot run a process as nobody");
        QVERIFY2(result->status == 0, result->output.c_str());
    }

    void DeleteMarksTheFeedWhileTheServiceRunsAndRemovesItOtherwise()
    {
        for (const bool running : {true, false}) {
            init();
            const auto first = AddFeed("http://a.example/one");
            const auto second = AddFeed("http://a.example/two");
            const auto third = AddFeed("http://a.example/three");
            Endpoint endpoint;
            if (!running)
                endpoint.Close();
            PropertySheet sheet("Velk Data Server Properties");
            configure_->Configure(sheet.adder(), kPlayer, "KD-40");
            settings_->SetPlayerFeeds({first, second, third});
            sheet.open();

            Select(sheet, "Feed http://a.example/one");
            {
                MessageBoxAnswers no(QMessageBox::No);
                Click(sheet, "delete");
                QCOMPARE(no.texts, QStringList{"Are you sure you want to remove the Feed http://a.example/one feed?"});
            }
            QCOMPARE(FeedNames().size(), 3u);

            Row(sheet, "Feed http://a.example/two")->setSelected(true);
            MessageBoxAnswers yes(QMessageBox::Yes);
            Click(sheet, "delete");
            QCOMPARE(yes.texts, QStringList{"Are you sure you want to remove these feeds?"});
            QCOMPARE(Titles(sheet), QStringList{"Feed http://a.example/three"});
            QCOMPARE(settings_->PlayerFeeds(), std::vector<std::string>{third});
            const auto names = FeedNames();
            if (running) {
                // The subkeys stay, marked, until the service's next reread deletes them.
                QCOMPARE(names.size(), 3u);
                RegKey key;
                DWORD flags = 0;
                key.Open(Hive::LocalMachine, std::string(FeedTable::kFeedsKey) + "\\" + first);
                key.QueryDWORDValue(FeedTable::kFlagsValue, flags);
                QCOMPARE(flags, FeedTable::kFlagsDeleted);
            } else {
                QCOMPARE(names, std::vector<std::string>{third});
            }
            sheet.reject();
            cleanup();
        }
    }

    void AnEmptyListOpensTheWizardWhichAddsAndChecksTheFeed()
    {
        FeedServer server;
        server.Serve("/news.xml", {200, "application/rss+xml", testing::RssFeed({"One", "Two"})});
        PropertySheet sheet("Velk Data Server Properties");
        configure_->Configure(sheet.adder(), kPlayer, "KD-40");
        bool finished = false;
        WhenShown<Wizard>([&](Wizard& wizard) {
            QCOMPARE(wizard.windowTitle(), QString("RSS/Atom Newsfeed Wizard"));
            Picture(wizard, "rss-wizard-welcome");
            Click(wizard, "next");
            Picture(wizard, "rss-wizard-parser");
            Click(wizard, "next");
            TypeInto(wizard, "url", QString::fromStdString(server.Url("/news.xml")));
            Picture(wizard, "rss-wizard-url");
            Click(wizard, "next");
            QTRY_COMPARE(Status(wizard), QString("Found the feed \"Test\". Click Next to go on."));
            Picture(wizard, "rss-wizard-check");
            Click(wizard, "next");
            QCOMPARE(wizard.findChild<QLineEdit*>("title")->text(), QString("Test"));
            TypeInto(wizard, "title", "Morning News");
            Picture(wizard, "rss-wizard-title");
            Click(wizard, "next");
            Picture(wizard, "rss-wizard-finish");
            Click(wizard, "finish");
            finished = true;
        });
        sheet.open();
        QTRY_VERIFY(finished);
        QTRY_COMPARE(Titles(sheet), QStringList{"Morning News"});
        QCOMPARE(Row(sheet, "Morning News")->checkState(0), Qt::Checked);
        const auto names = FeedNames();
        QCOMPARE(names.size(), 1u);
        QCOMPARE(settings_->PlayerFeeds(), names);
        QVERIFY(ButtonOf(sheet, "apply")->isEnabled());
        RegKey key;
        key.Open(Hive::LocalMachine, std::string(FeedTable::kFeedsKey) + "\\" + names[0]);
        std::string title, parser;
        DWORD flags = 0;
        std::vector<std::uint8_t> config;
        key.QueryStringValue("", title);
        key.QueryStringValue(FeedTable::kParserValue, parser);
        key.QueryDWORDValue(FeedTable::kFlagsValue, flags);
        QCOMPARE(title, std::string("Morning News"));
        QCOMPARE(parser, CLSID_GenericRSSRenderer.ToString());
        QCOMPARE(flags, DWORD{1});
        QCOMPARE(key.QueryBinaryValue(FeedTable::kParserConfigValue, config), S_OK);
        QCOMPARE(config, testing::GenericRendererConfig(server.Url("/news.xml")));
        sheet.reject();
    }

    void TheAddressCheckTellsWhatIsThere_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<bool>("next");
        QTest::newRow("RSS 2.0") << "/rss2" << "Found the feed \"Test\". Click Next to go on." << "" << true;
        QTest::newRow("Atom 0.3") << "/atom" << "Found the feed \"Test\". Click Next to go on." << "" << true;
        QTest::newRow("RSS 0.91") << "/rss091" << "Found the feed \"Old\". Click Next to go on."
                                  << "This document is a RSS format earlier than 2.0. It will not be optimised for the Velk Data Server"
                                  << true;
        QTest::newRow("as application/rss+xml") << "/typed" << "Found the feed \"Test\". Click Next to go on." << "" << true;
        QTest::newRow("page with one link") << "/one-link" << "Found the feed \"Test\". Click Next to go on." << "" << true;
        QTest::newRow("page without links") << "/no-links" << "No RSS Feeds were referenced in %1/no-links" << "" << false;
        QTest::newRow("404") << "/missing" << "The server answered with HTTP status 404." << "" << false;
        QTest::newRow("no feed type") << "/text" << "The content type text/plain is unsupported" << "" << false;
        QTest::newRow("not a feed") << "/html-xml" << "This document does not appear to be an RSS or Atom news feed." << "" << false;
    }

    void TheAddressCheckTellsWhatIsThere()
    {
        QFETCH(QString, path);
        QFETCH(QString, status);
        QFETCH(QString, warning);
        QFETCH(bool, next);
        FeedServer server;
        Serve(server);
        const QString base = QString::fromStdString(server.Url(""));
        bool checked = false;
        WhenShown<Wizard>([&](Wizard& wizard) {
            WizardToCheck(wizard, server.Url(path.toStdString()));
            QTRY_COMPARE(Status(wizard), status.arg(base));
            QCOMPARE(wizard.findChild<QLabel*>("warning")->text(), warning);
            QCOMPARE(ButtonOf(wizard, "next")->isEnabled(), next);
            wizard.reject();
            checked = true;
        });
        Open();
        QTRY_VERIFY(checked);
    }

    void APageLinkingSeveralFeedsOffersThemToChooseFrom()
    {
        AddFeed("http://a.example/known");
        FeedServer server;
        Serve(server);
        bool checked = false;
        WhenShown<Wizard>([&](Wizard& wizard) {
            WizardToCheck(wizard, server.Url("/two-links"));
            auto* links = wizard.findChild<QListWidget*>("links");
            QTRY_COMPARE(links->count(), 2);
            QCOMPARE(links->item(0)->text(), QString("Old news"));
            // The URL page completed from the feeds already there.
            QCOMPARE(wizard.findChild<QLineEdit*>("url")->completer()->model()->rowCount(), 1);
            QCOMPARE(links->item(1)->text(), QString("Atom news"));
            QVERIFY(!ButtonOf(wizard, "next")->isEnabled());
            Picture(wizard, "rss-wizard-links");
            links->setCurrentRow(1);
            QTRY_COMPARE(Status(wizard), QString("Found the feed \"Test\". Click Next to go on."));
            Click(wizard, "next");
            QCOMPARE(wizard.findChild<QLineEdit*>("title")->text(), QString("Test"));
            // The chosen link is the feed's address.
            Click(wizard, "back");
            Click(wizard, "back");
            QCOMPARE(wizard.findChild<QLineEdit*>("url")->text(), QString::fromStdString(server.Url("/atom")));
            wizard.reject();
            checked = true;
        });
        sheet_ = std::make_unique<PropertySheet>("Velk Data Server Properties");
        configure_->Configure(sheet_->adder(), kPlayer, "KD-40");
        sheet_->open();
        Click(*sheet_, "add");
        QTRY_VERIFY(checked);
        QCOMPARE(FeedNames().size(), 1u);
    }

    void ChoosingAnotherParserReplacesItsPages()
    {
        bool checked = false;
        WhenShown<Wizard>([&](Wizard& wizard) {
            Click(wizard, "next");
            auto* parsers = wizard.findChild<QComboBox*>("parsers");
            QCOMPARE(parsers->count(), 3);
            parsers->setCurrentIndex(parsers->findText("Yahoo Weather RSS Parser"));
            Click(wizard, "next");
            QVERIFY(wizard.findChild<QLineEdit*>("location")->isVisible());
            Click(wizard, "back");
            parsers->setCurrentIndex(parsers->findText("Generic RSS Renderer"));
            Click(wizard, "next");
            QVERIFY(wizard.findChild<QLineEdit*>("url")->isVisible());
            QVERIFY(!wizard.findChild<QLineEdit*>("location"));
            wizard.reject();
            checked = true;
        });
        Open();
        QTRY_VERIFY(checked);
    }

    void AFeedsSheetRenamesItAndChangesItsAddress()
    {
        const auto name = AddFeed("http://a.example/news");
        PropertySheet sheet("Velk Data Server Properties");
        configure_->Configure(sheet.adder(), kPlayer, "KD-40");
        sheet.open();
        bool checked = false;
        WhenShown<PropertySheet>([&](PropertySheet& feed) {
            QCOMPARE(feed.windowTitle(), QString("RSS/Atom Newsfeed Wizard"));
            QCOMPARE(feed.findChild<QLineEdit*>("name")->text(), QString("Feed http://a.example/news"));
            TypeInto(feed, "name", "Renamed");
            Picture(feed, "rss-feed-sheet");
            feed.findChild<QTabBar*>()->setCurrentIndex(1);
            TypeInto(feed, "url", "http://a.example/other");
            Click(feed, "ok");
            checked = true;
        });
        Select(sheet, "Feed http://a.example/news");
        QTest::mouseDClick(List(sheet).viewport(), Qt::LeftButton, {},
                           List(sheet).visualItemRect(Row(sheet, "Feed http://a.example/news")).center());
        QTRY_VERIFY(checked);
        QTRY_VERIFY(Row(sheet, "Renamed") != nullptr);
        QCOMPARE(Row(sheet, "Renamed")->text(1), QString("http://a.example/other"));
        QCOMPARE(FeedNames(), std::vector<std::string>{name});
        sheet.reject();
    }

private:
    static void Serve(FeedServer& server)
    {
        const std::string page_head = "<html><head>";
        server.Serve("/rss2", {200, "text/xml", testing::RssFeed({"a"})});
        server.Serve("/atom", {200, "application/xml", testing::AtomFeed({"a"})});
        server.Serve("/rss091", {200, "text/xml",
                                 "<rss version=\"0.91\"><channel><title>Old</title></channel></rss>"});
        server.Serve("/typed", {200, "application/rss+xml; charset=utf-8", testing::RssFeed({"a"})});
        server.Serve("/one-link", {200, "text/html",
                                   page_head + "<LINK REL=alternate TYPE=application/rss+xml HREF=/rss2></head></html>"});
        server.Serve("/two-links", {200, "text/html; charset=utf-8",
                                    page_head + "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"Old news\" href=\"rss091\">"
                                    "<link rel=\"alternate\" type=\"application/atom+xml\" title=\"Atom news\" href=\"/atom\"></head></html>"});
        server.Serve("/no-links", {200, "text/html", page_head + "<title>x</title></head></html>"});
        server.Serve("/text", {200, "text/plain", "hello"});
        server.Serve("/html-xml", {200, "text/xml", "<html><body/></html>"});
    }

    // The page on an empty list, which opens the wizard at once.
    void Open()
    {
        sheet_ = std::make_unique<PropertySheet>("Velk Data Server Properties");
        configure_->Configure(sheet_->adder(), kPlayer, "KD-40");
        sheet_->open();
    }

    QTemporaryDir registry_;
    std::shared_ptr<IConfigureVelkDataObject> configure_;
    std::shared_ptr<IRssFeedListSettings> settings_;
    std::unique_ptr<PropertySheet> sheet_;
};

} // namespace velk

QTEST_MAIN(velk::RssConfigPageTest)
#include "rss_config_page_test.moc"
