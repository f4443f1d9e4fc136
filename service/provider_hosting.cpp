#include "service/provider_hosting.h"

#include "automation/enum_variant.h"
#include "platform/apartment.h"
#include "platform/git.h"
#include "platform/reg_key.h"
#include "platform/reg_stream.h"
#include "platform/timer_queue.h"
#include "service/velk_data_host.h"
#include "service/velk_device.h"
#include "velk/ircp_session.h"

namespace velk {

namespace {

// Hosts fetched per step of the host collection's enumerator.
constexpr std::uint32_t kHostsPerFetch = 5;

// The class ids a player key's "Classes" value lists (REG_SZ: one, REG_MULTI_SZ: up to the
// first empty string), in order, repeats kept; strings that are no class id are skipped.
std::vector<Guid> ListedClasses(const RegKey& device)
{
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    if (FAILED(device.QueryValue(ProviderHosting::kClassesValue, type, data)))
        return {};
    std::vector<std::string> strings;
    const std::string text(data.begin(), data.end());
    if (type == REG_SZ) {
        strings.push_back(text.substr(0, text.find('\0')));
    } else if (type == REG_MULTI_SZ) {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\0', start);
            if (end == std::string::npos)
                end = text.size();
            if (end == start)
                break;
            strings.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }
    std::vector<Guid> classes;
    for (const auto& string : strings) {
        if (auto clsid = Guid::Parse(string))
            classes.push_back(*clsid);
    }
    return classes;
}

void MonitorRemoteKeys(CVelkDevice& player, bool on)
{
    std::shared_ptr<IRCPSession> session;
    if (SUCCEEDED(player.get_RCPSession(session)) && session)
        session->put_MonitorRemoteKey(on);
}

// What the worker needs to know of one host, read on the main apartment.
struct HostView {
    DWORD cookie = 0;
    Guid clsid;
    HostStatus status = HostStatus::HostStatusInitializing;
    std::uint32_t interval_ms = kNoPolling;
    std::shared_ptr<Event> data_event;
};

HRESULT ReadHosts(IVelkDataService& service, std::vector<HostView>& views)
{
    std::shared_ptr<IVelkHosts> hosts;
    std::shared_ptr<IEnumVARIANT> items;
    HRESULT hr = service.get_Hosts(hosts);
    if (SUCCEEDED(hr))
        hr = hosts->get__NewEnum(items);
    if (FAILED(hr))
        return hr;
    std::vector<Variant> batch;
    do {
        batch.clear();
        hr = items->Next(kHostsPerFetch, batch);
        for (const auto& item : batch) {
            UnknownPtr object;
            item.ToObject(object);
            auto host = std::dynamic_pointer_cast<IVelkDataHost>(object);
            HostView view;
            if (!host || FAILED(host->get_Cookie(view.cookie)) ||
                FAILED(host->get_CLSID(view.clsid)) || FAILED(host->get_Status(view.status)) ||
                FAILED(host->get_PollingFrequency(view.interval_ms)) ||
                FAILED(host->get_Handle(view.data_event)) || !view.data_event)
                continue;
            views.push_back(std::move(view));
        }
    } while (hr == S_OK && !batch.empty());
    return SUCCEEDED(hr) ? S_OK : hr;
}

HRESULT RunHost(DWORD host_cookie)
{
    return Git::Global().Invoke<CVelkDataHost>(
        host_cookie, [](CVelkDataHost& host) { return host.RunProvider(); });
}

// The provider worker's state, kept on its own stack: the poll timers by class, and the data
// events of the hosts that do not poll.
class ProviderWorker {
public:
    ProviderWorker(DWORD service_cookie, Event& stop, Event& rescan, Event& rescan_done)
        : service_cookie_(service_cookie), stop_(stop), rescan_(rescan), rescan_done_(rescan_done)
    {
    }

