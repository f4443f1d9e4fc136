#include "ui/property_sheet.h"
#include "ui/rendered_property_page.h"
#include "ui/testdata/test_page.h"

#include <QRegularExpression>
#include <QTest>

namespace velk {
namespace {

using test::PageOwner;
using test::PageScript;
using test::TestPage;

// The script entry that answers `code`; null for a code no operation answers.
std::intptr_t* AnswerFor(PageScript& script, int code)
{
    switch (code) {
    case PSN_SETACTIVE:
        return &script.set_active;
    case PSN_KILLACTIVE:
        return &script.kill_active;
    case PSN_APPLY:
        return &script.apply;
    case PSN_WIZNEXT:
        return &script.wizard_next;
    case PSN_WIZBACK:
        return &script.wizard_back;
    case PSN_WIZFINISH:
        return &script.wizard_finish;
    case PSN_QUERYCANCEL:
        return &script.query_cancel;
    default:
        return nullptr;
    }
}

} // namespace

class RenderedPropertyPageTest : public QObject {
    Q_OBJECT

private slots:
    void NotifyTurnsAnswersIntoResults_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<qlonglong>("answer");
        QTest::addColumn<bool>("throws");
        QTest::addColumn<qlonglong>("expected");
        QTest::addColumn<QStringList>("calls");

        const QStringList set_active{"A.SetActive"}, kill{"A.KillActive"}, apply{"A.Apply"},
            next{"A.WizNext"}, back{"A.WizBack"}, finish{"A.WizFinish"}, cancel{"A.QueryCancel"};
        QTest::newRow("activation accepted") << PSN_SETACTIVE << 1LL << false << 0LL << set_active;
        QTest::newRow("activation refused") << PSN_SETACTIVE << 0LL << false << -1LL << set_active;
        QTest::newRow("page may be left") << PSN_KILLACTIVE << 1LL << false << 0LL << kill;
        QTest::newRow("page keeps itself") << PSN_KILLACTIVE << 0LL << false << 1LL << kill;
        QTest::newRow("applied") << PSN_APPLY << 1LL << false << 0LL << apply;
        QTest::newRow("apply invalid") << PSN_APPLY << 0LL << false << 1LL << apply;
        QTest::newRow("next goes on") << PSN_WIZNEXT << 0LL << false << 0LL << next;
        QTest::newRow("next stays") << PSN_WIZNEXT << -1LL << false << -1LL << next;
        QTest::newRow("next jumps") << PSN_WIZNEXT << 300LL << false << 300LL << next;
        QTest::newRow("back jumps") << PSN_WIZBACK << 100LL << false << 100LL << back;
        QTest::newRow("finish accepted") << PSN_WIZFINISH << 0LL << false << 0LL << finish;
        QTest::newRow("finish refused") << PSN_WIZFINISH << 1LL << false << 1LL << finish;
        QTest::newRow("cancel accepted") << PSN_QUERYCANCEL << 0LL << false << 0LL << cancel;
        QTest::newRow("cancel refused") << PSN_QUERYCANCEL << 1LL << false << 1LL << cancel;
        QTest::newRow("unknown code") << -12345 << 0LL << false << 0LL << QStringList{};
        // A page that fails keeps the user where the work is, but never blocks the cancel.
        QTest::newRow("failed activation") << PSN_SETACTIVE << 1LL << true << -1LL << set_active;
        QTest::newRow("failed leave") << PSN_KILLACTIVE << 1LL << true << 1LL << kill;
        QTest::newRow("failed apply") << PSN_APPLY << 1LL << true << 1LL << apply;
        QTest::newRow("failed next") << PSN_WIZNEXT << 0LL << true << -1LL << next;
        QTest::newRow("failed back") << PSN_WIZBACK << 0LL << true << -1LL << back;
        QTest::newRow("failed finish") << PSN_WIZFINISH << 0LL << true << 1LL << finish;
        QTest::newRow("failed cancel query") << PSN_QUERYCANCEL << 1LL << true << 0LL << cancel;
    }

    void NotifyTurnsAnswersIntoResults()
    {
        QFETCH(int, code);
        QFETCH(qlonglong, answer);
        QFETCH(bool, throws);
        QFETCH(qlonglong, expected);
        QFETCH(QStringList, calls);

        PropertySheet sheet("sheet");
        QWidget window;
        auto log = std::make_shared<QStringList>();
        auto owner = std::make_shared<PageOwner>("A", log);
        if (std::intptr_t* entry = AnswerFor(owner->script, code))
            *entry = answer;
        owner->script.throws = throws;
        const auto record = test::MakeTestPage(owner);
        TestPage page(&window, sheet, *record);
        if (throws)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("page \"A\" failed"));

        QCOMPARE(page.Notify(code), expected);
        QCOMPARE(*log, calls);
    }

    void BasePageAcceptsEverything()
    {
        PropertySheet sheet("sheet");
        QWidget window;
        PropSheetPage record;
        CRenderedPropertyPage page(&window, sheet, record);

        QCOMPARE(page.window(), &window);
        QCOMPARE(&page.sheet(), static_cast<IPropertySheet*>(&sheet));
        QCOMPARE(&page.page_sheet_data(), &record);
        QCOMPARE(page.OnInitDialog(), 1);
        QCOMPARE(page.OnQuerySiblings(1, 2), 0);
        for (int code : {PSN_SETACTIVE, PSN_KILLACTIVE, PSN_APPLY, PSN_WIZBACK, PSN_WIZNEXT,
                         PSN_WIZFINISH, PSN_QUERYCANCEL})
            QCOMPARE(page.Notify(code), 0);
    }
};

} // namespace velk

QTEST_MAIN(velk::RenderedPropertyPageTest)
#include "rendered_property_page_test.moc"
