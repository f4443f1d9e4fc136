#include "service/velk_data_service.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>

#include "platform/ascii.h"
#include "platform/error_info.h"
#include "platform/event_log.h"
#include "platform/git.h"
#include "service/velk_device.h"
#include "service/velk_devices.h"

namespace velk {

namespace {

// The host of a presentation URL ("http://192.168.1.20/" gives 192.168.1.20), when it is an
// IPv4 address in dotted form: the player's shell is reached there.
std::optional<std::string> PlayerHost(std::string_view url)
{
    const auto scheme_end = url.find("://");
    if (scheme_end != std::string_view::npos)
        url.remove_prefix(scheme_end + 3);
    const std::string host(url.substr(0, url.find_first_of(":/?#")));
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1)
        return std::nullopt;
    return host;
}

constexpr std::string_view kPlayerManufacturer = "Velk";

// Failures that may pass while the player stays announced: its shell is not up yet, or the
// network dropped the attempt.
bool IsPassingFailure(HRESULT hr) { return hr == E_RCP_SOCKET || hr == E_RCP_TIMEOUT; }

// VELK_DISCOVERY=off runs the service without looking for players (tests outside a private
// network namespace, machines where UPnP traffic is not wanted).
bool DiscoveryWanted()
{
    const char* setting = std::getenv("VELK_DISCOVERY");
    return !setting || std::string_view(setting) != "off";
}

EventLogType LogType(EventTypes type)
{
    switch (type) {
    case EventTypes::EventLogSuccess:
        return EventLogType::Success;
    case EventTypes::EventLogError:
        return EventLogType::Error;
    case EventTypes::EventLogWarning:
        return EventLogType::Warning;
    case EventTypes::EventLogInformation:
        break;
    }
    return EventLogType::Information;
}

} // namespace

const Dispatcher<CVelkDataService>& CVelkDataService::Dispatch()
{
    using R = CVelkDataService;
    static const auto dispatcher =
        DispatchBuilder<R>("IVelkDataService")
            .Get("VelkDevices", 0, &R::get_VelkDevices)
            .Method("ReportVelkEvent", 1, &R::ReportVelkEvent,
                    {"type", "Category", "EventID", Arg("Fields", Variant())})
            .Get("HostDevices", 2, &R::get_HostDevices, {"HostID"})
            .Get("Hosts", 3, &R::get_Hosts)
            .Method("Initialize", 4, &R::Initialize)
            .Method("Terminate", 5, &R::Terminate)
            .Method("Reload", 6, &R::Reload)
            .Method("UpdateITunesPlaycount", 7, &R::UpdateITunesPlaycount,
                    {"iDevice", "bstrURL", "bstrAlbumTitle", "nDatabaseID"})
            .Method("ControlService", 8, &R::ControlService, {"Service", "bState"})
            .Get("Version", 9, &R::get_Version)
            .Method("RemoveDevice", 10, &R::RemoveDevice, {"bstrDeviceUDN"})
            .Build();
    return dispatcher;
}

const DispatchTable& CVelkDataService::EventTable()
{
    static const DispatchTable table = [] {
        DispatchTable events("IVelkDataService");
        for (const auto& [name, dispid] : {std::pair{"OnAddDevice", kDispidOnAddDevice},
                                           std::pair{"OnRemoveDevice", kDispidOnRemoveDevice}})
            events.Add({name, dispid, MemberKind::Method, {{"iDevice", VT_DISPATCH, false, Variant()}},
                        VT_EMPTY});
        return events;
    }();
    return table;
}

CVelkDataService::CVelkDataService()
    : hosting_([this](const std::string& udn) { return ConnectedPlayer(udn); })
{
}

CVelkDataService::~CVelkDataService() = default;

HRESULT CVelkDataService::Initialize()
{
    if (service_cookie_ != 0)
        return E_UNEXPECTED;
    HRESULT hr = Git::Global().Register(shared_from_this(), service_cookie_);
    if (FAILED(hr))
        return hr;
    retry_timers_ = std::make_unique<TimerQueue>();
    hr = hosting_.Start(service_cookie_);
    if (FAILED(hr)) {
        retry_timers_.reset();
        Git::Global().Revoke(std::exchange(service_cookie_, 0));
        return hr;
    }
    // Without discovery the service still serves its other callers.
    if (DiscoveryWanted())
        ControlService(ServiceName::ServiceNameUPnP, kServiceOn);
    return S_OK;
}

HRESULT CVelkDataService::Terminate()
{
    if (service_cookie_ == 0)
        return S_OK;
    std::vector<std::shared_ptr<CVelkDevice>> players;
    {
        std::lock_guard lock(players_lock_);
        for (const auto& [udn, player] : players_)
            players.push_back(player);
    }
    for (const auto& player : players)
        player->ShuttingDown();
    ControlService(ServiceName::ServiceNameUPnP, kServiceOff);
    // Deleting the timers waits for a running one, which only posts.
    retry_timers_.reset();
    announced_.clear();
    // The worker first, so that no provider runs while the players and hosts go.
    hosting_.Stop();
    for (const auto& player : players) {
        std::string udn;
        player->get_UDN(udn);
        RemovePlayer(udn);
    }
    ControlService(ServiceName::ServiceNameUPnPRelease, kServiceOff);
    Git::Global().Revoke(std::exchange(service_cookie_, 0));
    return S_OK;
}

