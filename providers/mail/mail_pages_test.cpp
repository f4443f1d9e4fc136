// The mail provider's pages as the configuration side shows them: the provider created by class
// id from its registered module, its Configure handing the "Mail Servers" page from the
// companion module to a real property sheet; the add-account wizard and an account's settings
// driven with the mouse and the keyboard on the offscreen platform.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdlib>
#include <functional>

#include "platform/class_registry.h"
#include "providers/mail/mail_server_settings.h"
#include "providers/mail/velk_mail_server.h"
#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"
#include "ui/testdata/when_shown.h"
#include "ui/wizard.h"

namespace velk {
namespace {

using test::ButtonOf;
using test::Click;
using test::TypeInto;
using test::WhenShown;


QStringList Rows(QWidget& sheet)
{
    QStringList rows;
    auto* list = sheet.findChild<QTreeWidget*>("servers");
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows << list->topLevelItem(i)->text(0) + " | " + list->topLevelItem(i)->text(1);
    return rows;
}

// With VELK_DOCS_DIR set, keeps the window as a picture there.
void Picture(QWidget& window, const char* name)
{
    if (const char* docs = std::getenv("VELK_DOCS_DIR"))
        window.grab().save(QString::fromUtf8(docs) + "/" + name + ".png");
}

void Select(QWidget& sheet, int row)
{
    auto* list = sheet.findChild<QTreeWidget*>("servers");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->topLevelItem(row)).center());
}

} // namespace

class MailPagesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(registry_.isValid());
        setenv("VELK_REGISTRY_DIR", registry_.path().toUtf8().constData(), 1);
        QCOMPARE(ClassRegistry::RegisterModule(VELK_MAIL_MODULE), S_OK);
    }

    void init()
    {
        UnknownPtr object;
        QCOMPARE(ClassRegistry::CreateInstance(CLSID_VelkMailServer, object), S_OK);
        configure_ = std::dynamic_pointer_cast<IConfigureVelkDataObject>(object);
        settings_ = std::dynamic_pointer_cast<IMailServerSettings>(object);
        QVERIFY(configure_ && settings_);
        settings_->AddServer({"pop.example.org", "ann", "one", MailSecurity::Plain, 110, ""});
        settings_->AddServer({"mail.example.net", "bob", "two", MailSecurity::Tls, 995, ""});
    }

    void cleanup()
    {
        configure_.reset();
        settings_.reset();
    }

    void TheListShowsEachAccountByNameAndType()
    {
        PropertySheet sheet("Velk Data Server Properties");
        QCOMPARE(configure_->Configure(sheet.adder(), "uuid:player-0", "KD-40"), S_OK);
        sheet.open();
        QCOMPARE(Rows(sheet), (QStringList{"pop.example.org | POP3", "mail.example.net | POP3"}));
        auto* list = sheet.findChild<QTreeWidget*>("servers");
        QCOMPARE(list->headerItem()->text(0), QString("Name"));
        QCOMPARE(list->headerItem()->text(1), QString("Type"));
        QVERIFY(!ButtonOf(sheet, "apply")->isEnabled());
        Picture(sheet, "mail_servers_page");
    }

    void TheWizardAddsAPop3AccountAndTheListShowsIt()
    {
        PropertySheet sheet("Velk Data Server Properties");
        configure_->Configure(sheet.adder(), "uuid:player-0", "KD-40");
        sheet.open();
        bool seen = false;
        WhenShown<Wizard>([&](Wizard& wizard) {
            seen = true;
            QCOMPARE(wizard.windowTitle(), QString("Select Server Type"));
            QVERIFY(wizard.findChild<QRadioButton*>("pop3")->isChecked());
            QVERIFY(!wizard.findChild<QRadioButton*>("imap")->isEnabled());
            Picture(wizard, "mail_wizard_type");
            Click(wizard, "next");
            QCOMPARE(wizard.windowTitle(), QString("POP3 Server"));
            QCOMPARE(wizard.findChild<QLineEdit*>("password")->echoMode(), QLineEdit::Password);
            TypeInto(wizard, "user", "carol");
            TypeInto(wizard, "password", "s3cret");
            TypeInto(wizard, "host", "pop.mail.example");
            auto* security = wizard.findChild<QComboBox*>("security");
            security->setCurrentIndex(security->findData(static_cast<int>(MailSecurity::StartTls)));
            Picture(wizard, "mail_wizard_pop3");
            Click(wizard, "finish");
        });
        Click(sheet, "add");
        QVERIFY(seen);
        QCOMPARE(Rows(sheet).size(), 3);
        QCOMPARE(Rows(sheet).last(), QString("pop.mail.example | POP3"));
        QVERIFY(ButtonOf(sheet, "apply")->isEnabled());
        const auto added = settings_->Servers().back();
        QCOMPARE(added.user_name, std::string("carol"));
        QCOMPARE(added.password, std::string("s3cret"));
        QCOMPARE(added.security, MailSecurity::StartTls);
        QCOMPARE(added.port, std::uint16_t{110});
    }

    void TheWizardRefusesToFinishWithoutAServer()
    {
        PropertySheet sheet("Velk Data Server Properties");
        configure_->Configure(sheet.adder(), "uuid:player-0", "KD-40");
        sheet.open();
        QString warning;
        WhenShown<Wizard>([&](Wizard& wizard) {
            Click(wizard, "next");
            TypeInto(wizard, "user", "carol");
            WhenShown<QMessageBox>([&](QMessageBox& box) {
                warning = box.text();
                box.accept();
                QVERIFY(wizard.isVisible());
                Click(wizard, "cancel");
            });
            Click(wizard, "finish");
        });
        Click(sheet, "add");
        QCOMPARE(warning, QString("Please enter the incoming mail server."));
        QCOMPARE(Rows(sheet).size(), 2);
        QCOMPARE(settings_->Servers().size(), std::size_t{2});
    }

    void DeleteAsksFirst()
    {
        PropertySheet sheet("Velk Data Server Properties");
        configure_->Configure(sheet.adder(), "uuid:player-0", "KD-40");
        sheet.open();
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            QString question;
            Select(sheet, 0);
            WhenShown<QMessageBox>([&](QMessageBox& box) {
                question = box.text();
                box.button(answer)->click();
            });
            Click(sheet, "delete");
            QCOMPARE(question, QString("Are you sure you want to delete this mail server?"));
        }
        QCOMPARE(Rows(sheet), (QStringList{"mail.example.net | POP3"}));
        QCOMPARE(settings_->Servers().size(), std::size_t{1});
    }

    void ConfigureEditsTheAccountsConnection()
    {
        PropertySheet sheet("Velk Data Server Properties");
        configure_->Configure(sheet.adder(), "uuid:player-0", "KD-40");
        sheet.open();
        Select(sheet, 0);
        WhenShown<PropertySheet>([&](PropertySheet& account) {
            QCOMPARE(account.findChild<QLineEdit*>("host")->text(), QString("pop.example.org"));
            QCOMPARE(account.findChild<QLineEdit*>("user")->text(), QString("ann"));
            auto* security = account.findChild<QComboBox*>("security");
            security->setCurrentIndex(security->findData(static_cast<int>(MailSecurity::Tls)));
            QCOMPARE(account.findChild<QSpinBox*>("port")->value(), 995);
            account.findChild<QPlainTextEdit*>("trusted")->setPlainText(
                "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----");
            Click(account, "ok");
        });
        Click(sheet, "configure");
        const auto edited = settings_->Servers().front();
        QCOMPARE(edited.host, std::string("pop.example.org"));
        QCOMPARE(edited.password, std::string("one"));
        QCOMPARE(edited.security, MailSecurity::Tls);
        QCOMPARE(edited.port, std::uint16_t{995});
        QCOMPARE(edited.trusted_pem, std::string("-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n"));
        QVERIFY(ButtonOf(sheet, "apply")->isEnabled());
    }

private:
    QTemporaryDir registry_;
    std::shared_ptr<IConfigureVelkDataObject> configure_;
    std::shared_ptr<IMailServerSettings> settings_;
};

} // namespace velk

QTEST_MAIN(velk::MailPagesTest)
#include "mail_pages_test.moc"