    void Run()
    {
        for (;;) {
            std::vector<Waitable> waitables{stop_, rescan_};
            for (const auto& entry : waiting_)
                waitables.emplace_back(*entry.data_event);
            const int woken = WaitAny(waitables, kInfinite);
            if (woken == kWaitFailed || stop_.IsSet())
                return;
            if (rescan_.IsSet()) {
                Rescan();
                continue;
            }
            for (const auto& entry : waiting_) {
                if (!entry.data_event->IsSet())
                    continue;
                // Reset first: data raised while Run works brings another Run.
                entry.data_event->Reset();
                RunHost(entry.host_cookie);
            }
        }
    }

private:
    struct PollTimer {
        TimerQueue::TimerId id = 0;
        DWORD host_cookie = 0;
        std::uint32_t interval_ms = 0;
    };
    struct WaitEntry {
        DWORD host_cookie = 0;
        std::shared_ptr<Event> data_event;
    };

    void Rescan()
    {
        rescan_done_.Reset();
        // Reset before reading the hosts: a rescan asked for meanwhile brings another round.
        rescan_.Reset();
        std::vector<HostView> hosts;
        Git::Global().Invoke<IVelkDataService>(
            service_cookie_, [&](IVelkDataService& service) { return ReadHosts(service, hosts); });

        waiting_.clear();
        std::map<Guid, const HostView*> polled;
        for (const auto& host : hosts) {
            if (host.status == HostStatus::HostStatusTerminating)
                continue;
            if (host.interval_ms == kNoPolling)
                waiting_.push_back({host.cookie, host.data_event});
            else if (host.status == HostStatus::HostStatusAcceptingRequests)
                polled[host.clsid] = &host;
        }
        for (auto it = timers_.begin(); it != timers_.end();) {
            const auto live = polled.find(it->first);
            if (live != polled.end() && live->second->cookie == it->second.host_cookie &&
                live->second->interval_ms == it->second.interval_ms) {
                ++it;
                continue;
            }
            // A callback under way may be waiting for its provider's Run, lower on the main
            // apartment's stack than the task that asked for this rescan and waits for it:
            // waiting for the callback here could close into a cycle. It runs on, and finds
            // its host revoked or, for a changed interval, runs once more.
            queue_.DeleteTimer(it->second.id, TimerQueue::Completion::DontWait);
            it = timers_.erase(it);
        }
        for (const auto& [clsid, host] : polled) {
            if (timers_.contains(clsid))
                continue;
            const DWORD cookie = host->cookie;
            const auto id = queue_.CreateTimer([cookie] { RunHost(cookie); }, 0, host->interval_ms);
            timers_[clsid] = {id, cookie, host->interval_ms};
        }
        rescan_done_.Set();
    }

