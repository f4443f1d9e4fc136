// The news-feed provider: shows the machine's RSS and Atom feeds on the players, each player
// its own list of feeds, one item per run, drawn by the feed's renderer. A FeedDownloader keeps
// the feeds downloaded in the background; failed downloads go to the event log. Created by
// class id in the service's main apartment; everything but the downloads runs there.
#pragma once

#include <atomic>
#include <map>
#include <string>

#include "providers/common/data_provider.h"
#include "providers/rss/feed_downloader.h"
#include "providers/rss/feed_table.h"
#include "providers/rss/rss_device_state.h"
#include "providers/rss/rss_feed_list_settings.h"
#include "velk/velk_data_object.h"

namespace velk {

// {E05BD3C7-7B79-4C59-A6CC-49B21F612047}
constexpr Guid CLSID_VelkRSSServer{
    0xE05BD3C7, 0x7B79, 0x4C59, {0xA6, 0xCC, 0x49, 0xB2, 0x1F, 0x61, 0x20, 0x47}};

class CVelkRSSServer : public DispatchImpl<CVelkRSSServer, IVelkDataObject>,
                       public IConfigureVelkDataObject,
                       public IRssFeedListSettings,
                       public CDataProvider {
public:
    static constexpr std::uint32_t kPollIntervalMs = 7000;
    // The event-log record of a failed download.
    static constexpr std::uint32_t kEventFeedNotLoaded = 0xC0020103;

    static const Dispatcher<CVelkRSSServer>& Dispatch();

    CVelkRSSServer();
    ~CVelkRSSServer() override;

    HRESULT Initialize(const std::shared_ptr<IVelkDataHost>& iHost,
                       std::uint32_t& lpdwPollFrequency) override;
    HRESULT Start(const std::shared_ptr<IVelkDataHost>& iHost) override;
    HRESULT Run() override;
    HRESULT Terminate() override;

    // The "RSS/Atom News Feeds" page, from the companion module, for the player.
    HRESULT Configure(const AddPropSheetPageFn& lpfnAddPage, std::string_view bstrDeviceUDN,
                      std::string_view bstrDeviceModel) override;
    HRESULT SaveObjectState(IStream& stream) override;
    // Rereads the feed list; the stream is not read.
    HRESULT LoadObjectState(IStream& stream) override;
    HRESULT SaveDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice) override;
    HRESULT LoadDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice) override;

    std::string ConfiguredPlayer() const override { return configured_udn_; }
    std::string ConfiguredModel() const override { return configured_model_; }
    std::vector<std::string> PlayerFeeds() const override;
    void SetPlayerFeeds(std::vector<std::string> feeds) override;

protected:
    bool HasDeviceState(const std::string& udn) const override;
    void ResetDisplayCursor(const std::string& udn) override;

private:
    void DrawNext(const std::shared_ptr<IVelkDevice>& player, RssDeviceState& state);
    // A download worker's failure, posted to the service's event log through the host.
    void ReportFailure(const std::string& message) const;

    FeedTable table_;
    FeedDownloader downloader_;
    std::map<std::string, RssDeviceState> device_states_; // by player UDN, exact
    std::atomic<std::uint32_t> host_cookie_ = 0;
    std::string configured_udn_;
    std::string configured_model_;
};

} // namespace velk
