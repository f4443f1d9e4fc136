// The news-feed provider drawing on real players of velk-sim: created by class id from its
// module, given a host that serves the players (the layer's edge), feeds from a local web
// server. Each run shows a player the next item of its feeds, as marquees on its shell.
#include "providers/rss/velk_rss_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/apartment.h"
#include "platform/class_registry.h"
#include "platform/registry_test_fixture.h"
#include "platform/testdata/run_apartment_until.h"
#include "providers/common/testdata/hosting_fixture.h"
#include "providers/rss/testdata/feed_server.h"
#include "platform/reg_key.h"
#include "service/provider_hosting.h"
#include "service/velk_data_service.h"
#include "service/velk_device.h"
#include "service/velk_devices.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;
using testing::AddFeed;
using testing::AtomFeed;
using testing::FeedList;
using testing::FeedServer;
using testing::RssFeed;
using testing::ShowFeedsOn;

constexpr std::uint32_t kSafetyMs = 10000;
constexpr std::string_view kMarquee = "sketch -c marquee -start \"";

// Serves the players it is given, and nothing else.
class PlayersHost : public DispatchImpl<PlayersHost, IVelkDataHost> {
public:
    static const Dispatcher<PlayersHost>& Dispatch()
    {
        static const auto dispatcher = DispatchBuilder<PlayersHost>("IVelkDataHost").Build();
        return dispatcher;
    }

    explicit PlayersHost(std::vector<std::shared_ptr<IVelkDevice>> players)
        : players_(std::move(players))
    {
    }

    HRESULT get_VelkDevices(std::shared_ptr<IVelkDevices>& devices) override
    {
        devices = std::make_shared<CVelkDevices>(players_);
        return S_OK;
    }
    HRESULT get_Object(std::shared_ptr<IVelkDataObject>&) override { return E_NOTIMPL; }
    HRESULT get_CLSID(Guid&) override { return E_NOTIMPL; }
    HRESULT get_PollingFrequency(std::uint32_t&) override { return E_NOTIMPL; }
    HRESULT Terminate() override { return E_NOTIMPL; }
    HRESULT get_Parent(std::shared_ptr<IVelkDataService>&) override { return E_NOTIMPL; }
    HRESULT get_Cookie(std::uint32_t& cookie) override
    {
        cookie = 0;
        return S_OK;
    }
    HRESULT get_Handle(std::shared_ptr<Event>&) override { return E_NOTIMPL; }
    HRESULT get_Status(HostStatus&) override { return E_NOTIMPL; }
    HRESULT Reload() override { return E_NOTIMPL; }

private:
    const std::vector<std::shared_ptr<IVelkDevice>> players_;
};

class RssServerTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        apartment_ = Apartment::Create();
        ASSERT_TRUE(apartment_);
        ASSERT_TRUE(sim_.ready());
        ASSERT_EQ(ClassRegistry::RegisterModule(VELK_RSS_MODULE), S_OK);
        ASSERT_EQ(ClassRegistry::CreateInstance(CLSID_VelkRSSServer, provider_), S_OK);
        configure_ = std::dynamic_pointer_cast<IConfigureVelkDataObject>(provider_);
        ASSERT_TRUE(configure_);
    }

    void TearDown() override
    {
        if (provider_)
            provider_->Terminate();
        provider_.reset();
        configure_.reset();
        players_.clear();
        if (apartment_)
            apartment_->Close();
        RegistryFixture::TearDown();
    }

    // Players 0..count-1, each showing the feeds listed for it, the provider started on them.
    void StartOn(const std::vector<std::vector<std::string>>& lists)
    {
        std::vector<std::shared_ptr<IVelkDevice>> players;
        for (std::size_t i = 0; i < lists.size(); ++i) {
            auto player = std::make_shared<CVelkDevice>();
            ASSERT_EQ(player->Connect(sim_.address(static_cast<int>(i)), Udn(i), "Player", 0), S_OK);
            MemoryStream list(FeedList(lists[i]));
            ASSERT_EQ(configure_->LoadDeviceState(list, player), S_OK);
            players.push_back(player);
        }
        players_ = players;
        std::uint32_t poll = 0;
        const auto host = std::make_shared<PlayersHost>(players);
        ASSERT_EQ(provider_->Initialize(host, poll), S_OK);
        EXPECT_EQ(poll, CVelkRSSServer::kPollIntervalMs);
        ASSERT_EQ(provider_->Start(host), S_OK);
    }

    static std::string Udn(std::size_t index) { return "uuid:player-" + std::to_string(index); }

    // The text of the marquee each run starts on the player (empty: none), one run at a time.
    std::vector<std::string> Runs(int count, int player = 0)
    {
        std::vector<std::string> shown;
        for (int i = 0; i < count; ++i) {
            const std::size_t before = sim_.Received(player).size();
            EXPECT_EQ(provider_->Run(), S_OK);
            // A line of our own after the run's shows that all of the run's have arrived.
            players_[player]->Sketch(SketchVerbs::SketchClear, {}, {}, {}, {}, {}, {});
            std::vector<std::string> lines;
            EXPECT_TRUE(RunApartmentUntil(*apartment_, [&] {
                lines = sim_.Received(player);
                return lines.size() > before && lines.back() == "sketch -c clear";
            }, kSafetyMs));
            std::string marquee;
            for (std::size_t l = std::min(before, lines.size()); l < lines.size(); ++l) {
                if (lines[l].starts_with(kMarquee))
                    marquee = lines[l].substr(kMarquee.size(), lines[l].size() - kMarquee.size() - 1);
            }
            shown.push_back(marquee);
        }
        return shown;
    }

    bool Downloaded(const std::vector<std::string>& names)
    {
        return RunApartmentUntil(*apartment_, [&] {
            for (const auto& name : names) {
                if (testing::LastDownloaded(name).empty())
                    return false;
            }
            return true;
        }, kSafetyMs);
    }

    SimProcess sim_{{"--players", "3"}};
    FeedServer server_;
    std::shared_ptr<Apartment> apartment_;
    std::shared_ptr<IVelkDataObject> provider_;
    std::shared_ptr<IConfigureVelkDataObject> configure_;
    std::vector<std::shared_ptr<IVelkDevice>> players_;
};

TEST_F(RssServerTest, EachRunShowsTheNextItemThenTheNextFeedAndRoundAgain)
{
    const Guid a_guid = Guid::New();
    const Guid b_guid = Guid::New();
    const std::string a = a_guid.ToString();
    const std::string b = b_guid.ToString();
    server_.Serve("/" + a, {200, "text/xml", RssFeed({"A one", "A two"})});
    server_.Serve("/" + b, {200, "application/atom+xml", AtomFeed({"B one"})});
    AddFeed(server_.Url("/" + a), a_guid);
    AddFeed(server_.Url("/" + b), b_guid);
    // Feeds that are not there, or never answer, are passed by.
    const std::string missing = AddFeed(server_.Url("/missing"));
    StartOn({{Guid::New().ToString(), a, missing, b}});
    ASSERT_TRUE(Downloaded({a, b}));

    // Past a feed's last item a run shows nothing and moves on to the next feed.
    const std::vector<std::string> expected = {"A one", "A two", "", "B one", "", "A one"};
    EXPECT_EQ(Runs(6), expected);
}

TEST_F(RssServerTest, PlayersWithoutFeedsOrWaitingForThemAreTold)
{
    const Guid guid = Guid::New();
    AddFeed(server_.Url("/missing"), guid); // never answers with a feed
    StartOn({{}, {guid.ToString()}, {Guid::New().ToString()}});
    // Tried once: the provider knows the feed.
    ASSERT_TRUE(RunApartmentUntil(*apartment_, [&] { return server_.Hits("/missing") > 0; }, kSafetyMs));

    EXPECT_EQ(Runs(1, 0), std::vector<std::string>{"No Feeds setup. Please configure the Velk Data Server!"});
    // Listed feeds that have no copy yet, or are not known yet, are waited for.
    EXPECT_EQ(Runs(1, 1), std::vector<std::string>{"Downloading headlines..."});
    EXPECT_EQ(Runs(1, 2), std::vector<std::string>{"Downloading headlines..."});
}

