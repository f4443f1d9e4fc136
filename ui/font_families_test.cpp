// The player's font list as the "General" page groups it: families in the order listed, sizes
// cut off the names, and lines no player should send passed over.
#include <QTest>

#include "ui/font_families.h"

namespace velk {

class FontFamiliesTest : public QObject {
    Q_OBJECT

private slots:
    void FamiliesAndSizes_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("families"); // "Family: number/size ...; ..."
        QTest::newRow("the simulator's list")
            << QStringList{"1 - SystemFont8", "2 - SystemFont16", "3 - SystemFont32", "6 - BoldFont8",
                           "7 - BoldFont16", "8 - BoldFont32"}
            << "System Font: 1/8 2/16 3/32; Bold Font: 6/8 7/16 8/32";
        QTest::newRow("one digit, two digits, line ends")
            << QStringList{"4 - SmallFont10\r", "5 - SmallFont7 "} << "Small Font: 4/10 5/7";
        QTest::newRow("garbage passed over")
            << QStringList{"", "font list", "x - Font8", "9 -Font8", "10 - Font", "11 - 8",
                           "70000 - BigFont8", "-1 - Font8", "12 - Ok8"}
            << "Ok: 12/8";
    }

    void FamiliesAndSizes()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, families);
        std::vector<std::string> reply;
        for (const QString& line : lines)
            reply.push_back(line.toStdString());
        QStringList shown;
        for (const FontFamily& family : ParseFontList(reply)) {
            QStringList variants;
            for (const FontVariant& variant : family.variants)
                variants << QString("%1/%2").arg(variant.number).arg(variant.size);
            shown << QString::fromStdString(family.name) + ": " + variants.join(' ');
        }
        QCOMPARE(shown.join("; "), families);
    }

    void AListBeyondItsBoundIsCut()
    {
        std::vector<std::string> reply(kMaxFonts + 10, "1 - Font8");
        QCOMPARE(ParseFontList(reply).front().variants.size(), kMaxFonts);
    }

    void SizesByModel()
    {
        QCOMPARE(MaxFontSize("KD-10"), 8);
        QCOMPARE(MaxFontSize("KD-20"), 16);
        QCOMPARE(MaxFontSize("SR-100"), 16);
        QCOMPARE(MaxFontSize("KD-40"), 32);
    }
};

} // namespace velk

QTEST_MAIN(velk::FontFamiliesTest)
#include "font_families_test.moc"
