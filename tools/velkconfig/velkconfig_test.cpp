// velkconfig started without a player: it says where players are configured and shows no sheet.
#include <QTest>

#include "tools/velkconfig/config_tool.h"
#include "ui/testdata/test_page.h"

namespace velk {

class VelkConfigTest : public QObject {
    Q_OBJECT

private slots:
    void WithoutAPlayerItSaysWhereToConfigure()
    {
        test::MessageBoxAnswers answers;
        QCOMPARE(RunConfigTool({}), 0);
        QCOMPARE(answers.texts, QStringList{"Please configure the Velk Data Service from the Media Players window"});
    }
};

} // namespace velk

QTEST_MAIN(velk::VelkConfigTest)
#include "velkconfig_test.moc"