TEST_F(RssServerTest, DeviceStateRoundTripsAndADamagedStreamKeepsTheNamesRead)
{
    StartOn({{"{00000000-0000-0000-0000-000000000001}", "{00000000-0000-0000-0000-000000000002}"}});
    MemoryStream saved;
    ASSERT_EQ(configure_->SaveDeviceState(saved, players_[0]), S_OK);
    EXPECT_EQ(saved.bytes(), FeedList({"{00000000-0000-0000-0000-000000000001}",
                                       "{00000000-0000-0000-0000-000000000002}"}));

    std::vector<std::uint8_t> cut = saved.bytes();
    cut.resize(cut.size() - 3);
    MemoryStream short_stream(cut);
    ASSERT_EQ(configure_->LoadDeviceState(short_stream, players_[0]), S_OK);
    MemoryStream resaved;
    ASSERT_EQ(configure_->SaveDeviceState(resaved, players_[0]), S_OK);
    EXPECT_EQ(resaved.bytes(), FeedList({"{00000000-0000-0000-0000-000000000001}"}));

    // Nothing read: the player has an empty list, and is told so.
    const std::vector<std::uint8_t> damaged[] = {{0xFF, 0xFF, 0xFF, 0xFF}, {0x02, 0x00}, {}};
    for (const auto& bytes : damaged) {
        SCOPED_TRACE(bytes.size());
        MemoryStream stream(bytes);
        ASSERT_EQ(configure_->LoadDeviceState(stream, players_[0]), S_OK);
        MemoryStream empty;
        ASSERT_EQ(configure_->SaveDeviceState(empty, players_[0]), S_OK);
        EXPECT_EQ(empty.bytes(), FeedList({}));
        EXPECT_EQ(Runs(1), std::vector<std::string>{"No Feeds setup. Please configure the Velk Data Server!"});
    }
}

// The root object with the provider's event-log records kept for the test to read.
class RecordingDataService : public CVelkDataService {
public:
    HRESULT ReportVelkEvent(EventTypes type, EventCategories category, std::uint32_t id,
                            const Variant& fields) override
    {
        if (id == CVelkRSSServer::kEventFeedNotLoaded && type == EventTypes::EventLogError &&
            category == EventCategories::Object)
            reports.push_back(fields);
        return CVelkDataService::ReportVelkEvent(type, category, id, fields);
    }

    std::vector<Variant> reports;
};

// The real root object hosting the module, as the service does, on one simulated player.
class RssServiceTest : public testing::HostingFixture<RecordingDataService> {
protected:
    RssServiceTest() : HostingFixture(VELK_RSS_MODULE, {"--players", "1"}) {}

    // The player lists the provider ("Classes") with these feeds after its host header (font 2,
    // menu time-out 1 s, content always), and arrives.
    void ShowFeeds(const std::vector<std::string>& feeds)
    {
        ShowFeedsOn("player-0", feeds);
        auto player = std::make_shared<CVelkDevice>();
        ASSERT_EQ(player->Connect(sim_.address(), "uuid:player-0", "Player",
                                  service_->service_cookie()),
                  S_OK);
        service_->AddPlayer(player);
        player_ = player;
    }

    // Whether the player was sent the line since the first `since` lines.
    bool ReceivedSince(std::size_t since, std::string_view line)
    {
        const auto lines = sim_.Received();
        return std::find(lines.begin() + std::min(since, lines.size()), lines.end(), line) !=
               lines.end();
    }

    FeedServer server_;
    // The service owns the player.
    std::weak_ptr<CVelkDevice> player_;
};

