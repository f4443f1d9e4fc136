// The root object's provider hosting: which provider classes are loaded (one host per class,
// however many players list it), which players each host serves, and the provider worker, the
// thread that runs the providers, on their poll timers or when they raise OnDataAvailable.
//
// Everything but the worker lives on the service's main apartment, which owns this object
// through the root object. The worker and the poll timers reach the hosts and the root object
// only through the interface table, so each provider call runs on the main apartment; the
// callers' waits there keep that apartment running.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/data_server_layout.h"
#include "platform/event.h"
#include "platform/guid.h"
#include "velk/velk_data_object.h"

namespace velk {

class CVelkDevice;
class CVelkDataHost;

class ProviderHosting {
public:
    static constexpr std::string_view kDataProvidersKey = velk::kDataProvidersKey;
    static constexpr std::string_view kClassesValue = velk::kClassesValue;

    // connected_player: the root object's connected player of a UDN, or none.
    using PlayerLookup = std::function<std::shared_ptr<CVelkDevice>(const std::string& udn)>;

    explicit ProviderHosting(PlayerLookup connected_player);
    // Stops the worker when Stop was not called.
    ~ProviderHosting();
    ProviderHosting(const ProviderHosting&) = delete;
    ProviderHosting& operator=(const ProviderHosting&) = delete;

    // Starts the provider worker for the root object of service_cookie.
    HRESULT Start(DWORD service_cookie);
    // Stops the worker and waits for it (and for a poll callback under way), keeping the
    // calling apartment running meanwhile. Hosts stay until their players are removed.
    void Stop();

    // Loads the providers a player lists under its key ("Classes") and attaches it to them.
    void PlayerAdded(const std::shared_ptr<CVelkDevice>& player);
    // Detaches the player from every host it was attached to; a host left without players is
    // removed.
    void PlayerRemoved(const std::shared_ptr<CVelkDevice>& player);
    // Rereads which players list each loaded class, attaches and detaches accordingly, and
    // reloads every host that still has players so that it rereads its settings.
    HRESULT Reload();

    // The hosts, in class id order.
    std::vector<DispatchablePtr> Hosts();
    // The connected players a host serves; E_INVALIDARG for an unknown host cookie.
    HRESULT HostPlayers(DWORD host_cookie, std::vector<std::shared_ptr<IVelkDevice>>& players);

private:
    struct HostEntry {
        DWORD cookie = 0;
        std::shared_ptr<CVelkDataHost> host;
        std::unordered_set<std::string> players;
    };

    // The host cookie of the class, creating and loading its host when it has none.
    std::optional<DWORD> EnsureHost(const Guid& clsid);
    // Gives the player's device state to the host's provider and records the player there.
    void Attach(const std::shared_ptr<CVelkDevice>& player, DWORD host_cookie);
    // player may be null when it is no longer connected.
    void Detach(const std::string& udn, const std::shared_ptr<CVelkDevice>& player,
                DWORD host_cookie);
    void RemoveHost(DWORD host_cookie);
    // Has the worker rebuild its timers and wait list from the live hosts, and waits for it.
    void Rescan();
    HostEntry* FindHost(DWORD host_cookie);
    void WorkerMain(DWORD service_cookie);

    const PlayerLookup connected_player_;
    DWORD service_cookie_ = 0;

    // Re-entrant: provider calls made under it keep the apartment running, and the calls served
    // meanwhile take it again.
    std::recursive_mutex hosts_lock_;
    std::map<Guid, HostEntry> hosts_;

    Event stop_;
    Event stopped_;
    Event rescan_;
    Event rescan_done_;
    std::thread worker_;
};

} // namespace velk
