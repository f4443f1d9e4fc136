// The simulated media renderers as a UPnP control point sees them: found over SSDP, their
// descriptions, LastChange events, actions, and their goodbye and return. Runs only inside a
// private network namespace (upnp_namespace_test.sh): it sends SSDP multicast on loopback.
#include "tools/sim/upnp_device.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <regex>

#include "tools/sim/sim_test_support.h"

namespace velk::sim {
namespace {

using testing::PlayerSocket;
using testing::SimProcess;

constexpr int kSafetyMs = 10000;
constexpr const char* kSsdpGroup = "239.255.255.250";
constexpr int kSsdpPort = 1900;

std::string Unescape(std::string text)
{
    const std::pair<const char*, const char*> kEntities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, character] : kEntities) {
        for (std::size_t at = text.find(entity); at != std::string::npos;
             at = text.find(entity, at + 1))
            text.replace(at, std::strlen(entity), character);
    }
    return text;
}

std::string Element(const std::string& xml, const std::string& name)
{
    std::smatch match;
    if (!std::regex_search(xml, match, std::regex("<" + name + ">([^<]*)</" + name + ">")))
        return {};
    return match[1];
}

struct Url {
    std::string host;
    int port = 0;
    std::string path;
};

Url ParseUrl(const std::string& text)
{
    std::smatch match;
    if (!std::regex_match(text, match, std::regex("http://([0-9.]+):(\\d+)(/.*)")))
        return {};
    return {match[1], std::stoi(match[2]), match[3]};
}

bool WaitReadable(int fd, int timeout_ms)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeout_ms) == 1;
}

int ConnectTcp(const std::string& host, int port)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &where.sin_addr);
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One HTTP exchange on a fresh connection ("Connection: close"): the whole response.
std::string Http(const Url& url, const std::string& method, const std::string& headers,
                 const std::string& body = {})
{
    const int fd = ConnectTcp(url.host, url.port);
    if (fd < 0)
        return {};
    const std::string request = method + " " + url.path + " HTTP/1.1\r\nHost: " + url.host + ":" +
                                std::to_string(url.port) + "\r\nConnection: close\r\n" + headers +
                                "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                body;
    (void)send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string response;
    char chunk[65536];
    while (WaitReadable(fd, kSafetyMs)) {
        const ssize_t got = recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            break;
        response.append(chunk, static_cast<std::size_t>(got));
    }
    close(fd);
    return response;
}

std::string Soap(const Url& control, const std::string& service, const std::string& action,
                 const std::string& arguments)
{
    const std::string type = "urn:schemas-upnp-org:service:" + service + ":1";
    const std::string body =
        "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:" +
        action + " xmlns:u=\"" + type + "\">" + arguments + "</u:" + action +
        "></s:Body></s:Envelope>";
    return Http(control, "POST",
                "Content-Type: text/xml; charset=\"utf-8\"\r\nSOAPAction: \"" + type + "#" +
                    action + "\"\r\n",
                body);
}

// A UDP socket on loopback for SSDP: searches, and (when joined) the group's announcements.
class SsdpSocket {
public:
    explicit SsdpSocket(bool join_group)
    {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        in_addr loopback{};
        inet_pton(AF_INET, "127.0.0.1", &loopback);
        setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof loopback);
        if (!join_group)
            return;
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(kSsdpPort);
        where.sin_addr.s_addr = htonl(INADDR_ANY);
        bind(fd_, reinterpret_cast<sockaddr*>(&where), sizeof where);
        ip_mreq membership{};
        inet_pton(AF_INET, kSsdpGroup, &membership.imr_multiaddr);
        membership.imr_interface = loopback;
        setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership);
    }
    ~SsdpSocket() { close(fd_); }

    void Search(const std::string& target)
    {
        const std::string message =
            "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n"
            "MX: 1\r\nST: " +
            target + "\r\n\r\n";
        sockaddr_in group{};
        group.sin_family = AF_INET;
        group.sin_port = htons(kSsdpPort);
        inet_pton(AF_INET, kSsdpGroup, &group.sin_addr);
        sendto(fd_, message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&group),
               sizeof group);
    }

    // The next datagram; empty after the safety time.
    std::string Receive()
    {
        char buffer[65536];
        if (!WaitReadable(fd_, kSafetyMs))
            return {};
        const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }

