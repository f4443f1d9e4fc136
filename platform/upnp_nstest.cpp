// The UPnP control point against the real simulator: devices found with their descriptions,
// their goodbye and return, cancelled finds, events and actions; and the event subscription
// against a device's event side played by hand, for the orders a real device rarely shows. It
// sends SSDP multicast, so it runs only inside a private network namespace
// (tools/sim/upnp_namespace_test.sh).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <regex>
#include <set>

#include "platform/apartment.h"
#include "platform/event.h"
#include "platform/upnp_device_finder.h"
#include "platform/upnp_device_search.h"
#include "platform/upnp_event_subscription.h"
#include "platform/upnp_loop.h"
#include "platform/upnp_service.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;

// A bound for waits that should end much sooner.
constexpr std::uint32_t kSafetyMs = 45000;
// A device that returns right after its goodbye is in doubt: a second search checks it once no
// late reply can be under way (some 20 seconds). On a busy machine a doubt raised while that
// check runs takes one more check.
constexpr std::uint32_t kReturnCheckMs =
    2 * (UPnPDeviceSearch::kStaleReplyWindowMs + UPnPDeviceSearch::kRescanSettleMs) + kSafetyMs;
constexpr std::string_view kMediaRenderer = "urn:schemas-upnp-org:device:MediaRenderer:1";
constexpr std::string_view kAVTransport = "urn:upnp-org:serviceId:AVTransport";
constexpr std::string_view kRenderingControl = "urn:upnp-org:serviceId:RenderingControl";

struct SimDevice {
    std::string address;
    std::string udn;
};

// What one find reported, in order.
struct FindLog {
    std::map<std::string, UPnPDeviceInfo> present; // by UDN
    std::vector<std::string> added;
    std::vector<std::string> removed;
    bool complete = false;
};

class UPnPTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim_.ready()) << "velk-sim did not start";
        for (const auto& line : sim_.Control("players")) {
            std::smatch match;
            ASSERT_TRUE(std::regex_match(
                line, match, std::regex("([^\t]+)\t[^\t]*\t[^\t]*\t[^\t]*\t[^\t]*\t([^\t]+)\t.*")))
                << line;
            devices_.push_back({match[1], match[2]});
        }
        ASSERT_EQ(devices_.size(), 3u);
    }

    // Runs this apartment until the condition holds; false after the safety time.
    bool PumpUntil(const std::function<bool()>& condition, std::uint32_t timeout_ms = kSafetyMs)
    {
        const Deadline deadline(timeout_ms);
        while (!condition()) {
            if (apartment_->PumpUntil({changed_}, deadline.RemainingMs()) == kWaitTimeout)
                return condition();
        }
        return true;
    }

    UPnPDeviceFinder::Callbacks Recording(FindLog& log)
    {
        return {
            [this, &log](long, const UPnPDeviceInfo& device) {
                log.present[device.udn] = device;
                log.added.push_back(device.udn);
                changed_.Set();
            },
            [this, &log](long, const std::string& udn) {
                log.present.erase(udn);
                log.removed.push_back(udn);
                changed_.Set();
            },
            [this, &log](long) {
                log.complete = true;
                changed_.Set();
            },
        };
    }

    // A running find on the finder that has seen every simulated device.
    long FindAll(UPnPDeviceFinder& finder, FindLog& log)
    {
        long find = 0;
        EXPECT_EQ(finder.CreateAsyncFind(kMediaRenderer, Recording(log), find), S_OK);
        EXPECT_EQ(finder.StartAsyncFind(find), S_OK);
        EXPECT_TRUE(PumpUntil([&] { return log.present.size() == devices_.size(); }))
            << log.present.size() << " devices found";
        return find;
    }

    std::shared_ptr<UPnPService> OpenService(const FindLog& log, int device,
                                             std::string_view service_id)
    {
        std::shared_ptr<UPnPService> service;
        const auto found = log.present.find(devices_.at(device).udn);
        if (found != log.present.end()) {
            EXPECT_EQ(UPnPService::Open(found->second, service_id, service), S_OK);
        }
        return service;
    }

    std::string State(int device)
    {
        return sim_.Control("state " + devices_.at(device).address).at(0);
    }

    std::shared_ptr<Apartment> apartment_ = Apartment::Create();
    Event changed_{Event::Reset::Auto};
    SimProcess sim_{{"--players", "2", "--renderer-only"}};
    std::vector<SimDevice> devices_; // the two players, then the other maker's renderer
};

