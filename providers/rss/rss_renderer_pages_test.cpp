// The generic renderer's pages as the news-feed pages show them: the renderer created by class
// id from its registered module, its AddPages handing the pages from the companion module to a
// real wizard or property sheet, driven with the keyboard and the mouse on the offscreen
// platform.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "platform/class_registry.h"
#include "providers/rss/generic_rss_renderer.h"
#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"
#include "ui/wizard.h"

namespace velk {
namespace {

using test::ButtonOf;
using test::Click;
using test::TypeInto;

// Answers the next message box with OK once it shows, keeping its text; nothing once it has
// gone out of scope.
class MessageBoxAnswer {
public:
    MessageBoxAnswer()
    {
        QTimer::singleShot(0, &context_, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                caption = box->windowTitle();
                box->accept();
            }
        });
    }
    QString text;
    QString caption;

private:
    QObject context_;
};

QString FieldText(QWidget& host, const char* field_name)
{
    return host.findChild<QLineEdit*>(field_name)->text();
}

} // namespace

class RssRendererPagesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(registry_.isValid());
        setenv("VELK_REGISTRY_DIR", registry_.path().toUtf8().constData(), 1);
        QCOMPARE(ClassRegistry::RegisterModule(VELK_RSS_MODULE), S_OK);
    }

    void init()
    {
        UnknownPtr object;
        QCOMPARE(ClassRegistry::CreateInstance(CLSID_GenericRSSRenderer, object), S_OK);
        renderer_ = std::dynamic_pointer_cast<IRSSRenderer>(object);
        settings_ = std::dynamic_pointer_cast<IGenericRendererSettings>(object);
        QVERIFY(renderer_ && settings_);
    }

    void cleanup()
    {
        renderer_.reset();
        settings_.reset();
    }

    void WizardGoesPastTheCredentialsForAnAddressOtherThanHttps()
    {
        settings_->SetCredentials("earlier", "secret");
        Wizard wizard;
        QCOMPARE(renderer_->AddPages(wizard.adder(), true), S_OK);
        test::PageSet following;
        following.Add(wizard, 9000); // the wizard's next page (validation)
        wizard.open();
        QCOMPARE(wizard.windowTitle(), QString("RSS/Atom Newsfeed Wizard"));
        QVERIFY2(wizard.findChild<QLineEdit*>("url")->isVisible(), "the first page's controls are shown");

        TypeInto(wizard, "url", "http://news.example/top stories.xml");
        Click(wizard, "next");
        QCOMPARE(wizard.CurrentIndex(), 2);
        QCOMPARE(Url(), std::string("http://news.example/top%20stories.xml"));
        QCOMPARE(Credentials(), std::make_pair(std::string(), std::string()));

        Click(wizard, "back");
        QCOMPARE(wizard.CurrentIndex(), 0);
        QCOMPARE(FieldText(wizard, "url"), QString("http://news.example/top%20stories.xml"));
    }

    void WizardAsksForBothCredentialsOfAnHttpsFeed()
    {
        Wizard wizard;
        QCOMPARE(renderer_->AddPages(wizard.adder(), true), S_OK);
        test::PageSet following;
        following.Add(wizard, 9000);
        wizard.open();

        TypeInto(wizard, "url", "HTTPS://News.Example/rss");
        Click(wizard, "next");
        QCOMPARE(wizard.CurrentIndex(), 1);
        QCOMPARE(wizard.findChild<QLabel*>("prompt")->text(),
                 QString("Please enter the username for news.example"));
        QVERIFY(!ButtonOf(wizard, "next")->isEnabled());
        TypeInto(wizard, "username", "reader");
        QVERIFY(!ButtonOf(wizard, "next")->isEnabled());
        TypeInto(wizard, "password", "s3cret");
        QVERIFY(ButtonOf(wizard, "next")->isEnabled());
        TypeInto(wizard, "username", "");
        QVERIFY(!ButtonOf(wizard, "next")->isEnabled());
        TypeInto(wizard, "username", "reader");

        Click(wizard, "next");
        QCOMPARE(wizard.CurrentIndex(), 2);
        QCOMPARE(Url(), std::string("https://news.example/rss"));
        QCOMPARE(Credentials(), std::make_pair(std::string("reader"), std::string("s3cret")));
    }

    void WizardRefusesWhatIsNoUrl_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << "";
        QTest::newRow("no scheme") << "news.example/rss";
        QTest::newRow("no host") << "http://";
    }

    void WizardRefusesWhatIsNoUrl()
    {
        QFETCH(QString, typed);
        renderer_->put_URL("http://kept.example/");
        Wizard wizard;
        QCOMPARE(renderer_->AddPages(wizard.adder(), true), S_OK);
        wizard.open();
        TypeInto(wizard, "url", typed);

        MessageBoxAnswer answer;
        Click(wizard, "next");
        QCOMPARE(answer.text, QString("Please enter a valid URL"));
        QCOMPARE(answer.caption, QString("Velk RSS/Atom Newsfeed"));
        QCOMPARE(wizard.CurrentIndex(), 0);
        QCOMPARE(Url(), std::string("http://kept.example/"));
    }

    void ConfiguringAFeedOtherThanHttpsShowsOnlyItsAddress()
    {
        renderer_->put_URL("http://news.example/rss");
        PropertySheet sheet("Feed");
        QCOMPARE(renderer_->AddPages(sheet.adder(), false), S_OK);
        sheet.open();
        auto* tabs = sheet.findChild<QTabBar*>();
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->tabText(0), QString("URL"));
        QCOMPARE(FieldText(sheet, "url"), QString("http://news.example/rss"));
        QVERIFY(!ButtonOf(sheet, "apply")->isEnabled());

        TypeInto(sheet, "url", "http://news.example/world");
        QVERIFY(ButtonOf(sheet, "apply")->isEnabled());
        Click(sheet, "apply");
        QVERIFY(!ButtonOf(sheet, "apply")->isEnabled());
        QCOMPARE(Url(), std::string("http://news.example/world"));

        // A wrong address keeps the sheet open and the stored one.
        TypeInto(sheet, "url", "world");
        MessageBoxAnswer answer;
        Click(sheet, "ok");
        QCOMPARE(answer.text, QString("Please enter a valid URL"));
        QVERIFY(sheet.isVisible());
        QCOMPARE(Url(), std::string("http://news.example/world"));
    }

    void ConfiguringAnHttpsFeedEditsItsStoredCredentials()
    {
        renderer_->put_URL("https://news.example/rss");
        settings_->SetCredentials("reader", "old");
        PropertySheet sheet("Feed");
        QCOMPARE(renderer_->AddPages(sheet.adder(), false), S_OK);
        sheet.open();
        auto* tabs = sheet.findChild<QTabBar*>();
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(1), QString("Credentials"));
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(FieldText(sheet, "username"), QString("reader"));
        QCOMPARE(FieldText(sheet, "password"), QString("old"));

        TypeInto(sheet, "password", "new");
        QVERIFY(ButtonOf(sheet, "apply")->isEnabled());
        Click(sheet, "ok");
        QCOMPARE(Credentials(), std::make_pair(std::string("reader"), std::string("new")));
    }

private:
    std::string Url() const
    {
        std::string url;
        renderer_->get_URL(url);
        return url;
    }
    std::pair<std::string, std::string> Credentials() const
    {
        std::string username;
        std::string password;
        renderer_->get_Username(username);
        renderer_->get_Password(password);
        return {username, password};
    }

    QTemporaryDir registry_;
    std::shared_ptr<IRSSRenderer> renderer_;
    std::shared_ptr<IGenericRendererSettings> settings_;
};

} // namespace velk

QTEST_MAIN(velk::RssRendererPagesTest)
#include "rss_renderer_pages_test.moc"
