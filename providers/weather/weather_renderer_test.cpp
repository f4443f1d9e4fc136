// The weather renderer as the news-feed provider uses it: created by class id from its module,
// its settings through streams, its address from the settings and the machine's feed host, and
// a weather feed's item drawn on real players of velk-sim, the screens alternating per player.
#include "providers/weather/weather_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/apartment.h"
#include "platform/class_registry.h"
#include "platform/encoding.h"
#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "platform/stream_fields.h"
#include "platform/xml_dom_node.h"
#include "providers/weather/open_meteo.h"
#include "providers/weather/testdata/weather_feed.h"
#include "providers/weather/weather_report.h"
#include "service/velk_device.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;

using testing::kWeatherFeed;

std::shared_ptr<IXMLDOMNode> ItemOf(IRSSRenderer& renderer, const std::string& feed)
{
    std::unique_ptr<XmlDocument> parsed;
    EXPECT_EQ(XmlDocument::Parse(feed, parsed), S_OK);
    if (!parsed)
        return nullptr;
    std::string declarations;
    EXPECT_EQ(renderer.get_Namespaces(declarations), S_OK);
    EXPECT_EQ(declarations, std::string("xmlns:yweather='") + kYWeatherNamespace +
                                "' xmlns:geo='" + kGeoNamespace + "'");
    parsed->SetSelectionNamespaces({{"yweather", kYWeatherNamespace}, {"geo", kGeoNamespace}});
    std::shared_ptr<const XmlDocument> document = std::move(parsed);
    auto item = document->SelectSingleNode("/rss/channel/item");
    EXPECT_TRUE(item);
    return item ? MakeDomNode(document, *item) : nullptr;
}

class WeatherRendererTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        ASSERT_EQ(ClassRegistry::RegisterModule(VELK_WEATHER_MODULE), S_OK);
        renderer_ = Created();
        ASSERT_TRUE(renderer_);
    }

    static std::shared_ptr<IRSSRenderer> Created()
    {
        UnknownPtr object;
        EXPECT_EQ(ClassRegistry::CreateInstance(CLSID_YahooWeatherRSSParser, object), S_OK);
        return std::dynamic_pointer_cast<IRSSRenderer>(object);
    }

    static CRSSParser& Parser(IRSSRenderer& renderer) { return dynamic_cast<CRSSParser&>(renderer); }

    std::shared_ptr<IRSSRenderer> renderer_;
};

TEST_F(WeatherRendererTest, TheAddressFollowsTheLocationTheUnitsAndTheFeedHost)
{
    auto& parser = Parser(*renderer_);
    parser.SetSettings({"94089", WeatherUnits::Imperial, kDefaultWeatherItems});
    std::string url;
    ASSERT_EQ(renderer_->get_URL(url), S_OK);
    EXPECT_EQ(url, "http://xml.weather.yahoo.com/forecastrss?p=94089&u=f");
    EXPECT_EQ(renderer_->put_URL("http://elsewhere/"), E_NOTIMPL);

    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, kWeatherSettingsKey), S_OK);
    ASSERT_EQ(key.SetStringValue(kFeedHostValue, "127.0.0.1:8080"), S_OK);
    // The location is one query value, whatever it holds.
    for (const auto units : {WeatherUnits::Metric, WeatherUnits::UkMetOffice,
                             WeatherUnits::UkMetOfficeText}) {
        parser.SetSettings({"São Paulo&u=f#x", units, kDefaultWeatherItems});
        ASSERT_EQ(renderer_->get_URL(url), S_OK);
        EXPECT_EQ(url, "http://127.0.0.1:8080/forecastrss?p=S%C3%A3o%20Paulo%26u%3Df%23x&u=c");
    }
    // A host that would reach into the path is not taken.
    ASSERT_EQ(key.SetStringValue(kFeedHostValue, "evil.example/x?"), S_OK);
    ASSERT_EQ(renderer_->get_URL(url), S_OK);
    EXPECT_TRUE(url.starts_with("http://xml.weather.yahoo.com/forecastrss?")) << url;

    std::string none;
    EXPECT_EQ(renderer_->get_Username(none), E_NOTIMPL);
    EXPECT_EQ(renderer_->get_Password(none), E_NOTIMPL);
}