TEST_F(UPnPTest, EveryRendererIsFoundWithItsDescriptionOnEveryInterfaceOrANamedOne)
{
    struct Expected {
        const char* friendly_name;
        const char* manufacturer;
        const char* model_name;
        const char* model_number;
    };
    const Expected kDevices[] = {
        {"Living Room", "Velk", "Melodeck", "KD-40"},
        {"Kitchen", "Velk", "Melodeck", "KD-20"},
        {"Sonata Renderer", "Sonata Audio", "Sonata Renderer", "SR-100"},
    };
    for (const std::vector<std::string>& interfaces : {std::vector<std::string>{}, {"lo"}}) {
        SCOPED_TRACE(interfaces.empty() ? "every interface" : "lo");
        std::shared_ptr<UPnPDeviceFinder> finder;
        ASSERT_EQ(UPnPDeviceFinder::Create(finder, interfaces), S_OK);
        FindLog log;
        FindAll(*finder, log);
        EXPECT_TRUE(PumpUntil([&] { return log.complete; }));
        EXPECT_TRUE(log.removed.empty());
        for (std::size_t i = 0; i < devices_.size(); ++i) {
            SCOPED_TRACE(devices_[i].address);
            ASSERT_TRUE(log.present.contains(devices_[i].udn));
            const UPnPDeviceInfo& device = log.present[devices_[i].udn];
            EXPECT_EQ(device.friendly_name, kDevices[i].friendly_name);
            EXPECT_EQ(device.manufacturer, kDevices[i].manufacturer);
            EXPECT_EQ(device.model_name, kDevices[i].model_name);
            EXPECT_EQ(device.model_number, kDevices[i].model_number);
            EXPECT_EQ(device.presentation_url, "http://" + devices_[i].address + "/");
            EXPECT_EQ(device.device_type, kMediaRenderer);
            EXPECT_TRUE(device.description_url.starts_with("http://127.0.0.1:"))
                << device.description_url;
            std::set<std::string> ids;
            for (const UPnPServiceInfo& service : device.services) {
                ids.insert(service.service_id);
                EXPECT_TRUE(service.control_url.starts_with("http://127.0.0.1:"))
                    << service.control_url;
                EXPECT_TRUE(service.event_url.starts_with("http://127.0.0.1:"))
                    << service.event_url;
            }
            EXPECT_TRUE(ids.contains(std::string(kAVTransport)));
            EXPECT_TRUE(ids.contains(std::string(kRenderingControl)));
        }
    }
}

TEST_F(UPnPTest, ADeviceThatSaysGoodbyeIsRemovedAndReportedAgainWhenItReturns)
{
    std::shared_ptr<UPnPDeviceFinder> finder;
    ASSERT_EQ(UPnPDeviceFinder::Create(finder), S_OK);
    FindLog log;
    FindAll(*finder, log);
    const SimDevice& leaving = devices_[1];
    const UPnPDeviceInfo description = log.present[leaving.udn];

    ASSERT_TRUE(sim_.Control("fault " + leaving.address + " upnp off").empty());
    ASSERT_TRUE(PumpUntil([&] { return !log.removed.empty(); }));
    EXPECT_EQ(log.removed, std::vector<std::string>{leaving.udn});
    // Its services cannot be opened while no find sees it.
    std::shared_ptr<UPnPService> service;
    EXPECT_EQ(UPnPService::Open(description, kAVTransport, service), E_FAIL);
    EXPECT_FALSE(service);

    const std::size_t added_before = log.added.size();
    ASSERT_TRUE(sim_.Control("fault " + leaving.address + " upnp on").empty());
    ASSERT_TRUE(PumpUntil([&] { return log.added.size() > added_before; }, kReturnCheckMs));
    EXPECT_EQ(log.added.back(), leaving.udn);
    EXPECT_EQ(log.removed.size(), 1u);
    EXPECT_EQ(log.present.size(), devices_.size());
}