private:
    int fd_ = -1;
};

std::string Header(const std::string& message, const std::string& name)
{
    std::smatch match;
    if (!std::regex_search(message, match,
                           std::regex("\r\n" + name + ": *([^\r]*)\r\n", std::regex::icase)))
        return {};
    return match[1];
}

// Receives the event NOTIFY requests of a subscription, on connections the device may keep.
class EventReceiver {
public:
    EventReceiver()
    {
        listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        inet_pton(AF_INET, "127.0.0.1", &where.sin_addr);
        bind(listen_fd_, reinterpret_cast<sockaddr*>(&where), sizeof where);
        listen(listen_fd_, 8);
        socklen_t length = sizeof where;
        getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&where), &length);
        port_ = ntohs(where.sin_port);
    }
    ~EventReceiver()
    {
        for (const auto& [fd, buffer] : clients_)
            close(fd);
        close(listen_fd_);
    }

    std::string callback() const
    {
        return "<http://127.0.0.1:" + std::to_string(port_) + "/event>";
    }

    // The body of the next NOTIFY; empty after the safety time.
    std::string Next()
    {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kSafetyMs);
        for (;;) {
            for (auto& [fd, buffer] : clients_) {
                std::string body;
                if (TakeRequest(fd, buffer, body))
                    return body;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return {};
            std::vector<pollfd> fds = {{listen_fd_, POLLIN, 0}};
            for (const auto& [fd, buffer] : clients_)
                fds.push_back({fd, POLLIN, 0});
            if (poll(fds.data(), fds.size(), static_cast<int>(left.count())) <= 0)
                return {};
            if (fds[0].revents)
                clients_[accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC)];
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (!fds[i].revents)
                    continue;
                char chunk[65536];
                const ssize_t got = recv(fds[i].fd, chunk, sizeof chunk, 0);
                if (got <= 0) {
                    close(fds[i].fd);
                    clients_.erase(fds[i].fd);
                } else {
                    clients_[fds[i].fd].append(chunk, static_cast<std::size_t>(got));
                }
            }
        }
    }

    // The first body with the text, skipping others.
    std::string NextWith(const std::string& text)
    {
        for (std::string body = Next(); !body.empty(); body = Next())
            if (Unescape(body).find(text) != std::string::npos)
                return body;
        return {};
    }

private:
    static bool TakeRequest(int fd, std::string& buffer, std::string& body)
    {
        const std::size_t end = buffer.find("\r\n\r\n");
        if (end == std::string::npos)
            return false;
        const std::string length = Header(buffer.substr(0, end + 2), "Content-Length");
        const std::size_t size = length.empty() ? 0 : std::stoul(length);
        if (buffer.size() < end + 4 + size)
            return false;
        body = buffer.substr(end + 4, size);
        buffer.erase(0, end + 4 + size);
        const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
        (void)send(fd, ok.data(), ok.size(), MSG_NOSIGNAL);
        return true;
    }

    int listen_fd_ = -1;
    int port_ = 0;
    std::map<int, std::string> clients_;
};

class UpnpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim_.ready()) << "velk-sim did not start";
        for (const auto& line : sim_.Control("players")) {
            std::smatch match;
            ASSERT_TRUE(std::regex_match(
                line, match, std::regex("([^\t]+)\t[^\t]*\t[^\t]*\t[^\t]*\t[^\t]*\t([^\t]+)\t.*")));
            udns_[match[1]] = match[2];
        }
        // Every device answers a search with the location of its description.
        SsdpSocket search(false);
        search.Search("urn:schemas-upnp-org:device:MediaRenderer:1");
        while (locations_.size() < udns_.size()) {
            const std::string answer = search.Receive();
            ASSERT_FALSE(answer.empty()) << "only " << locations_.size() << " devices answered";
            const std::string usn = Header(answer, "USN");
            locations_[usn.substr(0, usn.find("::"))] = Header(answer, "Location");
        }
    }

    std::string Description(const std::string& address)
    {
        const std::string response = Http(ParseUrl(locations_[udns_[address]]), "GET", "");
        return response.substr(response.find("\r\n\r\n") + 4);
    }

    Url ServiceUrl(const std::string& address, const std::string& service, const std::string& kind)
    {
        const std::string description = Description(address);
        std::smatch match;
        std::regex pattern("<serviceId>urn:upnp-org:serviceId:" + service + "</serviceId>.*?<" +
                           kind + ">([^<]*)</" + kind + ">");
        EXPECT_TRUE(std::regex_search(description, match, pattern)) << description;
        Url url = ParseUrl(locations_[udns_[address]]);
        url.path = match[1];
        return url;
    }

    std::string State(const std::string& address) { return sim_.Control("state " + address).at(0); }

    std::string CurrentSong(const std::string& address)
    {
        std::smatch song;
        const std::string state = State(address);
        return std::regex_search(state, song, std::regex("\"current_song\":\"([^\"]*)\""))
                   ? std::string(song[1])
                   : "";
    }

    // The title in the DIDL-Lite track metadata of a LastChange document; the item must carry
    // a numeric id and a resource.
    static std::string TrackTitle(const std::string& last_change)
    {
        std::smatch metadata;
        if (!std::regex_search(last_change, metadata,
                               std::regex("<CurrentTrackMetaData val=\"([^\"]*)\"/>")))
            return "(no metadata)";
        const std::string didl = Unescape(metadata[1]);
        if (!std::regex_search(didl, std::regex("<item id=\"\\d+\"")) ||
            didl.find("<res ") == std::string::npos)
            return "(malformed item) " + didl;
        return Unescape(Element(didl, "dc:title"));
    }

    SimProcess sim_{{"--players", "2", "--renderer-only"}};
    std::map<std::string, std::string> udns_;      // address -> UDN
    std::map<std::string, std::string> locations_; // UDN -> description URL
};

TEST_F(UpnpTest, EveryDeviceIsFoundWithItsDescription)
{
    struct Case {
        int device;
        const char* manufacturer;
        const char* model_number;
        const char* friendly_name;
        bool has_shell;
    };
    const Case kCases[] = {
        {0, "Velk", "KD-40", "Living Room", true},
        {1, "Velk", "KD-20", "Kitchen", true},
        {2, "Sonata Audio", "SR-100", "Sonata Renderer", false},
    };
    for (const auto& c : kCases) {
        const std::string address = sim_.address(c.device);
        SCOPED_TRACE(address);
        const std::string description = Description(address);
        EXPECT_EQ(Element(description, "deviceType"),
                  "urn:schemas-upnp-org:device:MediaRenderer:1");
        EXPECT_EQ(Element(description, "manufacturer"), c.manufacturer);
        EXPECT_EQ(Element(description, "modelNumber"), c.model_number);
        EXPECT_EQ(Element(description, "friendlyName"), c.friendly_name);
        EXPECT_EQ(Element(description, "UDN"), udns_[address]);
        EXPECT_EQ(Element(description, "presentationURL"), "http://" + address + "/");
        for (const char* service : {"AVTransport", "RenderingControl", "ConnectionManager"})
            EXPECT_NE(description.find(std::string("urn:upnp-org:serviceId:") + service),
                      std::string::npos);
        PlayerSocket shell(address);
        EXPECT_EQ(shell.connected(), c.has_shell);
    }
}

