#include "ui/testdata/test_page.h"
#include "ui/wizard.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace velk {
namespace {

using test::ButtonOf;
using test::Click;
using test::PageSet;

// Pages A, B, C, ... with template ids 100, 200, 300, ...
void AddPages(Wizard& wizard, PageSet& pages, int count)
{
    for (int i = 0; i < count; ++i)
        pages.Add(wizard, 100 * (i + 1));
}

// Which buttons a user can see and press.
QString ButtonState(Wizard& wizard)
{
    QString state;
    for (const char* name : {"back", "next", "finish"}) {
        const QPushButton* button = ButtonOf(wizard, name);
        if (button->isVisible())
            state += QString(button->isEnabled() ? "+" : "-") + name + " ";
    }
    return state.trimmed();
}

} // namespace

class WizardTest : public QObject {
    Q_OBJECT

private slots:
    void TravelGoesWhereThePageSays_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("button");
        QTest::addColumn<qlonglong>("answer");
        QTest::addColumn<int>("kill_active");
        QTest::addColumn<QString>("set_active");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QStringList>("calls");

        QTest::newRow("next goes on")
            << 0 << "next" << 0LL << 1 << "1111" << 1
            << QStringList{"A.WizNext", "A.KillActive", "B.Init", "B.SetActive"};
        QTest::newRow("next stays")
            << 0 << "next" << -1LL << 1 << "1111" << 0 << QStringList{"A.WizNext"};
        QTest::newRow("next jumps to a template id")
            << 0 << "next" << 400LL << 1 << "1111" << 3
            << QStringList{"A.WizNext", "A.KillActive", "D.Init", "D.SetActive"};
        QTest::newRow("next to an unknown id stays")
            << 0 << "next" << 999LL << 1 << "1111" << 0 << QStringList{"A.WizNext"};
        QTest::newRow("page keeps itself")
            << 0 << "next" << 0LL << 0 << "1111" << 0 << QStringList{"A.WizNext", "A.KillActive"};
        QTest::newRow("refusing page skipped forwards")
            << 0 << "next" << 0LL << 1 << "1011" << 2
            << QStringList{"A.WizNext",   "A.KillActive", "B.Init",
                           "B.SetActive", "C.Init",       "C.SetActive"};
        QTest::newRow("next on the last page stays")
            << 3 << "next" << 0LL << 1 << "1111" << 3 << QStringList{"D.WizNext"};
        QTest::newRow("back goes back") << 2 << "back" << 0LL << 1 << "1111" << 1
                                        << QStringList{"C.WizBack", "C.KillActive", "B.SetActive"};
        QTest::newRow("back jumps to a template id")
            << 2 << "back" << 100LL << 1 << "1111" << 0
            << QStringList{"C.WizBack", "C.KillActive", "A.SetActive"};
        QTest::newRow("refusing page skipped backwards")
            << 2 << "back" << 0LL << 1 << "1011" << 0
            << QStringList{"C.WizBack", "C.KillActive", "B.SetActive", "A.SetActive"};
        QTest::newRow("jump to a refusing page skips on backwards")
            << 3 << "back" << 300LL << 1 << "1101" << 1
            << QStringList{"D.WizBack", "D.KillActive", "C.SetActive", "B.SetActive"};
        QTest::newRow("no page accepts: the page left is active again")
            << 1 << "next" << 0LL << 1 << "1100" << 1
            << QStringList{"B.WizNext", "B.KillActive", "C.Init",     "C.SetActive",
                           "D.Init",    "D.SetActive",  "B.SetActive"};
    }

    void TravelGoesWhereThePageSays()
    {
        QFETCH(int, start);
        QFETCH(QString, button);
        QFETCH(qlonglong, answer);
        QFETCH(int, kill_active);
        QFETCH(QString, set_active);
        QFETCH(int, expected);
        QFETCH(QStringList, calls);

        Wizard wizard;
        PageSet pages;
        AddPages(wizard, pages, 4);
        wizard.open();
        for (int i = 0; i < start; ++i)
            Click(wizard, "next");
        QCOMPARE(wizard.CurrentIndex(), start);
        for (int i = 0; i < set_active.size(); ++i)
            pages[i].script.set_active = set_active[i] == '1' ? 1 : 0;
        test::PageScript& script = pages[start].script;
        (button == "next" ? script.wizard_next : script.wizard_back) = answer;
        script.kill_active = kill_active;
        pages.Take();

        Click(wizard, qPrintable(button));
        QCOMPARE(wizard.CurrentIndex(), expected);
        QCOMPARE(pages.Take(), calls);
    }

    void PagesAreBuiltWhenFirstReached()
    {
        Wizard wizard;
        PageSet pages;
        AddPages(wizard, pages, 3);
        wizard.open();
        QCOMPARE(pages.Take(), (QStringList{"A.Init", "A.SetActive"}));
        Click(wizard, "next");
        Click(wizard, "back");
        Click(wizard, "next");
        QCOMPARE(pages.Take(), (QStringList{"A.WizNext", "A.KillActive", "B.Init", "B.SetActive",
                                            "B.WizBack", "B.KillActive", "A.SetActive", "A.WizNext",
                                            "A.KillActive", "B.SetActive"}));

        wizard.reject();
        QCOMPARE(pages.Take(),
                 (QStringList{"B.QueryCancel", "A.Destroy", "A.~", "B.Destroy", "B.~"}));
    }

    void FinishAsksTheCurrentPage()
    {
        Wizard wizard;
        PageSet pages;
        AddPages(wizard, pages, 1);
        pages[0].script.wizard_finish = 1;
        wizard.open();
        pages.Take();

        Click(wizard, "finish");
        QVERIFY(wizard.isVisible());
        pages[0].script.wizard_finish = 0;
        Click(wizard, "finish");
        QVERIFY(!wizard.isVisible());
        QCOMPARE(pages.Take(), (QStringList{"A.WizFinish", "A.WizFinish", "A.Destroy", "A.~"}));
        QCOMPARE(wizard.Run(), 1);
    }

    void CancelAsksTheCurrentPage()
    {
        Wizard wizard;
        PageSet pages;
        AddPages(wizard, pages, 2);
        pages[0].script.query_cancel = 1;
        wizard.open();

        Click(wizard, "cancel");
        QTest::keyClick(&wizard, Qt::Key_Escape);
        QVERIFY(wizard.isVisible());
        pages[0].script.query_cancel = 0;
        wizard.close();
        QVERIFY(!wizard.isVisible());
        QCOMPARE(wizard.Run(), 0);
    }

    void RunReturnsOneWhenFinished_data()
    {
        QTest::addColumn<QList<int>>("presses");
        QTest::addColumn<int>("expected");

        QTest::newRow("next, finish") << QList<int>{PSBTN_NEXT, PSBTN_FINISH} << 1;
        QTest::newRow("next, cancel") << QList<int>{PSBTN_NEXT, PSBTN_CANCEL} << 0;
        // Finish is off on the first of two pages: the press does nothing.
        QTest::newRow("finish too early, cancel") << QList<int>{PSBTN_FINISH, PSBTN_CANCEL} << 0;
    }

    void RunReturnsOneWhenFinished()
    {
        QFETCH(QList<int>, presses);
        QFETCH(int, expected);

        Wizard wizard;
        PageSet pages;
        AddPages(wizard, pages, 2);
        for (int button : presses)
            QVERIFY(wizard.PressButton(button));
        QVERIFY(!wizard.PressButton(PSBTN_OK));
        QVERIFY(!wizard.PressButton(PSBTN_APPLYNOW));

        QCOMPARE(wizard.Run(), expected);
    }

    void HeaderOrWatermarkBesideThePage()
    {
        Wizard wizard;
        auto log = std::make_shared<QStringList>();
        auto welcome = test::MakeTestPage(std::make_shared<test::PageOwner>("Welcome", log));
        welcome->hide_header = true;
        auto details = test::MakeTestPage(std::make_shared<test::PageOwner>("Details", log));
        details->header_title = "Player";
        details->header_subtitle = "Choose the player to use.";
        wizard.AddPage(welcome);
        wizard.AddPage(details);
        QPixmap picture(16, 32);
        picture.fill(Qt::blue);
        wizard.SetWatermark(picture);
        wizard.open();

        auto* header = wizard.findChild<QWidget*>("header");
        auto* watermark = wizard.findChild<QLabel*>("watermark");
        QCOMPARE(wizard.windowTitle(), QString("Welcome"));
        QVERIFY(!header->isVisible());
        QVERIFY(watermark->isVisible());
        QCOMPARE(watermark->pixmap().size(), QSize(16, 32));

        Click(wizard, "next");
        QCOMPARE(wizard.windowTitle(), QString("Details"));
        QVERIFY(header->isVisible());
        QVERIFY(!watermark->isVisible());
        QCOMPARE(wizard.findChild<QLabel*>("header_title")->text(), QString("Player"));
        QCOMPARE(wizard.findChild<QLabel*>("header_subtitle")->text(),
                 QString("Choose the player to use."));
    }

    void ButtonsFollowSetWizButtons_data()
    {
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<QString>("state");

        QTest::newRow("none") << 0u << "-back -next";
        QTest::newRow("back") << PSWIZB_BACK << "+back -next";
        QTest::newRow("back and next") << (PSWIZB_BACK | PSWIZB_NEXT) << "+back +next";
        QTest::newRow("finish") << (PSWIZB_BACK | PSWIZB_FINISH) << "+back -next +finish";
        QTest::newRow("disabled finish") << PSWIZB_DISABLEDFINISH << "-back -next -finish";
    }

    void ButtonsFollowSetWizButtons()
    {
        QFETCH(unsigned, flags);
        QFETCH(QString, state);

        Wizard wizard;
        PageSet pages;
        AddPages(wizard, pages, 3);
        pages[1].action = [flags](test::TestPage& page, const std::string& call) {
            if (call == "SetActive")
                page.sheet().SetWizButtons(flags);
        };
        wizard.open();
        Click(wizard, "next");
        QCOMPARE(ButtonState(wizard), state);

        // A click on a button that is off does nothing.
        pages.Take();
        const std::pair<int, unsigned> buttons[] = {
            {PSBTN_BACK, PSWIZB_BACK}, {PSBTN_NEXT, PSWIZB_NEXT}, {PSBTN_FINISH, PSWIZB_FINISH}};
        for (const auto& [button, flag] : buttons) {
            if ((flags & flag) == 0)
                QVERIFY(wizard.PressButton(button));
        }
        QCoreApplication::processEvents();
        QCOMPARE(pages.Take(), QStringList{});
    }

    void ButtonsBeforeAPageSetsThem_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("state");

        QTest::newRow("first page") << 3 << 0 << "-back +next";
        QTest::newRow("middle page") << 3 << 1 << "+back +next";
        QTest::newRow("last page") << 3 << 2 << "+back +next +finish";
        QTest::newRow("only page") << 1 << 0 << "-back +next +finish";
    }

    void ButtonsBeforeAPageSetsThem()
    {
        QFETCH(int, count);
        QFETCH(int, index);
        QFETCH(QString, state);

        Wizard wizard;
        PageSet pages;
        AddPages(wizard, pages, count);
        wizard.open();
        for (int i = 0; i < index; ++i)
            Click(wizard, "next");
        QCOMPARE(wizard.CurrentIndex(), index);
        QCOMPARE(ButtonState(wizard), state);
    }

    void PagesAddedWhileRunningCanBeReached()
    {
        Wizard wizard;
        PageSet pages;
        AddPages(wizard, pages, 1);
        wizard.open();
        pages[0].page->sheet().AddPage(
            test::MakeTestPage(std::make_shared<test::PageOwner>("Late", pages[0].log), 500));
        pages.Take();

        Click(wizard, "next");
        QCOMPARE(wizard.CurrentIndex(), 1);
        QCOMPARE(wizard.windowTitle(), QString("Late"));
        QCOMPARE(pages.Take(),
                 (QStringList{"A.WizNext", "A.KillActive", "Late.Init", "Late.SetActive"}));
    }

    // What a page choosing among plug-ins does: on Next it replaces the pages it put after
    // itself by those of its new choice, and the wizard goes on to the first of them.
    void PagesInsertedAndRemovedWhileRunning()
    {
        Wizard wizard;
        PageSet pages;
        AddPages(wizard, pages, 2); // A, then the final page B
        int inserted = 0;
        int round = 0;
        pages[0].action = [&](test::TestPage& page, const std::string& call) {
            if (call != "WizNext")
                return;
            IPropertySheet& sheet = page.sheet();
            const int at = sheet.IndexOf(page) + 1;
            for (; inserted > 0; --inserted)
                QVERIFY(sheet.RemovePage(at));
            ++round;
            for (const char* name : {"X", "Y"}) {
                const std::string title = name + std::to_string(round);
                QVERIFY(sheet.InsertPage(at + inserted, test::MakeTestPage(
                    std::make_shared<test::PageOwner>(title, pages[0].log), 500 + inserted)));
                ++inserted;
            }
        };
        wizard.open();
        pages.Take();

        Click(wizard, "next");
        QCOMPARE(wizard.windowTitle(), QString("X1"));
        Click(wizard, "next");
        QCOMPARE(wizard.windowTitle(), QString("Y1"));
        Click(wizard, "back");
        Click(wizard, "back");
        QCOMPARE(wizard.CurrentIndex(), 0);
        pages.Take();
        Click(wizard, "next");
        // The first choice's built pages were destroyed; the second's come in their place.
        QCOMPARE(pages.Take(), (QStringList{"A.WizNext", "X1.Destroy", "X1.~", "Y1.Destroy", "Y1.~",
                                            "A.KillActive", "X2.Init", "X2.SetActive"}));
        QCOMPARE(wizard.windowTitle(), QString("X2"));
        Click(wizard, "next");
        Click(wizard, "next");
        QCOMPARE(wizard.windowTitle(), QString("B"));
        QCOMPARE(ButtonState(wizard), QString("+back +next +finish"));
        // The page shown cannot be taken out; places outside the pages are refused.
        QVERIFY(!wizard.RemovePage(wizard.CurrentIndex()));
        QVERIFY(!wizard.InsertPage(9, test::MakeTestPage(
            std::make_shared<test::PageOwner>("Z", pages[0].log), 900)));
    }

    void EmptyPageIsPassedThrough()
    {
        Wizard wizard;
        PageSet pages;
        pages.Add(wizard);
        auto empty = std::make_shared<PropSheetPage>();
        empty->title = "empty";
        wizard.AddPage(empty);
        pages.Add(wizard);
        wizard.open();
        pages.Take();

        Click(wizard, "next");
        QCOMPARE(wizard.CurrentIndex(), 1);
        Click(wizard, "next");
        QCOMPARE(wizard.CurrentIndex(), 2);
        QCOMPARE(pages.Take(), (QStringList{"A.WizNext", "A.KillActive", "B.Init", "B.SetActive"}));
    }
};

} // namespace velk

QTEST_MAIN(velk::WizardTest)
#include "wizard_test.moc"
