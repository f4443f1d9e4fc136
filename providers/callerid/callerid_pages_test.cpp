// The caller-ID provider's pages as the configuration side shows them: the provider created by
// class id from its registered module, its Configure handing "Call logging" and "Number lookup"
// from the companion module to a real property sheet, and the address book's dialogs, driven
// with the mouse and the keyboard on the offscreen platform.
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/class_registry.h"
#include "providers/callerid/tapi_settings_access.h"
#include "providers/callerid/velk_tapi_server.h"
#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"

namespace velk {
namespace {

using test::ButtonOf;
using test::Click;
using test::TypeInto;
using test::WhenShown;

// With VELK_DOCS_DIR set, keeps the window as a picture there.
void Picture(QWidget& window, const char* name)
{
    if (const char* docs = std::getenv("VELK_DOCS_DIR"))
        window.grab().save(QString::fromUtf8(docs) + "/" + name + ".png");
}

QCheckBox* Box(QWidget& sheet, const char* name)
{
    return sheet.findChild<QCheckBox*>(name);
}

QStringList Rows(QWidget& dialog)
{
    QStringList rows;
    auto* list = dialog.findChild<QTreeWidget*>("numbers");
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows << list->topLevelItem(i)->text(0) + " | " + list->topLevelItem(i)->text(1);
    return rows;
}

void Select(QWidget& dialog, int row)
{
    auto* list = dialog.findChild<QTreeWidget*>("numbers");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->topLevelItem(row)).center());
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Fills "Insert Address" when it shows and ends it with OK.
void WhenAsked(const QString& number, const QString& name, std::function<void()> then = {})
{
    WhenShown<QDialog>([=](QDialog& dialog) {
        TypeInto(dialog, "number", number);
        TypeInto(dialog, "name", name);
        Picture(dialog, "callerid_insert_address");
        Click(dialog, "ok");
        if (then)
            then();
    });
}

} // namespace

class CallerIdPagesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(registry_.isValid());
        setenv("VELK_REGISTRY_DIR", registry_.path().toUtf8().constData(), 1);
        QCOMPARE(ClassRegistry::RegisterModule(VELK_TAPI_MODULE), S_OK);
    }

    void init()
    {
        UnknownPtr object;
        QCOMPARE(ClassRegistry::CreateInstance(CLSID_VelkTAPIServer, object), S_OK);
        configure_ = std::dynamic_pointer_cast<IConfigureVelkDataObject>(object);
        settings_ = std::dynamic_pointer_cast<ITapiSettings>(object);
        QVERIFY(configure_ && settings_);
        settings_->SetSettings({kLogToEventLog | kPauseOnCall, ""});
        std::ofstream(settings_->AddressBookPath())
            << R"(<Addresses><Address Number="5551234" Name="Mum"/><Address Number="0441234" Name="Office"/></Addresses>)";
    }

    void cleanup()
    {
        configure_.reset();
        settings_.reset();
    }

    void CallLoggingShowsTheSettingsAndApplyStoresThem()
    {
        PropertySheet sheet("Velk Data Server Properties");
        QCOMPARE(configure_->Configure(sheet.adder(), "uuid:player-0", "KD-40"), S_OK);
        sheet.open();
        auto* tabs = sheet.findChild<QTabBar*>();
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QString("Call logging"));
        QCOMPARE(tabs->tabText(1), QString("Number lookup"));
        QVERIFY(!Box(sheet, "log_file")->isChecked());
        QVERIFY(Box(sheet, "log_events")->isChecked());
        QVERIFY(Box(sheet, "pause")->isChecked());
        // The file's name only counts with file logging.
        QVERIFY(!sheet.findChild<QLineEdit*>("path")->isEnabled());
        QVERIFY(!ButtonOf(sheet, "browse")->isEnabled());

        QTest::mouseClick(Box(sheet, "log_file"), Qt::LeftButton);
        QVERIFY(sheet.findChild<QLineEdit*>("path")->isEnabled());
        QVERIFY(ButtonOf(sheet, "browse")->isEnabled());
        TypeInto(sheet, "path", "/var/log/calls.txt");
        QTest::mouseClick(Box(sheet, "pause"), Qt::LeftButton);
        Picture(sheet, "callerid_logging_page");
        Click(sheet, "apply");
        QCOMPARE(settings_->Settings(), (TapiSettings{kLogToFile | kLogToEventLog, "/var/log/calls.txt"}));
    }

    void FileLoggingWithoutAFileNameIsRefused()
    {
        PropertySheet sheet("Velk Data Server Properties");
        configure_->Configure(sheet.adder(), "uuid:player-0", "KD-40");
        sheet.open();
        QTest::mouseClick(Box(sheet, "log_file"), Qt::LeftButton);
        QString warning;
        WhenShown<QMessageBox>([&](QMessageBox& box) {
            warning = box.windowTitle() + ": " + box.text();
            box.accept();
        });
        Click(sheet, "apply");
        QCOMPARE(warning, QString("Velk Caller ID Server: You must provide a filename if you want to do file logging"));
        QCOMPARE(settings_->Settings(), (TapiSettings{kLogToEventLog | kPauseOnCall, ""}));
        QCOMPARE(sheet.focusWidget(), sheet.findChild<QLineEdit*>("path"));
    }

    void NumberLookupOffersOnlyTheLocalBook()
    {
        PropertySheet sheet("Velk Data Server Properties");
        configure_->Configure(sheet.adder(), "uuid:player-0", "KD-40");
        sheet.open();
        sheet.findChild<QTabBar*>()->setCurrentIndex(1);
        QVERIFY(sheet.findChild<QRadioButton*>("local")->isChecked());
        QVERIFY(!sheet.findChild<QRadioButton*>("database")->isEnabled());
        QVERIFY(!sheet.findChild<QRadioButton*>("mailbox")->isEnabled());
        QVERIFY(!ButtonOf(sheet, "configure")->isEnabled());
        Picture(sheet, "callerid_lookup_page");
    }

    void EditNumbersAddsEditsAndDeletesAndOkWritesTheBook()
    {
        PropertySheet sheet("Velk Data Server Properties");
        configure_->Configure(sheet.adder(), "uuid:player-0", "KD-40");
        sheet.open();
        sheet.findChild<QTabBar*>()->setCurrentIndex(1);
        QStringList questions;
        QStringList rows;
        WhenShown<QDialog>([&](QDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QString("Edit Numbers"));
            QCOMPARE(Rows(dialog), (QStringList{"5551234 | Mum", "0441234 | Office"}));
            Picture(dialog, "callerid_edit_numbers");

            WhenAsked("0207946", "Dentist");
            Click(dialog, "add");
            // A number that is mapped already: replaced only when the user says so.
            WhenAsked("5551234", "Mother", [&] {
                WhenShown<QMessageBox>([&](QMessageBox& box) {
                    questions << box.text();
                    box.button(QMessageBox::Yes)->click();
                });
            });
            Click(dialog, "add");
            Select(dialog, 1);
            WhenAsked("0441235", "Office");
            Click(dialog, "edit");
            Select(dialog, 0);
            WhenShown<QMessageBox>([&](QMessageBox& box) {
                questions << box.text();
                box.button(QMessageBox::Yes)->click();
            });
            Click(dialog, "delete");
            rows = Rows(dialog);
            Click(dialog, "ok");
        });
        Click(sheet, "edit_numbers");
        QCOMPARE(questions, (QStringList{"This number is already mapped to a name. Do you want to overwrite it?",
                                         "Are you sure you want to delete 5551234 from the list of numbers?"}));
        QCOMPARE(rows, (QStringList{"0441235 | Office", "0207946 | Dentist"}));
        AddressBook book;
        QCOMPARE(book.Load(settings_->AddressBookPath()), S_OK);
        QCOMPARE(book.entries(), (std::vector<AddressEntry>{{"0441235", "Office"}, {"0207946", "Dentist"}}));
    }

    void CancelLeavesTheBookAsItWas()
    {
        const std::string before = FileText(settings_->AddressBookPath());
        PropertySheet sheet("Velk Data Server Properties");
        configure_->Configure(sheet.adder(), "uuid:player-0", "KD-40");
        sheet.open();
        sheet.findChild<QTabBar*>()->setCurrentIndex(1);
        QString question;
        WhenShown<QDialog>([&](QDialog& dialog) {
            auto* list = dialog.findChild<QTreeWidget*>("numbers");
            list->selectAll();
            WhenShown<QMessageBox>([&](QMessageBox& box) {
                question = box.text();
                box.button(QMessageBox::Yes)->click();
            });
            Click(dialog, "delete");
            QVERIFY(Rows(dialog).isEmpty());
            Click(dialog, "cancel");
        });
        Click(sheet, "edit_numbers");
        QCOMPARE(question, QString("Are you sure you want to delete these numbers?"));
        QCOMPARE(FileText(settings_->AddressBookPath()), before);
    }

private:
    QTemporaryDir registry_;
    std::shared_ptr<IConfigureVelkDataObject> configure_;
    std::shared_ptr<ITapiSettings> settings_;
};

} // namespace velk

QTEST_MAIN(velk::CallerIdPagesTest)
#include "callerid_pages_test.moc"
