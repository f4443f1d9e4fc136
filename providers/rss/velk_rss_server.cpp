#include "providers/rss/velk_rss_server.h"

#include "platform/git.h"
#include "providers/common/companion_module.h"
#include "platform/xml_dom_node.h"
#include "providers/common/player_text.h"

namespace velk {

namespace {

constexpr const char* kEventSource = "Velk RSS/Atom Newsfeed";
constexpr const char* kDownloading = "Downloading headlines...";
constexpr const char* kNoFeeds = "No Feeds setup. Please configure the Velk Data Server!";
constexpr const char* kAtomItems = "//atom:feed//atom:entry";
constexpr const char* kRssItems = "//rss/channel/item";

// An address inside this module, by which its companion is found.
void ModuleAnchor() {}

} // namespace

const Dispatcher<CVelkRSSServer>& CVelkRSSServer::Dispatch()
{
    static const auto dispatcher = DispatchBuilder<CVelkRSSServer>("IVelkDataObject")
                                       .Method("Run", 2, &CVelkRSSServer::Run)
                                       .Method("Terminate", 3, &CVelkRSSServer::Terminate)
                                       .Build();
    return dispatcher;
}

CVelkRSSServer::CVelkRSSServer()
    : CDataProvider(ProviderKind::Feed),
      downloader_(table_, [this](const std::string& message) { ReportFailure(message); })
{
}

CVelkRSSServer::~CVelkRSSServer()
{
    downloader_.Stop();
}

HRESULT CVelkRSSServer::Initialize(const std::shared_ptr<IVelkDataHost>& iHost,
                                   std::uint32_t& lpdwPollFrequency)
{
    InitializeFramework(iHost);
    std::uint32_t cookie = 0;
    if (iHost && SUCCEEDED(iHost->get_Cookie(cookie)))
        host_cookie_ = cookie;
    downloader_.Start();
    lpdwPollFrequency = kPollIntervalMs;
    return S_OK;
}

HRESULT CVelkRSSServer::Start(const std::shared_ptr<IVelkDataHost>&)
{
    StartFramework();
    return S_OK;
}

HRESULT CVelkRSSServer::Run()
{
    ForEachAcceptingPlayer([this](const std::shared_ptr<IVelkDevice>& player, const std::string& udn) {
        if (auto state = device_states_.find(udn); state != device_states_.end())
            DrawNext(player, state->second);
    });
    return S_OK;
}

void CVelkRSSServer::DrawNext(const std::shared_ptr<IVelkDevice>& player, RssDeviceState& state)
{
    if (!state.current)
        state.Advance(table_);
    if (!state.current) {
        SelectPlayerFont(*player);
        ScrollText(*player, state.feeds.empty() ? kNoFeeds : kDownloading);
        return;
    }
    const FeedCopy copy = state.current->Current();
    const auto items = copy.document->SelectNodes(copy.atom ? kAtomItems : kRssItems);
    ++state.item;
    if (state.item >= static_cast<std::int32_t>(items.size())) {
        // Past the last item: the next feed's first item at the next run.
        state.Advance(table_);
        return;
    }
    const HRESULT hr = state.current->renderer()->Render(
        player, MakeDomNode(copy.document, items[static_cast<std::size_t>(state.item)]));
    if (hr == S_FALSE)
        --state.item; // the renderer has more to show of this item
    else if (hr == E_INVALIDARG)
        state.Advance(table_);
}

HRESULT CVelkRSSServer::Terminate()
{
    downloader_.Stop();
    table_.Clear();
    TerminateFramework();
    host_cookie_ = 0;
    return S_OK;
}

HRESULT CVelkRSSServer::Configure(const AddPropSheetPageFn& lpfnAddPage,
                                  std::string_view bstrDeviceUDN, std::string_view bstrDeviceModel)
{
    configured_udn_ = std::string(bstrDeviceUDN);
    configured_model_ = std::string(bstrDeviceModel);
    auto self = std::static_pointer_cast<CVelkRSSServer>(shared_from_this());
    return CompanionModule::AddPages(lpfnAddPage, reinterpret_cast<const void*>(&ModuleAnchor),
                                     std::static_pointer_cast<IVelkDataObject>(self));
}

std::vector<std::string> CVelkRSSServer::PlayerFeeds() const
{
    auto state = device_states_.find(configured_udn_);
    return state == device_states_.end() ? std::vector<std::string>{} : state->second.feeds;
}

void CVelkRSSServer::SetPlayerFeeds(std::vector<std::string> feeds)
{
    RssDeviceState& state = device_states_[configured_udn_];
    state.feeds = std::move(feeds);
    state.position.reset();
    state.current.reset();
    state.item = -1;
}

HRESULT CVelkRSSServer::SaveObjectState(IStream&)
{
    return S_OK;
}

HRESULT CVelkRSSServer::LoadObjectState(IStream&)
{
    table_.Reload();
    return S_OK;
}

HRESULT CVelkRSSServer::SaveDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice)
{
    std::string udn;
    HRESULT hr = PlayerUdn(iDevice, udn);
    if (FAILED(hr))
        return hr;
    auto state = device_states_.find(udn);
    if (state == device_states_.end())
        return S_OK;
    hr = WriteRssDeviceState(stream, state->second);
    return FAILED(hr) ? hr : stream.Commit();
}

HRESULT CVelkRSSServer::LoadDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice)
{
    std::string udn;
    HRESULT hr = PlayerUdn(iDevice, udn);
    if (FAILED(hr))
        return hr;
    RssDeviceState state;
    hr = ReadRssDeviceState(stream, state);
    if (FAILED(hr))
        return hr;
    device_states_[udn] = std::move(state);
    DeviceStateLoaded(iDevice);
    return S_OK;
}

bool CVelkRSSServer::HasDeviceState(const std::string& udn) const
{
    return device_states_.contains(udn);
}

void CVelkRSSServer::ResetDisplayCursor(const std::string& udn)
{
    if (auto state = device_states_.find(udn); state != device_states_.end())
        state->second.Reset(table_);
}

void CVelkRSSServer::ReportFailure(const std::string& message) const
{
    const std::uint32_t cookie = host_cookie_;
    if (cookie == 0)
        return;
    Git::Global().Post(cookie, [message](const UnknownPtr& object) {
        auto host = std::dynamic_pointer_cast<IVelkDataHost>(object);
        std::shared_ptr<IVelkDataService> service;
        if (!host || FAILED(host->get_Parent(service)) || !service)
            return;
        const Variant fields(std::vector<Variant>{Variant(std::string(kEventSource)), Variant(message)});
        service->ReportVelkEvent(EventTypes::EventLogError, EventCategories::Object,
                                 kEventFeedNotLoaded, fields);
    });
}

} // namespace velk
