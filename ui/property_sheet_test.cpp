#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"

#include <map>

#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

namespace velk {
namespace {

using test::ButtonOf;
using test::Click;
using test::PageSet;

void SelectTab(PropertySheet& sheet, int index)
{
    auto* tabs = sheet.findChild<QTabBar*>();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

// Each character answers one page's PSN_SETACTIVE: '1' accepts, '0' refuses.
void ScriptActivation(PageSet& pages, const QString& answers)
{
    for (int i = 0; i < answers.size(); ++i)
        pages[i].script.set_active = answers[i] == '1' ? 1 : 0;
}

} // namespace

class PropertySheetTest : public QObject {
    Q_OBJECT

private slots:
    void OpensOnTheFirstPageThatAccepts_data()
    {
        QTest::addColumn<QString>("set_active");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QStringList>("calls");

        QTest::newRow("first accepts") << "111" << 0 << QStringList{"A.Init", "A.SetActive"};
        QTest::newRow("first refuses")
            << "011" << 1 << QStringList{"A.Init", "A.SetActive", "B.Init", "B.SetActive"};
        QTest::newRow("none accepts")
            << "000" << 0 << QStringList{"A.Init",      "A.SetActive", "B.Init",
                                         "B.SetActive", "C.Init",      "C.SetActive"};
    }

    void OpensOnTheFirstPageThatAccepts()
    {
        QFETCH(QString, set_active);
        QFETCH(int, expected);
        QFETCH(QStringList, calls);

        PropertySheet sheet("sheet");
        PageSet pages;
        for (int i = 0; i < set_active.size(); ++i)
            pages.Add(sheet);
        ScriptActivation(pages, set_active);
        QCOMPARE(pages.Take(), QStringList{}); // nothing is built before the sheet shows
        sheet.open();

        QCOMPARE(sheet.CurrentIndex(), expected);
        QCOMPARE(sheet.findChild<QTabBar*>()->currentIndex(), expected);
        QCOMPARE(pages.Take(), calls);
    }

    void ChangingTabsAsksBothPages_data()
    {
        QTest::addColumn<QString>("set_active");
        QTest::addColumn<int>("kill_active");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QStringList>("calls");

        QTest::newRow("both accept")
            << "111" << 1 << 0 << 2 << 2 << QStringList{"A.KillActive", "C.Init", "C.SetActive"};
        QTest::newRow("page keeps itself")
            << "111" << 0 << 0 << 1 << 0 << QStringList{"A.KillActive"};
        QTest::newRow("refusing page skipped forwards")
            << "1011" << 1 << 0 << 1 << 2
            << QStringList{"A.KillActive", "B.Init", "B.SetActive", "C.Init", "C.SetActive"};
        QTest::newRow("refusing page skipped backwards")
            << "1101" << 1 << 3 << 2 << 1
            << QStringList{"D.KillActive", "C.Init", "C.SetActive", "B.Init", "B.SetActive"};
        QTest::newRow("no page accepts: the page left is active again")
            << "1110" << 1 << 0 << 3 << 0
            << QStringList{"A.KillActive", "D.Init", "D.SetActive", "A.SetActive"};
    }

    void ChangingTabsAsksBothPages()
    {
        QFETCH(QString, set_active);
        QFETCH(int, kill_active);
        QFETCH(int, start);
        QFETCH(int, chosen);
        QFETCH(int, expected);
        QFETCH(QStringList, calls);

        PropertySheet sheet("sheet");
        PageSet pages;
        for (int i = 0; i < set_active.size(); ++i)
            pages.Add(sheet);
        sheet.open();
        SelectTab(sheet, start);
        QCOMPARE(sheet.CurrentIndex(), start);
        ScriptActivation(pages, set_active);
        pages[start].script.kill_active = kill_active;
        pages.Take();

        SelectTab(sheet, chosen);
        QCOMPARE(sheet.CurrentIndex(), expected);
        QCOMPARE(sheet.findChild<QTabBar*>()->currentIndex(), expected);
        QCOMPARE(pages.Take(), calls);
    }

