#include "ui/rendered_dialog.h"

#include <functional>
#include <stdexcept>

#include <QDialog>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace velk {
namespace {

// Records its life in `log`; `running` runs once the dialog's modal loop runs, `init` inside
// OnInitDialog.
class TestDialog : public CRenderedDialog {
public:
    using Step = std::function<void(TestDialog& dialog)>;

    TestDialog(QDialog* window, QStringList& log, Step init, Step running)
        : CRenderedDialog(window), log_(log), watched_(window), init_(std::move(init))
    {
        log_.append("constructed");
        if (running)
            QTimer::singleShot(0, window, [this, running] { running(*this); });
    }
    ~TestDialog() override
    {
        log_.append(watched_ ? "deleted, dialog alive" : "deleted, dialog gone");
    }

    std::intptr_t OnInitDialog(std::intptr_t lParam) override
    {
        CRenderedDialog::OnInitDialog(lParam);
        log_.append(QString("init %1").arg(init_parameter()));
        if (init_)
            init_(*this);
        return 1;
    }
    void OnDestroy() override { log_.append("destroy"); }

    QStringList& log() { return log_; }

private:
    QStringList& log_;
    QPointer<QDialog> watched_;
    TestDialog::Step init_;
};

} // namespace

class RenderedDialogTest : public QObject {
    Q_OBJECT

private slots:
    void ObjectLivesExactlyAsLongAsTheDialog()
    {
        QStringList log;
        QPointer<QDialog> window;
        const std::intptr_t result = CRenderedDialog::DoModal<TestDialog>(
            nullptr, 7, log, TestDialog::Step{}, [&](TestDialog& dialog) {
                window = dialog.window();
                dialog.log().append(dialog.window()->isVisible() ? "shown" : "hidden");
                dialog.EndDialog(42);
            });

        QCOMPARE(result, 42);
        QCOMPARE(log, (QStringList{"constructed", "init 7", "shown", "destroy",
                                   "deleted, dialog alive"}));
        QVERIFY(!window);
    }

    void QtClosingEndsLikeItsButton_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<qlonglong>("expected");

        QTest::newRow("escape") << "escape" << qlonglong(IDCANCEL);
        QTest::newRow("window close") << "window close" << qlonglong(IDCANCEL);
        QTest::newRow("accepted") << "accepted" << qlonglong(IDOK);
    }

    void QtClosingEndsLikeItsButton()
    {
        QFETCH(QString, way);
        QFETCH(qlonglong, expected);

        QStringList log;
        const std::intptr_t result = CRenderedDialog::DoModal<TestDialog>(
            nullptr, 0, log, TestDialog::Step{}, [way](TestDialog& dialog) {
                if (way == "escape")
                    QTest::keyClick(dialog.window(), Qt::Key_Escape);
                else if (way == "window close")
                    dialog.window()->close();
                else
                    dialog.window()->accept();
            });
        QCOMPARE(result, expected);
        QCOMPARE(log.last(), QString("deleted, dialog alive"));
    }

    void EndDialogDuringInitNeverShowsTheDialog()
    {
        QStringList log;
        const std::intptr_t result = CRenderedDialog::DoModal<TestDialog>(
            nullptr, 3, log, [](TestDialog& dialog) { dialog.EndDialog(IDOK); },
            [](TestDialog& dialog) { dialog.log().append("ran"); });

        QCOMPARE(result, IDOK);
        QCOMPARE(log, (QStringList{"constructed", "init 3", "destroy", "deleted, dialog alive"}));
    }

    void DialogThatCannotStartReturnsMinusOne()
    {
        QStringList log;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("dialog failed in OnInitDialog"));
        const std::intptr_t failed_init = CRenderedDialog::DoModal<TestDialog>(
            nullptr, 1, log, [](TestDialog&) { throw std::runtime_error("no settings"); },
            [](TestDialog& dialog) { dialog.log().append("ran"); });
        QCOMPARE(failed_init, -1);
        QCOMPARE(log, (QStringList{"constructed", "init 1", "destroy", "deleted, dialog alive"}));

        const std::intptr_t not_built = CRenderedDialog::DoModal(
            nullptr, 1, [](QDialog*) { return std::unique_ptr<CRenderedDialog>(); });
        QCOMPARE(not_built, -1);
    }

    // A modeless dialog: Create returns while the dialog shows; the object goes with the
    // dialog, however that ends.
    void ModelessDialogLivesUntilItEndsOrItsParentGoes_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("EndDialog") << "EndDialog";
        QTest::newRow("escape") << "escape";
        QTest::newRow("parent deleted") << "parent deleted";
    }

    void ModelessDialogLivesUntilItEndsOrItsParentGoes()
    {
        QFETCH(QString, way);
        QStringList log;
        auto* parent = new QWidget;
        auto* dialog = CRenderedDialog::Create<TestDialog>(parent, 5, log, TestDialog::Step{},
                                                           TestDialog::Step{});
        QVERIFY(dialog);
        QPointer<QDialog> window = dialog->window();
        QVERIFY(window->isVisible());
        QVERIFY(!window->isModal());
        QCOMPARE(log, (QStringList{"constructed", "init 5"}));

        if (way == "EndDialog")
            dialog->EndDialog(IDOK);
        else if (way == "escape")
            QTest::keyClick(window, Qt::Key_Escape);
        else
            delete parent;
        QTRY_VERIFY(!window);
        QCOMPARE(log, (QStringList{"constructed", "init 5", "destroy", "deleted, dialog alive"}));
        if (way != "parent deleted")
            delete parent;
    }

    void ModelessDialogEndedDuringInitIsNeverShown()
    {
        QStringList log;
        auto* dialog = CRenderedDialog::Create<TestDialog>(
            nullptr, 2, log, [](TestDialog& d) { d.EndDialog(IDCANCEL); }, TestDialog::Step{});
        QVERIFY(!dialog);
        QCOMPARE(log, (QStringList{"constructed", "init 2", "destroy", "deleted, dialog alive"}));
    }
};

} // namespace velk

QTEST_MAIN(velk::RenderedDialogTest)
#include "rendered_dialog_test.moc"