TEST_F(UpnpTest, LastChangeFollowsTransportPlayModeAndTrack)
{
    const std::string address = sim_.address();
    EventReceiver events;
    const std::string subscribed =
        Http(ServiceUrl(address, "AVTransport", "eventSubURL"), "SUBSCRIBE",
             "Callback: " + events.callback() + "\r\nNT: upnp:event\r\nTimeout: Second-300\r\n");
    ASSERT_TRUE(subscribed.starts_with("HTTP/1.1 200")) << subscribed;
    // The first event holds every variable: stopped, with the first queued song as the track.
    const std::string initial = Unescape(events.NextWith("TransportState"));
    EXPECT_NE(initial.find("<TransportState val=\"STOPPED\"/>"), std::string::npos) << initial;
    EXPECT_EQ(TrackTitle(initial), CurrentSong(address));

    PlayerSocket rcp(address);
    rcp.Greeting();
    rcp.EnterRcp();
    rcp.Rcp("Play");
    EXPECT_FALSE(events.NextWith("<TransportState val=\"PLAYING\"/>").empty())
        << "no LastChange after Play";
    rcp.Rcp("Next");
    const std::string next = Unescape(events.NextWith("CurrentTrackMetaData"));
    ASSERT_FALSE(next.empty()) << "no LastChange after Next";
    EXPECT_EQ(TrackTitle(next), CurrentSong(address));
    EXPECT_NE(next.find("<CurrentTrack val=\"2\"/>"), std::string::npos) << next;

    // An action through UPnP changes the player, and the event follows.
    const std::string paused = Soap(ServiceUrl(address, "AVTransport", "controlURL"), "AVTransport",
                                    "Pause", "<InstanceID>0</InstanceID>");
    EXPECT_TRUE(paused.starts_with("HTTP/1.1 200")) << paused;
    EXPECT_FALSE(events.NextWith("PAUSED_PLAYBACK").empty());
    EXPECT_NE(State(address).find("\"transport\":\"Pause\""), std::string::npos);

    Soap(ServiceUrl(address, "AVTransport", "controlURL"), "AVTransport", "SetPlayMode",
         "<InstanceID>0</InstanceID><NewPlayMode>REPEAT_ALL</NewPlayMode>");
    EXPECT_FALSE(events.NextWith("<CurrentPlayMode val=\"REPEAT_ALL\"/>").empty());
    EXPECT_EQ(rcp.Rcp("Repeat", true), std::vector<std::string>{"Repeat: all"});

    const std::string refused =
        Soap(ServiceUrl(address, "AVTransport", "controlURL"), "AVTransport", "SetPlayMode",
             "<InstanceID>0</InstanceID><NewPlayMode>INTRO</NewPlayMode>");
    EXPECT_NE(refused.find("<errorCode>712</errorCode>"), std::string::npos) << refused;
}

TEST_F(UpnpTest, RenderingControlVolumeIsThePlayersVolume)
{
    const std::string address = sim_.address(1);
    const Url control = ServiceUrl(address, "RenderingControl", "controlURL");
    const std::string set = Soap(
        control, "RenderingControl", "SetVolume",
        "<InstanceID>0</InstanceID><Channel>Master</Channel><DesiredVolume>33</DesiredVolume>");
    EXPECT_TRUE(set.starts_with("HTTP/1.1 200")) << set;
    PlayerSocket rcp(address);
    rcp.Greeting();
    rcp.EnterRcp();
    EXPECT_EQ(rcp.Rcp("GetVolume", true), std::vector<std::string>{"GetVolume: 33"});
    rcp.Rcp("SetVolume 71");
    const std::string got = Soap(control, "RenderingControl", "GetVolume",
                                 "<InstanceID>0</InstanceID><Channel>Master</Channel>");
    EXPECT_EQ(Element(got, "CurrentVolume"), "71") << got;
}

TEST_F(UpnpTest, DeviceSaysGoodbyeAndComesBack)
{
    const std::string address = sim_.address();
    const std::string udn = udns_[address];
    SsdpSocket group(true);
    const auto wait_for = [&group, &udn](const std::string& kind) {
        for (std::string message = group.Receive(); !message.empty(); message = group.Receive())
            if (Header(message, "NTS") == kind && Header(message, "USN").starts_with(udn))
                return true;
        return false;
    };
    ASSERT_TRUE(sim_.Control("fault " + address + " upnp off").empty());
    EXPECT_TRUE(wait_for("ssdp:byebye"));
    ASSERT_TRUE(sim_.Control("fault " + address + " upnp on").empty());
    EXPECT_TRUE(wait_for("ssdp:alive"));
}

} // namespace
} // namespace velk::sim