    void ClosingDestroysEveryBuiltPageThenItsWidget()
    {
        auto sheet = std::make_unique<PropertySheet>("sheet");
        PageSet pages;
        for (int i = 0; i < 3; ++i)
            pages.Add(*sheet);
        std::map<const test::TestPage*, QPointer<QWidget>> widgets;
        auto watch = [&](test::TestPage& page, const std::string& call) {
            if (call == "Init")
                widgets[&page] = page.window();
            if (call == "~")
                pages[0].log->append(widgets[&page] ? "widget alive" : "widget gone");
        };
        pages[0].action = pages[2].action = watch;
        sheet->open();
        SelectTab(*sheet, 2);
        pages.Take();

        Click(*sheet, "cancel");
        QVERIFY(!sheet->isVisible());
        QCOMPARE(pages.Take(), (QStringList{"C.QueryCancel", "A.Destroy", "A.~", "widget alive",
                                            "C.Destroy", "C.~", "widget alive"}));
        QCOMPARE(widgets.size(), 2u);
        for (const auto& [page, widget] : widgets)
            QVERIFY(!widget);

        // The records, and so the owners, stay with the sheet until it goes.
        const auto owner = pages.Watch(1);
        pages.Release();
        QVERIFY(!owner.expired());
        sheet.reset();
        QVERIFY(owner.expired());
    }

    void OkAppliesEveryBuiltPageAndCloses()
    {
        PropertySheet sheet("sheet");
        PageSet pages;
        for (int i = 0; i < 3; ++i)
            pages.Add(sheet);
        sheet.open();
        SelectTab(sheet, 2);
        pages.Take();

        Click(sheet, "ok");
        QVERIFY(!sheet.isVisible());
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QCOMPARE(pages.Take(), (QStringList{"C.KillActive", "A.Apply", "C.Apply", "A.Destroy",
                                            "A.~", "C.Destroy", "C.~"}));
    }

    void RefusedApplyKeepsTheSheetOnThatPage_data()
    {
        QTest::addColumn<int>("refusing");
        QTest::addColumn<QStringList>("calls");

        QTest::newRow("another page") << 0 << QStringList{"C.KillActive", "A.Apply", "A.SetActive"};
        QTest::newRow("the current page") << 2 << QStringList{"C.KillActive", "A.Apply", "C.Apply"};
    }

    void RefusedApplyKeepsTheSheetOnThatPage()
    {
        QFETCH(int, refusing);
        QFETCH(QStringList, calls);

        PropertySheet sheet("sheet");
        PageSet pages;
        for (int i = 0; i < 3; ++i)
            pages.Add(sheet);
        sheet.open();
        SelectTab(sheet, 2);
        pages[refusing].script.apply = 0;
        pages.Take();

        Click(sheet, "ok");
        QVERIFY(sheet.isVisible());
        QCOMPARE(sheet.CurrentIndex(), refusing);
        QCOMPARE(sheet.findChild<QTabBar*>()->currentIndex(), refusing);
        QCOMPARE(pages.Take(), calls);
    }

    void OkDoesNothingWhileThePageKeepsItself()
    {
        PropertySheet sheet("sheet");
        PageSet pages;
        pages.Add(sheet).script.kill_active = 0;
        sheet.open();
        pages.Take();

        Click(sheet, "ok");
        QVERIFY(sheet.isVisible());
        QCOMPARE(pages.Take(), QStringList{"A.KillActive"});
    }

    void ApplyIsEnabledWhileAPageHasChanges()
    {
        PropertySheet sheet("sheet");
        PageSet pages;
        pages.Add(sheet);
        pages.Add(sheet);
        sheet.open();
        SelectTab(sheet, 1);
        QPushButton* apply = ButtonOf(sheet, "apply");
        test::TestPage& a = *pages[0].page;
        test::TestPage& b = *pages[1].page;
        QVERIFY(!apply->isEnabled());

        sheet.Changed(a);
        sheet.Changed(b);
        QVERIFY(apply->isEnabled());
        sheet.Unchanged(a);
        QVERIFY(apply->isEnabled());
        sheet.Unchanged(b);
        QVERIFY(!apply->isEnabled());

        sheet.Changed(a);
        pages[0].script.apply = 0;
        pages.Take();
        Click(sheet, "apply");
        QVERIFY(apply->isEnabled());
        QCOMPARE(sheet.CurrentIndex(), 0);
        QCOMPARE(pages.Take(), (QStringList{"B.KillActive", "A.Apply", "A.SetActive"}));

        pages[0].script.apply = 1;
        Click(sheet, "apply");
        QVERIFY(!apply->isEnabled());
        QVERIFY(sheet.isVisible());
        QCOMPARE(pages.Take(), (QStringList{"A.KillActive", "A.Apply", "B.Apply"}));
    }

    void CancelAsksTheCurrentPage_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");

        for (const char* way : {"button", "escape", "window close"}) {
            QTest::addRow("%s, accepted", way) << way << 0 << true;
            QTest::addRow("%s, refused", way) << way << 1 << false;
        }
    }

