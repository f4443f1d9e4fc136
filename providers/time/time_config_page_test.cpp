// The "Time Options" page as a configuration program shows it: the time provider created by
// class id from its registered module, its Configure handing the page from the companion module
// to a real property sheet, driven with clicks on the offscreen platform.
#include "providers/time/time_config_page.h"

#include <cstdlib>

#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include "platform/class_registry.h"
#include "platform/date.h"
#include "platform/nls.h"
#include "providers/time/velk_time_server.h"
#include "ui/property_sheet.h"

namespace velk {
namespace {

constexpr const char* kPlayer = "uuid:player-1";

std::vector<std::string> DatePictures()
{
    auto pictures = Nls::UserDefault().EnumDateFormats(DateFormatKind::ShortDate);
    const auto long_dates = Nls::UserDefault().EnumDateFormats(DateFormatKind::LongDate);
    pictures.insert(pictures.end(), long_dates.begin(), long_dates.end());
    return pictures;
}

} // namespace

class TimeConfigPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(registry_.isValid());
        setenv("VELK_REGISTRY_DIR", registry_.path().toUtf8().constData(), 1);
        QCOMPARE(ClassRegistry::RegisterModule(VELK_TIME_MODULE), S_OK);
    }

    void init()
    {
        QCOMPARE(ClassRegistry::CreateInstance(CLSID_VelkTimeServer, provider_), S_OK);
        settings_ = std::dynamic_pointer_cast<ITimeFormatSettings>(provider_);
        configure_ = std::dynamic_pointer_cast<IConfigureVelkDataObject>(provider_);
        QVERIFY(settings_ && configure_);
    }

    void cleanup()
    {
        settings_.reset();
        configure_.reset();
        provider_.reset();
    }

    void NewPlayerHasNoDateAndNoTimeSelectedAndEveryCandidateShown()
    {
        PropertySheet sheet("Player");
        QCOMPARE(configure_->Configure(sheet.adder(), kPlayer, "MD-100"), S_OK);
        sheet.open();
        QCOMPARE(sheet.findChild<QTabBar*>()->tabText(0), QString("Time Options"));
        auto [date_list, time_list] = Lists(sheet);

        const auto dates = DatePictures();
        const auto times = Nls::UserDefault().EnumTimeFormats();
        QCOMPARE(date_list->count(), static_cast<int>(dates.size()) + 1);
        QCOMPARE(time_list->count(), static_cast<int>(times.size()) + 1);
        QCOMPARE(date_list->itemText(0), QString("(No Date)"));
        QCOMPARE(time_list->itemText(0), QString("(No Time)"));
        QCOMPARE(date_list->currentIndex(), 0);
        QCOMPARE(time_list->currentIndex(), 0);
        // Each candidate shows today's date written with it.
        std::string today;
        Nls::UserDefault().GetDateFormat(*Date::Now().ToCalendar(), dates.at(0), today);
        QCOMPARE(date_list->itemText(1), QString::fromStdString(today));
        QVERIFY(!sheet.findChild<QPushButton*>("apply")->isEnabled());
    }

    void StoredPicturesAreSelected_data()
    {
        QTest::addColumn<int>("date_candidate"); // -1: a picture that is no candidate
        QTest::addColumn<int>("time_candidate");
        QTest::addColumn<int>("date_item");
        QTest::addColumn<int>("time_item");
        QTest::newRow("first candidates") << 0 << 0 << 1 << 1;
        QTest::newRow("last date candidate") << -2 << 0 << -2 << 1;
        QTest::newRow("not a candidate") << -1 << 0 << -1 << 1;
    }

    void StoredPicturesAreSelected()
    {
        QFETCH(int, date_candidate);
        QFETCH(int, time_candidate);
        QFETCH(int, date_item);
        QFETCH(int, time_item);
        const auto dates = DatePictures();
        const int last = static_cast<int>(dates.size()) - 1;
        if (date_candidate == -2)
            date_candidate = last;
        if (date_item == -2)
            date_item = last + 1;
        const std::string date =
            date_candidate >= 0 ? dates.at(date_candidate) : std::string("'nowhere' yyyy");

        PropertySheet sheet("Player");
        QCOMPARE(configure_->Configure(sheet.adder(), kPlayer, "MD-100"), S_OK);
        settings_->SetConfiguredFormats(date, Nls::UserDefault().EnumTimeFormats().at(time_candidate));
        sheet.open();
        auto [date_list, time_list] = Lists(sheet);
        // The first of equal candidates is the one selected.
        const auto first = std::find(dates.begin(), dates.end(), date);
        if (first != dates.end())
            date_item = static_cast<int>(first - dates.begin()) + 1;
        QCOMPARE(date_list->currentIndex(), date_item);
        QCOMPARE(time_list->currentIndex(), time_item);
    }

    void ApplyWritesBothPicturesOfTheConfiguredPlayer()
    {
        const auto dates = DatePictures();
        const auto times = Nls::UserDefault().EnumTimeFormats();
        PropertySheet sheet("Player");
        QCOMPARE(configure_->Configure(sheet.adder(), kPlayer, "MD-100"), S_OK);
        settings_->SetConfiguredFormats("", times.at(0));
        sheet.open();
        auto [date_list, time_list] = Lists(sheet);
        auto* apply = sheet.findChild<QPushButton*>("apply");

        date_list->setCurrentIndex(static_cast<int>(dates.size()));
        QVERIFY(apply->isEnabled());
        time_list->setCurrentIndex(0);
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(!apply->isEnabled());
        std::string date;
        std::string time;
        settings_->ConfiguredFormats(date, time);
        QCOMPARE(date, dates.back());
        QCOMPARE(time, std::string()); // "(No Time)" is stored as an empty picture
    }

    void ApplyKeepsAPictureThatIsNoCandidate()
    {
        PropertySheet sheet("Player");
        QCOMPARE(configure_->Configure(sheet.adder(), kPlayer, "MD-100"), S_OK);
        settings_->SetConfiguredFormats("'nowhere' yyyy", "");
        sheet.open();
        auto [date_list, time_list] = Lists(sheet);
        QCOMPARE(date_list->currentIndex(), -1);
        time_list->setCurrentIndex(1);
        QTest::mouseClick(sheet.findChild<QPushButton*>("ok"), Qt::LeftButton);
        std::string date;
        std::string time;
        settings_->ConfiguredFormats(date, time);
        QCOMPARE(date, std::string("'nowhere' yyyy"));
        QCOMPARE(time, Nls::UserDefault().EnumTimeFormats().at(0));
    }

    void RefusedPageFailsTheConfigureAndReleasesTheProvider()
    {
        bool offered = false;
        const AddPropSheetPageFn refuse = [&](const HPROPSHEETPAGE& page) {
            offered = page && page->title == "Time Options";
            return false;
        };
        QCOMPARE(configure_->Configure(refuse, kPlayer, "MD-100"), E_FAIL);
        QVERIFY(offered);
        std::weak_ptr<IVelkDataObject> provider = provider_;
        cleanup();
        QVERIFY(provider.expired());
    }

private:
    static std::pair<QComboBox*, QComboBox*> Lists(PropertySheet& sheet)
    {
        auto* date_list = sheet.findChild<QComboBox*>("date_list");
        auto* time_list = sheet.findChild<QComboBox*>("time_list");
        if (!date_list || !time_list)
            qFatal("the page has no lists");
        return {date_list, time_list};
    }

    QTemporaryDir registry_;
    std::shared_ptr<IVelkDataObject> provider_;
    std::shared_ptr<ITimeFormatSettings> settings_;
    std::shared_ptr<IConfigureVelkDataObject> configure_;
};

} // namespace velk

QTEST_MAIN(velk::TimeConfigPageTest)
#include "time_config_page_test.moc"
