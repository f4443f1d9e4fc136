// The weather renderer inside the running news-feed provider: the real root object hosting
// the provider, a weather feed served locally (the machine's feed host pointing at it), and a
// simulated "Large VFD" player that shows both screens in turn. With VELK_DOCS_DIR set,
// the player's display is saved there as each screen appears.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "providers/common/testdata/hosting_fixture.h"
#include "providers/rss/testdata/feed_server.h"
#include "providers/rss/velk_rss_server.h"
#include "platform/registry_test_fixture.h"
#include "providers/weather/open_meteo.h"
#include "providers/weather/testdata/weather_feed.h"
#include "providers/weather/weather_renderer.h"
#include "service/velk_data_service.h"
#include "service/velk_device.h"

namespace velk {
namespace {

using testing::AddRenderedFeed;
using testing::FeedServer;
using testing::ShowFeedsOn;

class WeatherServiceTest : public testing::HostingFixture<CVelkDataService> {
protected:
    WeatherServiceTest()
        : HostingFixture(VELK_RSS_MODULE, {"--players", "1", "--display", "Large VFD"})
    {
    }

    bool Shown(const std::string& line)
    {
        const auto lines = sim_.Received();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    void Snapshot(const char* name)
    {
        const char* folder = std::getenv("VELK_DOCS_DIR");
        // As velk-sim snapshot shows a display: lit pixels blue-green on black.
        if (folder)
            sim_.Frame().ToBitmap(0xFF40E0D0, 0xFF000000)
                .SaveBmpFile(std::string(folder) + "/" + name + ".bmp");
    }

    // The player, listing one weather feed drawn by parser, shows the Thursday forecast, then
    // the conditions headed by city (one screen per run of the provider); the pictures are
    // named after `pictures`.
    void ShowsBothScreens(const Guid& parser, const WeatherSettings& weather, const std::string& city,
                          const std::string& pictures)
    {
        MemoryStream settings;
        ASSERT_EQ(WriteWeatherSettings(settings, weather), S_OK);
        ShowFeedsOn("player-0", {AddRenderedFeed(city, parser, settings.bytes())});
        auto player = std::make_shared<CVelkDevice>();
        ASSERT_EQ(player->Connect(sim_.address(), "uuid:player-0", "Hall", service_->service_cookie()),
                  S_OK);
        service_->AddPlayer(player);

        const std::uint32_t two_runs = 3 * CVelkRSSServer::kPollIntervalMs;
        ASSERT_TRUE(PumpUntil([&] { return Shown("sketch -c text 0 0 \"Thu\""); }, two_runs));
        Snapshot((pictures + "-forecast").c_str());
        ASSERT_TRUE(PumpUntil([&] { return Shown("sketch -c text 0 0 \"" + city + "\""); }, two_runs));
        Snapshot((pictures + "-conditions").c_str());
    }

    FeedServer server_;
};

TEST_F(WeatherServiceTest, APlayerShowingAWeatherFeedShowsTheForecastAndTheConditions)
{
    ASSERT_EQ(ClassRegistry::RegisterModule(VELK_WEATHER_MODULE), S_OK);
    server_.Serve("/forecastrss", {200, "text/xml", testing::kWeatherFeed});
    const std::string url = server_.Url("/");
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, kWeatherSettingsKey), S_OK);
    ASSERT_EQ(key.SetStringValue(kFeedHostValue,
                                 url.substr(std::string("http://").size(),
                                            url.size() - std::string("http://").size() - 1)),
              S_OK);
    ShowsBothScreens(CLSID_YahooWeatherRSSParser, {"94089", WeatherUnits::Metric, kDefaultWeatherItems},
                     "Sunnyvale", "weather");
    EXPECT_GE(server_.Hits("/forecastrss"), 1);
}

// The live source's recorded answer, served locally in the service's place.
TEST_F(WeatherServiceTest, APlayerShowingTheLiveSourceShowsTheForecastAndTheConditions)
{
    ASSERT_EQ(ClassRegistry::RegisterModule(VELK_WEATHER_MODULE), S_OK);
    server_.Serve("/v1/forecast", {200, "application/json",
                                   ReadTextFile(VELK_WEATHER_TESTDATA "/open_meteo_berlin.json")});
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, kWeatherSettingsKey), S_OK);
    ASSERT_EQ(key.SetStringValue(kForecastUrlValue, server_.Url("/v1/forecast")), S_OK);
    ShowsBothScreens(CLSID_OpenMeteoWeatherRenderer,
                     {"Berlin (52.5200, 13.4100)", WeatherUnits::Metric, kDefaultWeatherItems}, "Berlin",
                     "weather-live");
    EXPECT_EQ(server_.Hits("/v1/forecast"), 1);
}

} // namespace
} // namespace velk