TEST_F(UPnPTest, ACancelledFindReportsNothingMore)
{
    std::shared_ptr<UPnPDeviceFinder> finder;
    ASSERT_EQ(UPnPDeviceFinder::Create(finder), S_OK);
    FindLog cancelled_log;
    FindLog running_log;
    const long cancelled = FindAll(*finder, cancelled_log);
    FindAll(*finder, running_log);

    EXPECT_EQ(finder->CancelAsyncFind(cancelled), S_OK);
    EXPECT_EQ(finder->CancelAsyncFind(cancelled), S_OK);
    EXPECT_EQ(finder->StartAsyncFind(cancelled), E_INVALIDARG);
    const std::size_t added = cancelled_log.added.size();
    const bool complete = cancelled_log.complete;

    // The running find sees the goodbye; the cancelled one would have seen it by then.
    ASSERT_TRUE(sim_.Control("fault " + devices_[0].address + " upnp off").empty());
    ASSERT_TRUE(PumpUntil([&] { return !running_log.removed.empty(); }));
    EXPECT_TRUE(cancelled_log.removed.empty());
    EXPECT_EQ(cancelled_log.added.size(), added);
    EXPECT_EQ(cancelled_log.complete, complete);
}

TEST_F(UPnPTest, TransportEventsFollowActionsAndGoToTheLatestCallback)
{
    std::shared_ptr<UPnPDeviceFinder> finder;
    ASSERT_EQ(UPnPDeviceFinder::Create(finder), S_OK);
    FindLog log;
    FindAll(*finder, log);
    auto transport = OpenService(log, 0, kAVTransport);
    ASSERT_TRUE(transport);

    std::vector<std::string> first;
    std::vector<std::string> second;
    const auto recording = [this](std::vector<std::string>& changes) {
        return [this, &changes](const std::string& variable, const std::string& value) {
            changes.push_back(variable + "=" + value);
            changed_.Set();
        };
    };
    const auto seen = [](const std::vector<std::string>& changes, const std::string& text) {
        return std::ranges::any_of(changes, [&](const std::string& change) {
            return change.starts_with("LastChange=") && change.find(text) != std::string::npos;
        });
    };
    ASSERT_EQ(transport->AddCallback(recording(first)), S_OK);
    // The device's first event brings the whole state.
    EXPECT_TRUE(PumpUntil([&] { return seen(first, "<TransportState val=\"STOPPED\"/>"); }));
    EXPECT_TRUE(seen(first, "<NumberOfTracks val="));

    UPnPService::Arguments out;
    EXPECT_EQ(transport->InvokeAction("Play", {{"InstanceID", "0"}, {"Speed", "1"}}, out), S_OK);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(PumpUntil([&] { return seen(first, "<TransportState val=\"PLAYING\"/>"); }));
    EXPECT_NE(State(0).find("\"transport\":\"Play\""), std::string::npos) << State(0);

    ASSERT_EQ(transport->AddCallback(recording(second)), S_OK);
    const std::size_t first_count = first.size();
    EXPECT_EQ(transport->InvokeAction("Stop", {{"InstanceID", "0"}}, out), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return seen(second, "<TransportState val=\"STOPPED\"/>"); }));
    EXPECT_EQ(first.size(), first_count);
}