TEST_F(WeatherRendererTest, ModelsChooseTheItemsTheirDisplayHasRoomFor)
{
    struct Case {
        const char* model;
        HRESULT result;
        std::uint32_t items;
    };
    const Case kCases[] = {
        {"KD-20", S_OK, 35}, {"kd-21", S_OK, 35}, {"KD-30", S_OK, 35},
        {"KD-40", S_OK, 63}, {"KD-10", E_FAIL, 0xC0}, {"Other", S_OK, 0xC0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.model);
        auto renderer = Created();
        Parser(*renderer).SetSettings({"x", WeatherUnits::Metric, 0xC0});
        EXPECT_EQ(renderer->Initialize("uuid:player", c.model), c.result);
        EXPECT_EQ(Parser(*renderer).Settings().items, c.items);
        EXPECT_EQ(Parser(*renderer).Model(), c.model);
    }
}

TEST_F(WeatherRendererTest, SettingsGoThroughTheStreamAndDamagedOnesAreRefused)
{
    Parser(*renderer_).SetSettings({"UKXX0085", WeatherUnits::UkMetOfficeText, 0x25});
    MemoryStream saved;
    ASSERT_EQ(renderer_->Save(saved), S_OK);
    const std::vector<std::uint8_t> expected = {9, 0, 0, 0, 'U', 'K', 'X', 'X', '0', '0', '8',
                                                '5', 0, 3, 0, 0, 0, 0x25, 0, 0, 0};
    EXPECT_EQ(saved.bytes(), expected);

    auto loaded = Created();
    MemoryStream whole(saved.bytes());
    ASSERT_EQ(loaded->Load(whole), S_OK);
    EXPECT_EQ(Parser(*loaded).Settings().location, "UKXX0085");
    EXPECT_EQ(Parser(*loaded).Settings().units, WeatherUnits::UkMetOfficeText);
    EXPECT_EQ(Parser(*loaded).Settings().items, 0x25u);

    auto bad_units = expected;
    bad_units[13] = 7;
    auto huge = expected;
    huge[1] = 0x10; // a location of 4 KiB
    const std::pair<const char*, std::vector<std::uint8_t>> kDamaged[] = {
        {"empty", {}},
        {"cut in the location", {expected.begin(), expected.begin() + 6}},
        {"cut in the items", {expected.begin(), expected.end() - 1}},
        {"negative count", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"units outside the four", bad_units},
        {"location beyond any place name", huge},
    };
    for (const auto& [name, bytes] : kDamaged) {
        SCOPED_TRACE(name);
        auto renderer = Created();
        Parser(*renderer).SetSettings({"kept", WeatherUnits::Metric, 3});
        MemoryStream stream(bytes);
        EXPECT_EQ(renderer->Load(stream), E_INVALIDARG);
        EXPECT_EQ(Parser(*renderer).Settings().location, "kept");
    }
}

TEST_F(WeatherRendererTest, TheItemIsReadWhereTheFeedPutsIt)
{
    auto item = ItemOf(*renderer_, kWeatherFeed);
    ASSERT_TRUE(item);
    const WeatherReport r = ReadWeatherReport(*item);
    EXPECT_EQ(r.city, "Sunnyvale");
    EXPECT_EQ(r.temperature, 18);
    EXPECT_EQ(r.code, 30);
    EXPECT_EQ(r.speed_unit, "km/h");
    EXPECT_EQ(r.direction, 200);
    EXPECT_EQ(r.speed, 11);
    EXPECT_DOUBLE_EQ(r.pressure, 1015.92);
    EXPECT_EQ(r.rising, 1);
    EXPECT_EQ(r.sunset, LocalTimeOfDay("4:52 pm"));
    ASSERT_EQ(r.forecasts.size(), 2u);
    EXPECT_EQ(r.forecasts[1].day, "Fri");
    EXPECT_EQ(r.forecasts[1].code, 11);

    // An item without the elements: zeros and empty texts, nothing else.
    const WeatherReport empty = ReadWeatherReport(
        *ItemOf(*renderer_, "<rss><channel><item><title>x</title></item></channel></rss>"));
    EXPECT_EQ(empty.city, "");
    EXPECT_EQ(empty.temperature, 0);
    EXPECT_TRUE(empty.forecasts.empty());
}

