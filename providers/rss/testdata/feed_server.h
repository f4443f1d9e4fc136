// Test support for the news-feed provider: a web server on 127.0.0.1 that serves the feeds a
// test puts on it and counts the requests; feeds written to the registry as the feed wizard
// writes them; and players listed for the provider as the data-service page lists them.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/guid.h"
#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "platform/testdata/local_http_server.h"
#include "providers/rss/feed_table.h"
#include "providers/rss/generic_renderer_state.h"
#include "providers/rss/generic_rss_renderer.h"
#include "providers/rss/rss_device_state.h"
#include "providers/rss/velk_rss_server.h"
#include "service/provider_hosting.h"

namespace velk::testing {

class FeedServer {
public:
    struct Page {
        int status = 200;
        std::string content_type = "text/xml";
        std::string body;
        bool needs_login = false; // answers 401 to a request without credentials
    };

    FeedServer()
    {
        local_.server().Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex_);
            ++hits_[request.path];
            authorizations_[request.path] = request.get_header_value("Authorization");
            auto page = pages_.find(request.path);
            if (page == pages_.end()) {
                response.status = 404;
                return;
            }
            if (page->second.needs_login && !request.has_header("Authorization")) {
                response.status = 401;
                response.set_header("WWW-Authenticate", "Basic realm=\"feeds\"");
                return;
            }
            response.status = page->second.status;
            response.set_content(page->second.body, page->second.content_type);
        });
        local_.Start();
    }

    std::string Url(const std::string& path) const { return local_.Url(path); }
    void Serve(const std::string& path, Page page)
    {
        std::lock_guard lock(mutex_);
        pages_[path] = std::move(page);
    }
    int Hits(const std::string& path) const
    {
        std::lock_guard lock(mutex_);
        auto found = hits_.find(path);
        return found == hits_.end() ? 0 : found->second;
    }
    std::string Authorization(const std::string& path) const
    {
        std::lock_guard lock(mutex_);
        auto found = authorizations_.find(path);
        return found == authorizations_.end() ? std::string() : found->second;
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, Page> pages_;
    std::map<std::string, int> hits_;
    std::map<std::string, std::string> authorizations_;
    // Last, so that it stops answering before what its handler uses goes.
    LocalHttpServer local_;
};

// An RSS document with a title per item; a lastBuildDate and ttl when given.
inline std::string RssFeed(const std::vector<std::string>& titles, const std::string& build_date = "",
                           const std::string& ttl = "")
{
    std::string text = "<rss version=\"2.0\"><channel><title>Test</title>";
    if (!build_date.empty())
        text += "<lastBuildDate>" + build_date + "</lastBuildDate>";
    if (!ttl.empty())
        text += "<ttl>" + ttl + "</ttl>";
    for (const auto& title : titles)
        text += "<item><title>" + title + "</title></item>";
    return text + "</channel></rss>";
}

inline std::string AtomFeed(const std::vector<std::string>& titles)
{
    std::string text = std::string("<feed version=\"0.3\" xmlns=\"") + kAtomNamespace +
                       "\"><title>Test</title>";
    for (const auto& title : titles)
        text += "<entry><title>" + title + "</title></entry>";
    return text + "</feed>";
}

// The generic renderer's stream for a feed at url.
inline std::vector<std::uint8_t> GenericRendererConfig(const std::string& url,
                                                       const std::string& username = "",
                                                       const std::string& password = "")
{
    MemoryStream stream;
    WriteGenericRendererState(stream, {url, username, password}, DataProtection());
    return stream.bytes();
}

// Writes a feed subkey drawn by the renderer with the renderer's stream; returns its name.
inline std::string AddRenderedFeed(const std::string& title, const Guid& parser,
                                   const std::vector<std::uint8_t>& parser_config,
                                   const Guid& guid = Guid::New())
{
    const std::string name = guid.ToString();
    RegKey key;
    key.Create(Hive::LocalMachine, std::string(FeedTable::kFeedsKey) + "\\" + name);
    key.SetStringValue("", title);
    key.SetStringValue("Parser", parser.ToString());
    key.SetDWORDValue("Flags", 1);
    key.SetBinaryValue("RSSParserConfig", parser_config);
    return name;
}

// Writes a feed subkey for the generic renderer; returns its name.
inline std::string AddFeed(const std::string& url, const Guid& guid = Guid::New(),
                           const std::string& username = "", const std::string& password = "")
{
    return AddRenderedFeed("Feed " + url, CLSID_GenericRSSRenderer,
                           GenericRendererConfig(url, username, password), guid);
}

// The provider's device state of a player showing these feeds.
inline std::vector<std::uint8_t> FeedList(const std::vector<std::string>& names)
{
    MemoryStream stream;
    RssDeviceState state;
    state.feeds = names;
    WriteRssDeviceState(stream, state);
    return stream.bytes();
}

// The player lists the news-feed provider ("Classes") with these feeds after its host header
// (font 2, menu time-out 1 s, content always).
inline void ShowFeedsOn(const std::string& player_name, const std::vector<std::string>& feeds)
{
    const std::string player_key =
        std::string(ProviderHosting::kDataProvidersKey) + "\\" + player_name;
    RegKey key;
    key.Create(Hive::LocalMachine, player_key);
    key.SetStringValue(ProviderHosting::kClassesValue, CLSID_VelkRSSServer.ToString());
    std::vector<std::uint8_t> state = {3, 0, 2, 0, 0xE8, 0x03, 0, 0, 0, 0};
    const auto list = FeedList(feeds);
    state.insert(state.end(), list.begin(), list.end());
    RegKey provider_key;
    provider_key.Create(Hive::LocalMachine, player_key + "\\" + CLSID_VelkRSSServer.ToString());
    provider_key.SetBinaryValue("Parameters", state);
}

// The feed's "Last Downloaded" (a FILETIME); empty before its first download.
inline std::vector<std::uint8_t> LastDownloaded(const std::string& name)
{
    RegKey key;
    std::vector<std::uint8_t> bytes;
    if (SUCCEEDED(key.Open(Hive::LocalMachine, std::string(FeedTable::kFeedsKey) + "\\" + name)))
        key.QueryBinaryValue("Last Downloaded", bytes);
    return bytes;
}

} // namespace velk::testing