TEST_F(UPnPTest, VolumeActionsAnswerAndOutliveTheFind)
{
    std::shared_ptr<UPnPDeviceFinder> finder;
    ASSERT_EQ(UPnPDeviceFinder::Create(finder), S_OK);
    FindLog log;
    FindAll(*finder, log);
    auto volume = OpenService(log, 1, kRenderingControl);
    ASSERT_TRUE(volume);

    UPnPService::Arguments out;
    EXPECT_EQ(volume->InvokeAction(
                  "SetVolume",
                  {{"InstanceID", "0"}, {"Channel", "Master"}, {"DesiredVolume", "33"}}, out),
              S_OK);
    EXPECT_NE(State(1).find("\"volume\":33"), std::string::npos) << State(1);
    // A service keeps working after the find that found its device has ended.
    finder.reset();
    EXPECT_EQ(volume->InvokeAction("GetVolume", {{"InstanceID", "0"}, {"Channel", "Master"}}, out),
              S_OK);
    EXPECT_EQ(out, (UPnPService::Arguments{{"CurrentVolume", "33"}}));
}

TEST_F(UPnPTest, FailedActionsComeBackAsUPnPCodes)
{
    std::shared_ptr<UPnPDeviceFinder> finder;
    ASSERT_EQ(UPnPDeviceFinder::Create(finder), S_OK);
    FindLog log;
    FindAll(*finder, log);
    auto transport = OpenService(log, 0, kAVTransport);
    auto volume = OpenService(log, 0, kRenderingControl);
    ASSERT_TRUE(transport && volume);

    struct Case {
        UPnPService* service;
        const char* action;
        UPnPService::Arguments in;
        HRESULT expected;
    };
    const Case kCases[] = {
        {transport.get(), "Jump", {{"InstanceID", "0"}}, UPNP_E_INVALID_ACTION},
        {transport.get(),
         "SetPlayMode",
         {{"InstanceID", "0"}, {"NewPlayMode", "INTRO"}},
         UPNP_E_ACTION_SPECIFIC_BASE + 112}, // 712: play mode not supported
        {transport.get(),
         "Play",
         {{"InstanceID", "5"}, {"Speed", "1"}},
         UPNP_E_ACTION_SPECIFIC_BASE + 118}, // 718: invalid instance
        {volume.get(),
         "GetVolume",
         {{"InstanceID", "0"}, {"Channel", "Left"}},
         UPNP_E_INVALID_ARGUMENTS},
        {volume.get(), "Get Volume", {}, E_INVALIDARG},
        {volume.get(), "GetVolume", {{"Instance\r\nID", "0"}}, E_INVALIDARG},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.action);
        UPnPService::Arguments out = {{"left", "over"}};
        EXPECT_EQ(c.service->InvokeAction(c.action, c.in, out), c.expected);
        EXPECT_TRUE(out.empty());
    }

    std::shared_ptr<UPnPService> missing;
    EXPECT_EQ(
        UPnPService::Open(log.present[devices_[0].udn], "urn:upnp-org:serviceId:Nothing", missing),
        E_INVALIDARG);
    EXPECT_FALSE(missing);
}

// The event side of a device, played by the test: requests to its event URL on a loopback
// port are read one at a time and answered by the test, and notifications are sent when the test
// says so. Every connection carries one request.
class HandPlayedEventSource {
public:
    struct Request {
        std::string method;
        std::map<std::string, std::string> headers; // names in lower case
        int connection = -1;
    };