// The live source's recorded answer for Berlin, read as the screens read a weather feed.
TEST_F(WeatherRendererTest, ALiveAnswerBecomesTheFeedTheScreensRead)
{
    const std::string answer = ReadTextFile(VELK_WEATHER_TESTDATA "/open_meteo_berlin.json");
    const auto now = std::chrono::system_clock::from_time_t(1796911200); // 2026-12-10 14:00 UTC
    const struct {
        WeatherUnits units;
        const char* speed_unit;
        long chill;
        long speed;
        double visibility;
        double pressure;
    } cases[] = {
        {WeatherUnits::Metric, "km/h", -1, 15, 840, 1012.3},
        {WeatherUnits::Imperial, "mph", -1, 15, 522, 29.9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.units));
        std::string rss;
        std::string reason;
        ASSERT_EQ(TranslateOpenMeteo(answer, {"Berlin, Germany (52.5200, 13.4100)", c.units, 63}, "",
                                     now, rss, reason), S_OK) << reason;
        auto item = ItemOf(*renderer_, rss);
        ASSERT_TRUE(item);
        const WeatherReport r = ReadWeatherReport(*item);
        EXPECT_EQ(r.city, "Berlin, Germany");
        EXPECT_EQ(r.temperature, 3);
        EXPECT_EQ(r.code, 11); // light rain: the showers picture
        EXPECT_EQ(r.condition, "Light Rain");
        EXPECT_EQ(r.speed_unit, c.speed_unit);
        EXPECT_EQ(r.chill, c.chill);
        EXPECT_EQ(r.direction, 231);
        EXPECT_EQ(r.speed, c.speed); // the recorded answer's own unit
        EXPECT_EQ(r.humidity, 87);
        EXPECT_DOUBLE_EQ(r.visibility, c.visibility);
        EXPECT_NEAR(r.pressure, c.pressure, 0.05);
        EXPECT_EQ(r.sunrise, LocalTimeOfDay("8:05 am"));
        EXPECT_EQ(r.sunset, LocalTimeOfDay("3:53 pm"));
        ASSERT_EQ(r.forecasts.size(), 2u);
        EXPECT_EQ(r.forecasts[0].day, "Thu");
        EXPECT_EQ(r.forecasts[0].low, 1);
        EXPECT_EQ(r.forecasts[0].high, 4);
        EXPECT_EQ(r.forecasts[1].day, "Fri");
        EXPECT_EQ(r.forecasts[1].text, "Cloudy");
        EXPECT_EQ(r.forecasts[1].code, 26);
        EXPECT_EQ(r.forecasts[1].low, -1);
    }
}

TEST(OpenMeteo, TheAnswersExpiryDecidesTheNextQuestionWithinBounds)
{
    const auto now = std::chrono::system_clock::from_time_t(1796911200); // Thu, 10 Dec 2026 14:00:00 GMT
    const char* answer = R"({"current":{"temperature_2m":1}})";
    const struct {
        const char* expires;
        const char* ttl;
    } cases[] = {
        {"", "<ttl>30</ttl>"},
        {"Thu, 10 Dec 2026 15:00:00 GMT", "<ttl>60</ttl>"},
        {"Thu, 10 Dec 2026 14:01:00 GMT", "<ttl>15</ttl>"},
        {"Fri, 11 Dec 2026 14:00:00 GMT", "<ttl>180</ttl>"},
        {"yesterday", "<ttl>30</ttl>"},
    };
    for (const auto& c : cases) {
        std::string rss;
        std::string reason;
        ASSERT_EQ(TranslateOpenMeteo(answer, {"1, 2", WeatherUnits::Metric, 63}, c.expires, now, rss, reason), S_OK);
        EXPECT_NE(rss.find(c.ttl), std::string::npos) << c.expires << ": " << rss;
        EXPECT_NE(rss.find("<lastBuildDate>Thu, 10 Dec 2026 14:00:00 GMT</lastBuildDate>"), std::string::npos);
    }
}