bool HasPlayerAssociation(const UPnPDeviceInfo& device)
{
    return EqualsIgnoringCase(device.manufacturer, kPlayerManufacturer);
}

HRESULT CVelkDataService::ControlService(ServiceName Service, std::int32_t bState)
{
    switch (Service) {
    case ServiceName::ServiceNameUPnP:
        if (bState == kServiceOn || bState == VARIANT_TRUE) {
            if (find_ != 0)
                return S_OK;
            HRESULT hr = finder_ ? S_OK : UPnPDeviceFinder::Create(finder_);
            if (SUCCEEDED(hr)) {
                const std::weak_ptr<CVelkDataService> self = weak_from_this();
                UPnPDeviceFinder::Callbacks callbacks;
                callbacks.device_added = [self](long find, const UPnPDeviceInfo& device) {
                    if (auto root = self.lock())
                        root->OnDeviceAdded(find, device);
                };
                callbacks.device_removed = [self](long find, const std::string& udn) {
                    if (auto root = self.lock())
                        root->OnDeviceRemoved(find, udn);
                };
                // The search goes on after its first round: later players are reported too.
                callbacks.search_complete = [](long) {};
                hr = finder_->CreateAsyncFind(kMediaRendererType, std::move(callbacks), find_);
            }
            if (SUCCEEDED(hr))
                hr = finder_->StartAsyncFind(find_);
            if (FAILED(hr)) {
                find_ = 0;
                EventLog::Report(EventLogType::Error,
                                 static_cast<std::uint16_t>(EventCategories::Service),
                                 kEventNoDeviceFinder, {});
            }
            return hr;
        }
        if (bState == kServiceOff && finder_ && find_ != 0)
            finder_->CancelAsyncFind(std::exchange(find_, 0));
        return S_OK;
    case ServiceName::ServiceNameUPnPRelease:
        if (finder_ && find_ != 0)
            finder_->CancelAsyncFind(std::exchange(find_, 0));
        finder_.reset();
        return S_OK;
    }
    return ReportError(E_INVALIDARG);
}

void CVelkDataService::OnDeviceAdded(long find, const UPnPDeviceInfo& device)
{
    if (find != find_ || device.udn.empty())
        return;
    {
        std::lock_guard lock(players_lock_);
        if (players_.contains(device.udn))
            return;
    }
    auto [entry, added] = announced_.try_emplace(device.udn, Announced{device});
    if (!added) {
        // Announced again while waiting: the next attempt takes the newest description.
        entry->second.device = device;
        return;
    }
    ConnectAnnounced(device.udn);
}

void CVelkDataService::ConnectAnnounced(const std::string& udn)
{
    auto entry = announced_.find(udn);
    if (entry == announced_.end())
        return;
    const UPnPDeviceInfo device = entry->second.device;
    const auto host = PlayerHost(device.presentation_url);
    if (!host) {
        announced_.erase(entry);
        return;
    }

    auto player = std::make_shared<CVelkDevice>();
    player->set_upnp_device(device);
    HRESULT hr = player->Connect(*host, device.udn, device.friendly_name, service_cookie_);
    // Connecting keeps this apartment running: the device may have said goodbye meanwhile.
    entry = announced_.find(udn);
    if (entry == announced_.end() || FAILED(hr)) {
        player->OnShutdown();
        if (entry == announced_.end())
            return;
        if (!IsPassingFailure(hr) || !HasPlayerAssociation(device) || !retry_timers_) {
            // No player there (another maker's renderer, a disabled shell): dropped silently.
            announced_.erase(entry);
            return;
        }
        Announced& waiting = entry->second;
        const DWORD cookie = service_cookie_;
        waiting.retry = retry_timers_->CreateTimer(
            [cookie, udn] {
                Git::Global().Post(cookie, [udn](const UnknownPtr& object) {
                    if (auto root = std::dynamic_pointer_cast<CVelkDataService>(object))
                        root->ConnectAnnounced(udn);
                });
            },
            waiting.next_delay_ms, 0);
        waiting.next_delay_ms = std::min(waiting.next_delay_ms * 2, kMaxRetryDelayMs);
        return;
    }
    announced_.erase(entry);
    AddPlayer(player);
}

void CVelkDataService::AddPlayer(const std::shared_ptr<CVelkDevice>& player)
{
    std::string udn;
    if (FAILED(player->get_UDN(udn)))
        return;
    std::lock_guard lock(players_lock_);
    hosting_.PlayerAdded(player);
    players_[udn] = player;
    FireAddDevice(player);
}

std::shared_ptr<CVelkDevice> CVelkDataService::ConnectedPlayer(const std::string& udn)
{
    std::lock_guard lock(players_lock_);
    auto found = players_.find(udn);
    return found == players_.end() ? nullptr : found->second;
}