    HandPlayedEventSource()
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where);
        listen(listener_, 8);
        socklen_t length = sizeof where;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&where), &length);
        port_ = ntohs(where.sin_port);
    }
    ~HandPlayedEventSource() { close(listener_); }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/event"; }

    // The next request; an empty method after the safety time.
    Request Next()
    {
        Request request;
        pollfd ready{listener_, POLLIN, 0};
        if (poll(&ready, 1, kSafetyMs) != 1)
            return request;
        request.connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const std::string head = ReadHead(request.connection);
        std::smatch match;
        if (std::regex_search(head, match, std::regex("^([A-Z]+) ")))
            request.method = match[1];
        const std::regex header("\r\n([^:\r\n]+): *([^\r\n]*)");
        for (auto it = std::sregex_iterator(head.begin(), head.end(), header);
             it != std::sregex_iterator(); ++it) {
            std::string name = (*it)[1];
            std::ranges::transform(name, name.begin(),
                                   [](unsigned char c) { return std::tolower(c); });
            request.headers[name] = (*it)[2];
        }
        return request;
    }

    static void Answer(const Request& request, const std::string& status_and_headers)
    {
        const std::string response =
            "HTTP/1.1 " + status_and_headers + "Content-Length: 0\r\nConnection: close\r\n\r\n";
        (void)send(request.connection, response.data(), response.size(), MSG_NOSIGNAL);
        close(request.connection);
    }

    // Sends a NOTIFY to the callback ("<http://127.0.0.1:port/path>"); its HTTP status.
    static int Notify(const std::string& callback, const std::string& sid, std::uint32_t seq,
                      const std::string& body)
    {
        std::smatch match;
        if (!std::regex_match(callback, match, std::regex("<http://([0-9.]+):(\\d+)(/[^>]*)>")))
            return 0;
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(static_cast<std::uint16_t>(std::stoi(match[2])));
        inet_pton(AF_INET, std::string(match[1]).c_str(), &where.sin_addr);
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
            close(fd);
            return 0;
        }
        const std::string request =
            "NOTIFY " + std::string(match[3]) + " HTTP/1.1\r\nHost: " + std::string(match[1]) +
            ":" + std::string(match[2]) +
            "\r\nNT: upnp:event\r\nNTS: upnp:propchange\r\nSID: " + sid +
            "\r\nSEQ: " + std::to_string(seq) +
            "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\nConnection: close\r\n\r\n" + body;
        (void)send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        const std::string head = ReadHead(fd);
        close(fd);
        return head.size() > 12 ? std::atoi(head.c_str() + 9) : 0;
    }

    static std::string PropertySet(const std::string& variable, const std::string& value)
    {
        return "<?xml version=\"1.0\"?><e:propertyset xmlns:e=\"urn:schemas-upnp-org:event-1-0\">"
               "<e:property><" +
               variable + ">" + value + "</" + variable + "></e:property></e:propertyset>";
    }

private:
    // Up to the blank line after the headers (what follows is not needed).
    static std::string ReadHead(int fd)
    {
        std::string head;
        char c;
        while (head.find("\r\n\r\n") == std::string::npos) {
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, kSafetyMs) != 1 || recv(fd, &c, 1, 0) != 1)
                break;
            head += c;
        }
        return head;
    }

    int listener_ = -1;
    int port_ = 0;
};

// What reached the subscription's sink, from the UPnP thread.
struct ReceivedChanges {
    std::mutex mutex;
    std::vector<std::string> changes; // "variable=value"
    Event arrived{Event::Reset::Auto};

    bool WaitFor(std::size_t count)
    {
        const Deadline deadline(kSafetyMs);
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if (changes.size() >= count)
                    return true;
            }
            if (!arrived.Wait(deadline.RemainingMs()))
                return false;
        }
    }
};