TEST(OpenMeteo, HostileAnswersAreRefusedUnharmed)
{
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string large = "{\"current\":{},\"x\":\"" + std::string(kMaxJsonBytes, 'x') + "\"}";
    const std::string strings_with_brackets = R"({"current":{"weather_code":"[[[[[[[[[[[[[[[[[[[[[[[["}})";
    for (const std::string& answer : {std::string(), std::string("null"), std::string("[]"),
                                      std::string("{\"current\":5}"), std::string("{\"current\":{"),
                                      deep, large}) {
        std::string rss;
        std::string reason;
        EXPECT_EQ(TranslateOpenMeteo(answer, {"1, 2", WeatherUnits::Metric, 63}, "", {}, rss, reason),
                  E_INVALIDARG) << answer.substr(0, 40);
        EXPECT_FALSE(reason.empty());
    }
    // Wrong types are passed by; text from the answer cannot break the document.
    std::string rss;
    std::string reason;
    ASSERT_EQ(TranslateOpenMeteo(strings_with_brackets, {"<Evil> & \"Co\" (1, 2)", WeatherUnits::Metric, 63},
                                 "", {}, rss, reason), S_OK);
    std::unique_ptr<XmlDocument> parsed;
    EXPECT_EQ(XmlDocument::Parse(rss, parsed), S_OK) << rss;
    EXPECT_NE(rss.find("code=\"3200\""), std::string::npos);
}

TEST(OpenMeteo, PlacesReadFromTheLocationText)
{
    const struct {
        const char* text;
        bool valid;
        const char* name;
        double latitude;
        double longitude;
    } cases[] = {
        {"52.52, 13.41", true, "", 52.52, 13.41},
        {"Berlin, Germany (52.5200, 13.4100)", true, "Berlin, Germany", 52.52, 13.41},
        {"  -33.87,151.21 ", true, "", -33.87, 151.21},
        {"Berlin", false, "", 0, 0},
        {"Berlin, Germany", false, "", 0, 0},
        {"91, 0", false, "", 0, 0},
        {"0, 181", false, "", 0, 0},
        {"nan, 0", false, "", 0, 0},
        {"", false, "", 0, 0},
    };
    for (const auto& c : cases) {
        const auto place = ParseWeatherPlace(c.text);
        ASSERT_EQ(place.has_value(), c.valid) << c.text;
        if (!place)
            continue;
        EXPECT_EQ(place->name, c.name);
        EXPECT_DOUBLE_EQ(place->latitude, c.latitude);
        EXPECT_DOUBLE_EQ(place->longitude, c.longitude);
        EXPECT_EQ(ParseWeatherPlace(FormatWeatherPlace(*place))->name, place->name);
    }
    WeatherSettings settings{"52.52, 13.41", WeatherUnits::Imperial, 63};
    EXPECT_EQ(OpenMeteoUrl("http://127.0.0.1:8080/v1/forecast", settings).substr(0, 70),
              "http://127.0.0.1:8080/v1/forecast?latitude=52.5200&longitude=13.4100&c");
    EXPECT_NE(OpenMeteoUrl("x", settings).find("&temperature_unit=fahrenheit&wind_speed_unit=mph"),
              std::string::npos);
    EXPECT_EQ(OpenMeteoUrl("x", {"Berlin", WeatherUnits::Metric, 63}), "");

    const auto found = ReadGeocodingAnswer(
        R"json({"results":[{"name":"Berlin (Mitte)","latitude":52.52437,"longitude":13.41053,"country":"Germany"}]})json");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "Berlin  Mitte , Germany");
    EXPECT_FALSE(ReadGeocodingAnswer(R"({"generationtime_ms":0.5})"));
    EXPECT_FALSE(ReadGeocodingAnswer(R"({"results":[{"name":"x","latitude":"52"}]})"));
    EXPECT_EQ(GeocodingUrl("https://g.example/v1/search", "São Paulo"),
              "https://g.example/v1/search?name=S%C3%A3o%20Paulo&count=1&format=json");
}

TEST(WeatherTimes, TwelveHourTimesBecomeTheLocalesTimeOfDay)
{
    EXPECT_EQ(LocalTimeOfDay("7:15 am"), "07:15:00");
    EXPECT_EQ(LocalTimeOfDay("4:52 PM"), "16:52:00");
    EXPECT_EQ(LocalTimeOfDay("12:05 am"), "00:05:00");
    EXPECT_EQ(LocalTimeOfDay("12:05 pm"), "12:05:00");
    for (const char* bad : {"", "7:15", "13:00 pm", "7:5 am", "7:75 am", "noon", "7:15 xm"})
        EXPECT_EQ(LocalTimeOfDay(bad), "") << bad;
}

// Drawing on real players: what each player receives on its shell.
class WeatherDrawingTest : public WeatherRendererTest {
protected:
    void SetUp() override
    {
        WeatherRendererTest::SetUp();
        ASSERT_TRUE(sim_.ready());
        apartment_ = Apartment::Create();
        for (int i = 0; i < 2; ++i) {
            players_[i] = std::make_shared<CVelkDevice>();
            ASSERT_EQ(players_[i]->Connect(sim_.address(i), "uuid:player-" + std::to_string(i),
                                           "Player", 0),
                      S_OK);
        }
        Parser(*renderer_).SetSettings({"94089", WeatherUnits::Metric, kDefaultWeatherItems});
    }

    void TearDown() override
    {
        for (auto& player : players_)
            player.reset();
        if (apartment_)
            apartment_->Close();
        WeatherRendererTest::TearDown();
    }

    // The lines player i received for one Render.
    std::vector<std::string> Rendered(int i, HRESULT expected = S_OK)
    {
        const std::size_t before = sim_.Received(i).size();
        auto item = ItemOf(*renderer_, kWeatherFeed);
        EXPECT_EQ(renderer_->Render(players_[i], item), expected);
        const auto lines = sim_.Received(i);
        return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(before, lines.size())),
                lines.end()};
    }

    static bool Has(const std::vector<std::string>& lines, const std::string& line)
    {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    SimProcess sim_{{"--players", "2", "--display", "Large VFD,Small VFD"}};
    std::shared_ptr<Apartment> apartment_;
    std::shared_ptr<CVelkDevice> players_[2];
};

TEST_F(WeatherDrawingTest, EachPlayerSeesTheForecastThenTheConditionsInTurn)
{
    const std::string forecast_day = "sketch -c text 0 0 \"Thu\"";
    const std::string city = "sketch -c text 0 0 \"Sunnyvale\"";

    auto first = Rendered(0);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front(), "sketch -c clear");
    EXPECT_TRUE(Has(first, "sketch -c font 3"));
    EXPECT_TRUE(Has(first, forecast_day));
    EXPECT_TRUE(Has(first, "sketch -c text 85 16 \"" + ToAnsi("High: 17°C") + "\""));
    EXPECT_FALSE(Has(first, city));
    EXPECT_TRUE(std::any_of(first.begin(), first.end(),
                            [](const std::string& l) { return l.starts_with("sketch -c line "); }))
        << "the day's icon";

    // The second player starts its own turn with the forecast.
    EXPECT_TRUE(Has(Rendered(1), forecast_day));

    auto second = Rendered(0);
    EXPECT_TRUE(Has(second, city));
    EXPECT_TRUE(Has(second, "sketch -c text 0 8 \"Pressure:  1016 mb\""));
    EXPECT_TRUE(Has(second, "sketch -c text 306 0 \"" + ToAnsi("18 °C") + "\""));
    EXPECT_FALSE(Has(second, forecast_day));

    EXPECT_TRUE(Has(Rendered(1), city));
    EXPECT_TRUE(Has(Rendered(0), forecast_day));
}

TEST_F(WeatherDrawingTest, AFeedWithOneForecastEndsTheForecastScreen)
{
    std::string one_day = kWeatherFeed;
    one_day.erase(one_day.find("    <yweather:forecast day=\"Fri\""),
                  one_day.find("</item>") - one_day.find("    <yweather:forecast day=\"Fri\""));
    const std::size_t before = sim_.Received(0).size();
    auto item = ItemOf(*renderer_, one_day);
    EXPECT_EQ(renderer_->Render(players_[0], item), E_INVALIDARG);
    // The conditions come next time all the same.
    EXPECT_EQ(renderer_->Render(players_[0], item), S_OK);
    const auto lines = sim_.Received(0);
    EXPECT_TRUE(std::find(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end(),
                          "sketch -c text 0 0 \"Sunnyvale\"") != lines.end());
}

TEST_F(WeatherDrawingTest, AnythingButAnItemNodeIsRefused)
{
    EXPECT_EQ(renderer_->Render(players_[0], nullptr), E_NOINTERFACE);
    EXPECT_EQ(renderer_->Render(nullptr, ItemOf(*renderer_, kWeatherFeed)), E_POINTER);
}

} // namespace
} // namespace velk