    void CancelAsksTheCurrentPage()
    {
        QFETCH(QString, way);
        QFETCH(int, answer);
        QFETCH(bool, closes);

        PropertySheet sheet("sheet");
        PageSet pages;
        pages.Add(sheet);
        pages.Add(sheet).script.query_cancel = 1; // never asked: not the current page
        sheet.open();
        pages[0].script.query_cancel = answer;
        pages.Take();

        if (way == "button")
            Click(sheet, "cancel");
        else if (way == "escape")
            QTest::keyClick(&sheet, Qt::Key_Escape);
        else
            sheet.close();
        QCOMPARE(!sheet.isVisible(), closes);
        const QStringList calls = pages.Take();
        QCOMPARE(calls.value(0), QString("A.QueryCancel"));
        QVERIFY(!calls.contains("A.Apply"));
        QCOMPARE(calls.contains("A.Destroy"), closes);
    }

    void CancelToCloseLeavesOnlyClose()
    {
        PropertySheet sheet("sheet");
        PageSet pages;
        pages.Add(sheet);
        sheet.open();
        pages[0].page->sheet().CancelToClose();
        pages.Take();

        QVERIFY(!ButtonOf(sheet, "cancel")->isEnabled());
        QCOMPARE(ButtonOf(sheet, "ok")->text(), QString("Close"));
        QTest::keyClick(&sheet, Qt::Key_Escape);
        sheet.close();
        QVERIFY(sheet.isVisible());
        QCOMPARE(pages.Take(), QStringList{});

        Click(sheet, "ok");
        QVERIFY(!sheet.isVisible());
        QCOMPARE(pages.Take().mid(0, 2), (QStringList{"A.KillActive", "A.Apply"}));
    }

    void QuerySiblingsAsksBuiltPagesUntilOneAnswers()
    {
        PropertySheet sheet("sheet");
        PageSet pages;
        for (std::intptr_t answer : {0, 7, 9, 5})
            pages.Add(sheet).script.query_siblings = answer;
        sheet.open();
        SelectTab(sheet, 1);
        SelectTab(sheet, 2);
        pages.Take();

        QCOMPARE(pages[0].page->sheet().QuerySiblings(1, 2), 7);
        QCOMPARE(pages.Take(), (QStringList{"A.QuerySiblings", "B.QuerySiblings"}));

        pages[1].script.query_siblings = pages[2].script.query_siblings = 0;
        QCOMPARE(sheet.QuerySiblings(1, 2), 0); // D is never built, so never asked
        QCOMPARE(pages.Take(),
                 (QStringList{"A.QuerySiblings", "B.QuerySiblings", "C.QuerySiblings"}));
    }

    void PagesAddedWhileRunningAreBuiltWhenShown()
    {
        auto sheet = std::make_unique<PropertySheet>("sheet");
        PageSet pages;
        pages.Add(*sheet);
        const AddPropSheetPageFn add = sheet->adder();
        sheet->open();
        pages.Take();

        auto late = std::make_shared<test::PageOwner>("L", pages[0].log);
        QVERIFY(add(test::MakeTestPage(late)));
        QVERIFY(!add(nullptr));
        QCOMPARE(sheet->findChild<QTabBar*>()->count(), 2);
        QCOMPARE(sheet->findChild<QTabBar*>()->tabText(1), QString("L"));
        QCOMPARE(pages.Take(), QStringList{});
        SelectTab(*sheet, 1);
        QCOMPARE(sheet->CurrentIndex(), 1);
        QCOMPARE(pages.Take(), (QStringList{"A.KillActive", "L.Init", "L.SetActive"}));

        Click(*sheet, "cancel");
        QVERIFY(!add(test::MakeTestPage(late)));
        sheet.reset();
        QVERIFY(!add(test::MakeTestPage(late)));
    }

    // Tabs and changes follow the pages they belong to when pages are put before them or taken out.
    void PagesInsertedAndRemovedKeepTabsAndChanges()
    {
        PropertySheet sheet("sheet");
        PageSet pages;
        pages.Add(sheet);
        pages.Add(sheet);
        sheet.open();
        SelectTab(sheet, 1);
        QTabBar* tabs = sheet.findChild<QTabBar*>();
        QPushButton* apply = ButtonOf(sheet, "apply");
        sheet.Changed(*pages[1].page);

        QVERIFY(sheet.InsertPage(1, test::MakeTestPage(
            std::make_shared<test::PageOwner>("I", pages[0].log))));
        QCOMPARE(tabs->tabText(1), QString("I"));
        QCOMPARE(sheet.CurrentIndex(), 2);
        QCOMPARE(tabs->currentIndex(), 2);
        QCOMPARE(sheet.IndexOf(*pages[1].page), 2);

        // B's change stays B's: taking out the page before it leaves Apply on.
        QVERIFY(sheet.RemovePage(1));
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(sheet.CurrentIndex(), 1);
        QVERIFY(apply->isEnabled());
        sheet.Unchanged(*pages[1].page);
        QVERIFY(!apply->isEnabled());

        // A built page taken out is destroyed; a changed one takes its change with it.
        SelectTab(sheet, 0);
        sheet.Changed(*pages[1].page);
        pages.Take();
        QVERIFY(sheet.RemovePage(1));
        QCOMPARE(pages.Take(), (QStringList{"B.Destroy", "B.~"}));
        QVERIFY(!apply->isEnabled());
        QVERIFY(!sheet.RemovePage(0));
    }