TEST_F(RssServiceTest, TheServiceShowsAListedFeedAndLogsOneThatFails)
{
    server_.Serve("/news", {200, "text/xml", RssFeed({"Headline"})});
    const std::string news = AddFeed(server_.Url("/news"));
    const std::string broken = AddFeed(server_.Url("/broken"));
    ShowFeeds({broken, news});

    // The runs come every few seconds: the broken feed is passed by, the other one shown.
    const std::string shown = std::string(kMarquee) + "Headline\"";
    EXPECT_TRUE(PumpUntil([&] { return ReceivedSince(0, shown); },
                          4 * CVelkRSSServer::kPollIntervalMs));
    EXPECT_TRUE(PumpUntil([&] { return !service_->reports.empty(); }));
    ASSERT_EQ(service_->reports.size(), 1u);
    const auto* fields = service_->reports[0].Get<VariantArray>();
    ASSERT_TRUE(fields);
    ASSERT_EQ(fields->elements.size(), 2u);
    std::string source;
    std::string message;
    fields->elements[0].ToString(source);
    fields->elements[1].ToString(message);
    EXPECT_EQ(source, "Velk RSS/Atom Newsfeed");
    EXPECT_NE(message.find("Failed to load feed " + server_.Url("/broken")), std::string::npos);
}

// A reload makes the provider anew and loads the players' states after starting it; a dropped
// connection makes the player's connections anew. Either way the player it shows keeps EXIT,
// which gives the display back to the player's own screen, and the key requests stay counted
// once: when the service ends, the player is told to stop sending keys.
TEST_F(RssServiceTest, ExitGivesTheDisplayBackAlsoAfterAReloadAndAReconnect)
{
    server_.Serve("/news", {200, "text/xml", RssFeed({"Headline"})});
    ShowFeeds({AddFeed(server_.Url("/news"))});
    // Keys reach the service only once the player has the subscription.
    ASSERT_TRUE(PumpUntil([&] { return ReceivedSince(0, "IrDemodSubscribe"); }));

    enum class Step { First, Reload, Drop };
    for (const Step step : {Step::First, Step::Reload, Step::Drop}) {
        SCOPED_TRACE(step == Step::First ? "first provider"
                     : step == Step::Reload ? "after a reload"
                                            : "after a dropped connection");
        if (step == Step::Reload) {
            ASSERT_EQ(service_->Reload(), S_OK);
        } else if (step == Step::Drop) {
            const std::size_t before_drop = sim_.Received().size();
            sim_.Control("fault " + sim_.address() + " drop");
            // The provider's next lines find the connection gone; the ones after reconnect.
            ASSERT_TRUE(PumpUntil([&] { return ReceivedSince(before_drop, "IrDemodSubscribe"); },
                                  4 * CVelkRSSServer::kPollIntervalMs))
                << "the reconnected player was not asked for its keys";
        }
        const std::size_t before_exit = sim_.Received().size();
        sim_.Control("key " + sim_.address() + " CK_EXIT");
        EXPECT_TRUE(PumpUntil([&] { return ReceivedSince(before_exit, "sketch -c marquee -stop"); }))
            << "EXIT did not give the display back";
        EXPECT_FALSE(ReceivedSince(0, "IrDispatchCommand CK_EXIT"));
        // The menu time-out (1 s) ends the player's turn: its keys come to the service again.
        const std::size_t given_back = sim_.Received().size();
        ASSERT_TRUE(PumpUntil([&] { return ReceivedSince(given_back, "IrDemodSubscribe"); }));
    }

    std::shared_ptr<IRCPSession> session;
    ASSERT_TRUE(player_.lock());
    ASSERT_EQ(player_.lock()->get_RCPSession(session), S_OK);
    const std::size_t before_end = sim_.Received().size();
    ASSERT_EQ(service_->Terminate(), S_OK);
    service_.reset();
    bool monitored = true;
    EXPECT_EQ(session->get_MonitorRemoteKey(monitored), S_OK);
    EXPECT_FALSE(monitored);
    EXPECT_TRUE(PumpUntil([&] { return ReceivedSince(before_end, "IrDemodUnsubscribe"); }));
}

} // namespace
} // namespace velk