    const DWORD service_cookie_;
    Event& stop_;
    Event& rescan_;
    Event& rescan_done_;
    TimerQueue queue_;
    std::map<Guid, PollTimer> timers_;
    std::vector<WaitEntry> waiting_;
};

} // namespace

ProviderHosting::ProviderHosting(PlayerLookup connected_player)
    : connected_player_(std::move(connected_player))
{
}

ProviderHosting::~ProviderHosting()
{
    Stop();
}

HRESULT ProviderHosting::Start(DWORD service_cookie)
{
    if (worker_.joinable())
        return E_UNEXPECTED;
    service_cookie_ = service_cookie;
    stop_.Reset();
    stopped_.Reset();
    rescan_.Reset();
    rescan_done_.Reset();
    try {
        worker_ = std::thread([this, service_cookie] { WorkerMain(service_cookie); });
    } catch (const std::system_error&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void ProviderHosting::Stop()
{
    if (!worker_.joinable())
        return;
    stop_.Set();
    // The worker's last calls (and a poll callback under way) run on this apartment.
    WaitWithPumping({stopped_}, kInfinite);
    worker_.join();
}

void ProviderHosting::WorkerMain(DWORD service_cookie)
{
    {
        // The timer queue goes with the worker, waiting for every callback.
        ProviderWorker worker(service_cookie, stop_, rescan_, rescan_done_);
        worker.Run();
    }
    stopped_.Set();
}

void ProviderHosting::Rescan()
{
    if (!worker_.joinable() || stopped_.IsSet())
        return;
    rescan_done_.Reset();
    rescan_.Set();
    // The worker reads the hosts through this apartment: the wait must keep it running.
    WaitWithPumping({rescan_done_, stopped_}, kInfinite);
}

ProviderHosting::HostEntry* ProviderHosting::FindHost(DWORD host_cookie)
{
    for (auto& [clsid, entry] : hosts_) {
        if (entry.cookie == host_cookie)
            return &entry;
    }
    return nullptr;
}

std::optional<DWORD> ProviderHosting::EnsureHost(const Guid& clsid)
{
    std::lock_guard lock(hosts_lock_);
    if (auto found = hosts_.find(clsid); found != hosts_.end())
        return found->second.cookie;

    auto host = std::make_shared<CVelkDataHost>(service_cookie_, clsid);
    DWORD cookie = 0;
    if (FAILED(Git::Global().Register(host, cookie)))
        return std::nullopt;
    host->set_host_cookie(cookie);
    if (FAILED(host->Reload())) {
        // Left out of the table, so that a later player add tries again.
        host->Terminate();
        Git::Global().Revoke(cookie);
        return std::nullopt;
    }
    hosts_[clsid] = HostEntry{cookie, host, {}};
    Rescan();
    return cookie;
}

void ProviderHosting::Attach(const std::shared_ptr<CVelkDevice>& player, DWORD host_cookie)
{
    std::lock_guard lock(hosts_lock_);
    HostEntry* entry = FindHost(host_cookie);
    std::string udn;
    if (!entry || FAILED(player->get_UDN(udn)))
        return;
    const auto key = PlayerKey(udn);
    if (!key)
        return;

    std::shared_ptr<IStream> stream;
    const std::string path = PlayerKeyPath(*key) + "\\" + entry->host->clsid().ToString();
    if (SUCCEEDED(
            OpenRegStream(Hive::LocalMachine, path, kParametersValue, StreamMode::Read, stream))) {
        const auto host = entry->host;
        std::shared_ptr<IVelkDataObject> provider;
        // The player's own settings come first in the stream; the provider reads on after them.
        if (SUCCEEDED(player->Load(stream)) && SUCCEEDED(host->get_Object(provider))) {
            if (auto configure = std::dynamic_pointer_cast<IConfigureVelkDataObject>(provider))
                configure->LoadDeviceState(*stream, player);
        }
        // The provider's calls keep the apartment running: the host may have gone meanwhile.
        entry = FindHost(host_cookie);
        if (!entry)
            return;
    }
    // One remote-key request per host the player is attached to; detaching returns it.
    if (entry->players.insert(udn).second)
        MonitorRemoteKeys(*player, true);
}

void ProviderHosting::PlayerAdded(const std::shared_ptr<CVelkDevice>& player)
{
    std::string udn;
    if (FAILED(player->get_UDN(udn)))
        return;
    const auto key = PlayerKey(udn);
    RegKey device;
    if (!key || FAILED(device.Open(Hive::LocalMachine, PlayerKeyPath(*key))))
        return;
    for (const auto& clsid : ListedClasses(device)) {
        if (const auto cookie = EnsureHost(clsid))
            Attach(player, *cookie);
    }
}

void ProviderHosting::Detach(const std::string& udn, const std::shared_ptr<CVelkDevice>& player,
                             DWORD host_cookie)
{
    std::lock_guard lock(hosts_lock_);
    HostEntry* entry = FindHost(host_cookie);
    if (!entry || entry->players.erase(udn) == 0)
        return;
    const bool last = entry->players.empty();
    if (player)
        MonitorRemoteKeys(*player, false);
    if (last)
        RemoveHost(host_cookie);
}

void ProviderHosting::PlayerRemoved(const std::shared_ptr<CVelkDevice>& player)
{
    std::string udn;
    if (FAILED(player->get_UDN(udn)))
        return;
    std::vector<DWORD> attached;
    {
        std::lock_guard lock(hosts_lock_);
        for (const auto& [clsid, entry] : hosts_) {
            if (entry.players.contains(udn))
                attached.push_back(entry.cookie);
        }
    }
    for (const DWORD cookie : attached)
        Detach(udn, player, cookie);
}

void ProviderHosting::RemoveHost(DWORD host_cookie)
{
    std::shared_ptr<CVelkDataHost> host;
    std::unordered_set<std::string> players;
    {
        std::lock_guard lock(hosts_lock_);
        HostEntry* entry = FindHost(host_cookie);
        if (!entry)
            return;
        host = std::move(entry->host);
        players = std::move(entry->players);
        hosts_.erase(host->clsid());
    }
    for (const auto& udn : players) {
        if (auto player = connected_player_(udn))
            MonitorRemoteKeys(*player, false);
    }
    Git::Global().Revoke(host_cookie);
    host->Terminate();
    host.reset();
    Rescan();
}

HRESULT ProviderHosting::Reload()
{
    std::vector<std::pair<Guid, DWORD>> loaded;
    {
        std::lock_guard lock(hosts_lock_);
        for (const auto& [clsid, entry] : hosts_)
            loaded.emplace_back(clsid, entry.cookie);
    }

    // Which players list which class, read once for the whole reload.
    std::map<Guid, std::unordered_set<std::string>> listed_by;
    RegKey providers;
    std::vector<std::string> player_keys;
    if (SUCCEEDED(providers.Open(Hive::LocalMachine, kDataProvidersKey)))
        providers.EnumKeys(player_keys);
    for (const auto& player_key : player_keys) {
        RegKey device;
        if (FAILED(device.Open(providers, player_key)))
            continue;
        for (const auto& clsid : ListedClasses(device))
            listed_by[clsid].insert(UdnOfPlayerKey(player_key));
    }

    for (const auto& [clsid, cookie] : loaded) {
        const auto& wanted = listed_by[clsid];
        for (const auto& udn : wanted) {
            if (auto player = connected_player_(udn))
                Attach(player, cookie);
        }
        std::vector<std::string> unwanted;
        {
            std::lock_guard lock(hosts_lock_);
            if (HostEntry* entry = FindHost(cookie)) {
                for (const auto& udn : entry->players) {
                    if (!wanted.contains(udn))
                        unwanted.push_back(udn);
                }
            }
        }
        for (const auto& udn : unwanted)
            Detach(udn, connected_player_(udn), cookie);

        std::shared_ptr<CVelkDataHost> host;
        std::vector<std::string> players;
        {
            std::lock_guard lock(hosts_lock_);
            HostEntry* entry = FindHost(cookie);
            if (!entry)
                continue;
            host = entry->host;
            players.assign(entry->players.begin(), entry->players.end());
        }
        host->Terminate();
        // The worker lets go of the old provider's timer, so the new one is polled afresh.
        Rescan();
        if (FAILED(host->Reload())) {
            RemoveHost(cookie);
            continue;
        }
        for (const auto& udn : players) {
            if (auto player = connected_player_(udn))
                Attach(player, cookie);
        }
    }
    // A reloaded provider may poll at another interval now.
    Rescan();
    return S_OK;
}

std::vector<DispatchablePtr> ProviderHosting::Hosts()
{
    std::lock_guard lock(hosts_lock_);
    std::vector<DispatchablePtr> hosts;
    for (const auto& [clsid, entry] : hosts_)
        hosts.push_back(entry.host);
    return hosts;
}

HRESULT ProviderHosting::HostPlayers(DWORD host_cookie,
                                     std::vector<std::shared_ptr<IVelkDevice>>& players)
{
    std::lock_guard lock(hosts_lock_);
    const HostEntry* entry = FindHost(host_cookie);
    if (!entry)
        return E_INVALIDARG;
    players.clear();
    for (const auto& udn : entry->players) {
        if (auto player = connected_player_(udn))
            players.push_back(std::move(player));
    }
    return S_OK;
}

} // namespace velk