    void PagesWithoutObjectAcceptEverything()
    {
        PropertySheet sheet("sheet");
        auto null_page = std::make_shared<PropSheetPage>();
        null_page->title = "null";
        null_page->create = [](QWidget*, IPropertySheet&, const PropSheetPage&) {
            return std::unique_ptr<CRenderedPropertyPage>();
        };
        auto no_maker = std::make_shared<PropSheetPage>();
        no_maker->title = "no maker";
        QVERIFY(sheet.AddPage(null_page));
        QVERIFY(sheet.AddPage(no_maker));
        sheet.open();
        QCOMPARE(sheet.CurrentIndex(), 0);

        SelectTab(sheet, 1);
        QCOMPARE(sheet.CurrentIndex(), 1);
        Click(sheet, "ok");
        QVERIFY(!sheet.isVisible());
        QCOMPARE(sheet.Run(), 1);
    }

    void RunReturnsWhetherAnApplySucceeded_data()
    {
        QTest::addColumn<QList<int>>("presses");
        QTest::addColumn<int>("apply");
        QTest::addColumn<int>("expected");

        QTest::newRow("OK") << QList<int>{PSBTN_OK} << 1 << 1;
        QTest::newRow("Cancel") << QList<int>{PSBTN_CANCEL} << 1 << 0;
        QTest::newRow("Apply, then Cancel") << QList<int>{PSBTN_APPLYNOW, PSBTN_CANCEL} << 1 << 1;
        QTest::newRow("refused Apply, then Cancel")
            << QList<int>{PSBTN_APPLYNOW, PSBTN_CANCEL} << 0 << 0;
    }

    void RunReturnsWhetherAnApplySucceeded()
    {
        QFETCH(QList<int>, presses);
        QFETCH(int, apply);
        QFETCH(int, expected);

        PropertySheet sheet("sheet");
        PageSet pages;
        pages.Add(sheet).action = [](test::TestPage& page, const std::string& call) {
            if (call == "Init")
                page.sheet().Changed(page);
        };
        pages[0].script.apply = apply;
        for (int button : presses)
            QVERIFY(sheet.PressButton(button));

        QCOMPARE(sheet.Run(), expected);
        QCOMPARE(sheet.Run(), expected); // a closed sheet does not run again
    }

    void PressButtonQueuesAClickOnTheSheetsButtons()
    {
        PropertySheet sheet("sheet");
        PageSet pages;
        pages.Add(sheet);
        sheet.open();
        pages[0].page->sheet().SetWizButtons(PSWIZB_BACK | PSWIZB_NEXT); // no such buttons here
        for (int button : {PSBTN_BACK, PSBTN_NEXT, PSBTN_FINISH, 99})
            QVERIFY(!sheet.PressButton(button));
        pages.Take();

        QVERIFY(sheet.PressButton(PSBTN_APPLYNOW)); // disabled: the click does nothing
        QVERIFY(sheet.PressButton(PSBTN_OK));
        QVERIFY(sheet.isVisible());
        QCOMPARE(pages.Take(), QStringList{});
        QCoreApplication::processEvents();
        QVERIFY(!sheet.isVisible());
        QCOMPARE(pages.Take().mid(0, 2), (QStringList{"A.KillActive", "A.Apply"}));
        QVERIFY(!sheet.PressButton(PSBTN_OK));
    }

    void PageClosingItsSheetIsDestroyedAfterItsCall()
    {
        PropertySheet sheet("sheet");
        PageSet pages;
        pages.Add(sheet).action = [&](test::TestPage& page, const std::string& call) {
            if (call != "KillActive")
                return;
            static_cast<QDialog*>(page.sheet().window())->reject();
            pages[0].log->append(QString::fromStdString(page.page_sheet_data().title) +
                                 " still here");
        };
        pages.Add(sheet);
        sheet.open();
        pages.Take();

        SelectTab(sheet, 1);
        QVERIFY(!sheet.isVisible());
        QCOMPARE(pages.Take(), (QStringList{"A.KillActive", "A.QueryCancel", "A still here",
                                            "A.Destroy", "A.~"}));
    }
};

} // namespace velk

QTEST_MAIN(velk::PropertySheetTest)
#include "property_sheet_test.moc"