TEST(UPnPEventSubscription, KeepsEventsThatOutrunTheSubscribeAnswerAndResubscribesAfterAGap)
{
    auto loop = UPnPLoop::Get();
    HandPlayedEventSource device;
    ReceivedChanges received;
    GUPnPContext* context = nullptr;
    std::shared_ptr<UPnPEventSubscription> subscription;
    ASSERT_EQ(loop->Invoke([&] {
        GInetAddress* address = g_inet_address_new_from_string("127.0.0.1");
        context = gupnp_context_new_full("lo", address, 0, GSSDP_UDA_VERSION_1_0, nullptr);
        g_object_unref(address);
        if (!context)
            return E_FAIL;
        subscription = std::make_shared<UPnPEventSubscription>(
            context, device.url(), [&received](const UPnPEventSubscription::Changes& changes) {
                std::lock_guard lock(received.mutex);
                for (const auto& [variable, value] : changes)
                    received.changes.push_back(variable + "=" + value);
                received.arrived.Set();
            });
        subscription->Start();
        return S_OK;
    }),
              S_OK);

    auto subscribe = device.Next();
    ASSERT_EQ(subscribe.method, "SUBSCRIBE");
    EXPECT_EQ(subscribe.headers["nt"], "upnp:event");
    const std::string callback = subscribe.headers["callback"];
    // The first event, with every variable, comes before the answer that names its SID.
    EXPECT_EQ(device.Notify(callback, "uuid:first", 0, device.PropertySet("Volume", "40")), 200);
    device.Answer(subscribe, "200 OK\r\nSID: uuid:first\r\nTimeout: Second-1800\r\n");
    ASSERT_TRUE(received.WaitFor(1));
    EXPECT_EQ(device.Notify(callback, "uuid:first", 1, device.PropertySet("Volume", "41")), 200);
    // An entity the document declares is not expanded.
    EXPECT_EQ(device.Notify(callback, "uuid:first", 2,
                            "<?xml version=\"1.0\"?><!DOCTYPE e:propertyset [<!ENTITY big "
                            "\"EXPANDED\">]><e:propertyset "
                            "xmlns:e=\"urn:schemas-upnp-org:event-1-0\"><e:property><Mute>&big;0"
                            "</Mute></e:property></e:propertyset>"),
              200);
    EXPECT_EQ(device.Notify(callback, "uuid:other", 3, device.PropertySet("Volume", "0")), 412);
    ASSERT_TRUE(received.WaitFor(3));

    // A gap: the event still counts, and a new subscription brings the whole state.
    EXPECT_EQ(device.Notify(callback, "uuid:first", 7, device.PropertySet("Volume", "47")), 200);
    ASSERT_TRUE(received.WaitFor(4));
    std::map<std::string, HandPlayedEventSource::Request> requests;
    for (int i = 0; i < 2; ++i) {
        auto request = device.Next();
        requests[request.method + " " + request.headers["sid"]] = request;
    }
    ASSERT_TRUE(requests.contains("UNSUBSCRIBE uuid:first"));
    ASSERT_TRUE(requests.contains("SUBSCRIBE "));
    device.Answer(requests["UNSUBSCRIBE uuid:first"], "200 OK\r\n");
    device.Answer(requests["SUBSCRIBE "], "200 OK\r\nSID: uuid:second\r\nTimeout: Second-1800\r\n");
    EXPECT_EQ(device.Notify(callback, "uuid:second", 0, device.PropertySet("Volume", "47")), 200);
    ASSERT_TRUE(received.WaitFor(5));
    {
        std::lock_guard lock(received.mutex);
        EXPECT_EQ(received.changes, (std::vector<std::string>{"Volume=40", "Volume=41", "Mute=0",
                                                              "Volume=47", "Volume=47"}));
    }

    // Closing unsubscribes, and nothing is delivered afterwards.
    loop->Post([subscription] { subscription->Close(); });
    auto unsubscribe = device.Next();
    EXPECT_EQ(unsubscribe.method, "UNSUBSCRIBE");
    EXPECT_EQ(unsubscribe.headers["sid"], "uuid:second");
    device.Answer(unsubscribe, "200 OK\r\n");
    EXPECT_NE(device.Notify(callback, "uuid:second", 1, device.PropertySet("Volume", "1")), 200);
    loop->Post([subscription = std::move(subscription), context] { g_object_unref(context); });
}

} // namespace
} // namespace velk