void CVelkDataService::OnDeviceRemoved(long find, const std::string& udn)
{
    if (find != find_)
        return;
    auto entry = announced_.find(udn);
    if (entry != announced_.end()) {
        if (entry->second.retry != 0 && retry_timers_)
            retry_timers_->DeleteTimer(entry->second.retry);
        announced_.erase(entry);
    }
    RemovePlayer(udn);
}

HRESULT CVelkDataService::RemovePlayer(std::string_view udn)
{
    std::lock_guard lock(players_lock_);
    auto found = players_.find(std::string(udn));
    if (found == players_.end())
        return E_FAIL;
    // Out of the table first: a removal of the same player from a sink finds nothing.
    auto player = std::move(found->second);
    players_.erase(found);
    FireRemoveDevice(player);
    hosting_.PlayerRemoved(player);
    player->OnShutdown();
    return S_OK;
}

HRESULT CVelkDataService::RemoveDevice(std::string_view bstrDeviceUDN)
{
    HRESULT hr = RemovePlayer(bstrDeviceUDN);
    return ReportIfFailed(hr);
}

void CVelkDataService::FireAddDevice(const std::shared_ptr<IVelkDevice>& player)
{
    sinks_.Fire([&](_IVelkDataServiceEvent& sink) { return sink.OnAddDevice(player); });
    dispatch_sinks_.Fire([&](IDispatchable& sink) {
        std::vector<Variant> args{Variant(UnknownPtr(player))};
        Variant result;
        return sink.Invoke(kDispidOnAddDevice, MemberKind::Method, args, result);
    });
}

void CVelkDataService::FireRemoveDevice(const std::shared_ptr<IVelkDevice>& player)
{
    sinks_.Fire([&](_IVelkDataServiceEvent& sink) { return sink.OnRemoveDevice(player); });
    dispatch_sinks_.Fire([&](IDispatchable& sink) {
        std::vector<Variant> args{Variant(UnknownPtr(player))};
        Variant result;
        return sink.Invoke(kDispidOnRemoveDevice, MemberKind::Method, args, result);
    });
}

HRESULT CVelkDataService::get_VelkDevices(std::shared_ptr<IVelkDevices>& iDevices)
{
    std::vector<std::shared_ptr<IVelkDevice>> players;
    {
        std::lock_guard lock(players_lock_);
        for (const auto& [udn, player] : players_)
            players.push_back(player);
    }
    iDevices = std::make_shared<CVelkDevices>(std::move(players));
    return S_OK;
}

HRESULT CVelkDataService::get_HostDevices(std::uint32_t HostID,
                                          std::shared_ptr<IVelkDevices>& iDevices)
{
    std::vector<std::shared_ptr<IVelkDevice>> players;
    HRESULT hr = hosting_.HostPlayers(HostID, players);
    if (FAILED(hr))
        return ReportError(hr);
    iDevices = std::make_shared<CVelkDevices>(std::move(players));
    return S_OK;
}

HRESULT CVelkDataService::get_Hosts(std::shared_ptr<IVelkHosts>& iHosts)
{
    iHosts = std::make_shared<CEnumVelkHosts>(hosting_.Hosts());
    return S_OK;
}

HRESULT CVelkDataService::ReportVelkEvent(EventTypes type, EventCategories Category,
                                          std::uint32_t EventID, const Variant& Fields)
{
    std::vector<std::string> strings;
    if (!Fields.IsEmpty() && Fields.vt() != VT_NULL) {
        const auto* array = Fields.Get<VariantArray>();
        if (!array || array->dimensions() != 1)
            return ReportError(E_INVALIDARG);
        for (const auto& field : array->elements) {
            std::string text;
            if (FAILED(field.ToString(text)))
                return ReportError(E_INVALIDARG);
            strings.push_back(std::move(text));
        }
    }
    return EventLog::Report(LogType(type), static_cast<std::uint16_t>(Category), EventID, strings);
}

HRESULT CVelkDataService::Reload()
{
    return hosting_.Reload();
}

HRESULT CVelkDataService::UpdateITunesPlaycount(const std::shared_ptr<IVelkDevice>&,
                                                std::string_view, std::string_view, std::int32_t)
{
    // The music-library link comes later; a play is simply not counted yet.
    return S_FALSE;
}

HRESULT CVelkDataService::get_Version(std::string& version)
{
    version = VELK_VERSION;
    return S_OK;
}

HRESULT CVelkDataService::Advise(std::shared_ptr<_IVelkDataServiceEvent> sink, DWORD& cookie)
{
    return sinks_.Advise(std::move(sink), cookie);
}

HRESULT CVelkDataService::Unadvise(DWORD cookie) { return sinks_.Unadvise(cookie); }

HRESULT CVelkDataService::AdviseDispatch(DispatchablePtr sink, DWORD& cookie)
{
    return dispatch_sinks_.Advise(std::move(sink), cookie);
}

HRESULT CVelkDataService::UnadviseDispatch(DWORD cookie)
{
    return dispatch_sinks_.Unadvise(cookie);
}

} // namespace velk
