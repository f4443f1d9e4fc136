// The weather renderer's settings page as the news-feed pages show it: the renderer created by
// class id from its module, its AddPages handing the page from the companion module to a real
// wizard or property sheet, driven with the keyboard and the mouse on the offscreen platform.
// With VELK_DOCS_DIR set, the page is saved there as a picture.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "platform/class_registry.h"
#include "platform/reg_key.h"
#include "platform/testdata/local_http_server.h"
#include "providers/weather/open_meteo.h"
#include "providers/weather/weather_renderer.h"
#include "ui/property_sheet.h"
#include "ui/testdata/test_page.h"
#include "ui/wizard.h"

namespace velk {
namespace {

using test::ButtonOf;
using test::Click;
using test::MessageBoxAnswers;
using test::Picture;

void Check(QWidget& host, const char* name, bool checked)
{
    auto* box = host.findChild<QCheckBox*>(name);
    if (!box)
        qFatal("no check box %s", name);
    if (box->isChecked() != checked)
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
}

} // namespace

class WeatherPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(registry_.isValid());
        setenv("VELK_REGISTRY_DIR", registry_.path().toUtf8().constData(), 1);
        QCOMPARE(ClassRegistry::RegisterModule(VELK_WEATHER_MODULE), S_OK);
    }

    void init()
    {
        UnknownPtr object;
        QCOMPARE(ClassRegistry::CreateInstance(CLSID_YahooWeatherRSSParser, object), S_OK);
        renderer_ = std::dynamic_pointer_cast<IRSSRenderer>(object);
        settings_ = std::dynamic_pointer_cast<IWeatherRendererSettings>(object);
        QVERIFY(renderer_ && settings_);
        settings_->SetSettings({"", WeatherUnits::Metric, kDefaultWeatherItems});
    }

    void cleanup()
    {
        renderer_.reset();
        settings_.reset();
    }

    void WizardGoesOnOnlyWithALocationAndStoresTheChoices()
    {
        Wizard wizard;
        QCOMPARE(renderer_->AddPages(wizard.adder(), true), S_OK);
        test::PageSet following;
        following.Add(wizard, 9000); // the wizard's next page
        wizard.open();
        QVERIFY(!ButtonOf(wizard, "next")->isEnabled());

        auto* location = wizard.findChild<QLineEdit*>("location");
        QVERIFY2(location->isVisible(), "the first page's controls are shown");
        QTest::keyClicks(location, "   ");
        QVERIFY(!ButtonOf(wizard, "next")->isEnabled());
        location->clear();
        QTest::keyClicks(location, "UKXX0085");
        QVERIFY(ButtonOf(wizard, "next")->isEnabled());
        auto* units = wizard.findChild<QComboBox*>("units");
        QCOMPARE(units->count(), 4);
        QCOMPARE(units->itemText(3), QString("UK Met Office (Text)"));
        units->setCurrentIndex(2);
        Check(wizard, "pressure", false);
        Check(wizard, "sunset", true);
        Picture(wizard, "weather-settings-wizard");

        Click(wizard, "next");
        QCOMPARE(wizard.CurrentIndex(), 1);
        const WeatherSettings& stored = settings_->Settings();
        QCOMPARE(stored.location, std::string("UKXX0085"));
        QCOMPARE(stored.units, WeatherUnits::UkMetOffice);
        QCOMPARE(stored.items, kDefaultWeatherItems - kItemPressure + kItemSunset);
    }

    void AModelsRoomLimitsTheItemsAndTheWarningComesOncePerChange()
    {
        QCOMPARE(renderer_->Initialize("uuid:player", "KD-20"), S_OK);
        settings_->SetSettings({"94089", WeatherUnits::Imperial, settings_->Settings().items});
        PropertySheet sheet("Weather");
        QCOMPARE(renderer_->AddPages(sheet.adder(), false), S_OK);
        sheet.open();
        QVERIFY(sheet.findChild<QCheckBox*>("pressure")->isChecked());
        QVERIFY(sheet.findChild<QCheckBox*>("speed")->isChecked());
        QVERIFY(!sheet.findChild<QCheckBox*>("humidity")->isChecked());

        // Pressure and wind speed count two each: humidity makes five.
        Check(sheet, "humidity", true);
        MessageBoxAnswers answers;
        Click(sheet, "apply");
        Click(sheet, "apply");
        QCOMPARE(answers.texts, QStringList{"You must select a maximum of 4 data items. Both "
                                            "pressure and wind speed count as two items."});
        QCOMPARE(settings_->Settings().items, 35u);
        Picture(sheet, "weather-settings");

        // The temperature never counts.
        Check(sheet, "speed", false);
        Check(sheet, "temperature", true);
        Click(sheet, "apply");
        QCOMPARE(answers.texts.size(), 1);
        QCOMPARE(settings_->Settings().items, kItemPressure | kItemTemperature | kItemHumidity);
        QCOMPARE(settings_->Settings().location, std::string("94089"));
        QCOMPARE(settings_->Settings().units, WeatherUnits::Imperial);
    }

    // The live source's page looks a place up by name, and takes nothing but a place.
    void TheLiveSourceLooksThePlaceUp()
    {
        LocalHttpServer geocoding;
        geocoding.server().Get("/v1/search", [](const httplib::Request& request, httplib::Response& response) {
            if (request.get_param_value("name") == "Berlin")
                response.set_content(R"json({"results":[{"name":"Berlin","latitude":52.52437,"longitude":13.41053,"country":"Germany"}]})json",
                                     "application/json");
            else
                response.set_content(R"({"generationtime_ms":0.4})", "application/json");
        });
        QVERIFY(geocoding.Start());
        RegKey key;
        QCOMPARE(key.Create(Hive::LocalMachine, kWeatherSettingsKey), S_OK);
        QCOMPARE(key.SetStringValue(kGeocodingUrlValue, geocoding.Url("/v1/search")), S_OK);

        UnknownPtr object;
        QCOMPARE(ClassRegistry::CreateInstance(CLSID_OpenMeteoWeatherRenderer, object), S_OK);
        auto live = std::dynamic_pointer_cast<IRSSRenderer>(object);
        auto settings = std::dynamic_pointer_cast<IWeatherRendererSettings>(object);
        Wizard wizard;
        QCOMPARE(live->AddPages(wizard.adder(), true), S_OK);
        test::PageSet following;
        following.Add(wizard, 9000);
        wizard.open();
        auto* location = wizard.findChild<QLineEdit*>("location");
        auto* look_up = wizard.findChild<QPushButton*>("lookup");
        QVERIFY(look_up && look_up->isVisible());

        QTest::keyClicks(location, "Nowhere");
        {
            MessageBoxAnswers answers;
            Click(wizard, "lookup");
            QTRY_COMPARE(answers.texts, QStringList{"No place called \"Nowhere\" was found."});
            Click(wizard, "next");
            QTRY_COMPARE(answers.texts.size(), 2);
            QCOMPARE(answers.texts[1], QString("Please look the place up, or enter its latitude and longitude."));
        }
        QCOMPARE(wizard.CurrentIndex(), 0);
        location->clear();
        QTest::keyClicks(location, "Berlin");
        Click(wizard, "lookup");
        QTRY_COMPARE(location->text(), QString("Berlin, Germany (52.5244, 13.4105)"));
        wizard.resize(560, 440);
        Picture(wizard, "weather-live-settings");
        Click(wizard, "next");
        QCOMPARE(wizard.CurrentIndex(), 1);
        QCOMPARE(settings->Settings().location, std::string("Berlin, Germany (52.5244, 13.4105)"));
        std::string url;
        live->get_URL(url);
        QVERIFY(url.starts_with(std::string(kDefaultForecastUrl) + "?latitude=52.5244&longitude=13.4105"));
    }

private:
    QTemporaryDir registry_;
    std::shared_ptr<IRSSRenderer> renderer_;
    std::shared_ptr<IWeatherRendererSettings> settings_;
};

} // namespace velk

QTEST_MAIN(velk::WeatherPageTest)
#include "weather_page_test.moc"
