// The part that the providers of idle content share (time, news feeds, mail): it follows the
// service's players, subscribes their remote keys so that EXIT hands the display back to the
// player, and walks the host's players (a provider's pages come from its companion module,
// providers/common/companion_module.h). A provider class derives from it and calls its parts
// from its own Initialize, Start and Terminate. Lives on the service's main apartment, as its provider does; the
// provider object must be owned by a std::shared_ptr (its handlers keep weak references).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "velk/velk_data_object.h"

namespace velk {

class CRemoteKeyHandler;

// Which players a provider takes and how it hands them over.
enum class ProviderKind {
    // Every player it serves is cleared and subscribed when it arrives.
    Time,
    // Only players with a device state are subscribed; every arriving player is handed back to
    // its own screen until the provider draws.
    Feed,
};

// What a provider's display did with a key of a subscribed player.
enum class KeyOffer {
    // The display gives way: the EXIT rule applies (EXIT hands the display back).
    Accepted,
    // The display acted on the key: it is kept from the player's own menus.
    Kept,
    // Not the display's key: the player's own.
    Declined,
};

// The UDN of a player handed to a provider; E_POINTER for no player.
HRESULT PlayerUdn(const std::shared_ptr<IVelkDevice>& player, std::string& udn);

class CDataProvider : public std::enable_shared_from_this<CDataProvider> {
public:
    explicit CDataProvider(ProviderKind kind) : kind_(kind) {}
    virtual ~CDataProvider() = default;
    CDataProvider(const CDataProvider&) = delete;
    CDataProvider& operator=(const CDataProvider&) = delete;

    // The service's player events, through the provider's CHostEventHandler.
    HRESULT OnAddDevice(const std::shared_ptr<IVelkDevice>& player);
    // S_FALSE when the player was not subscribed; the player is handed back either way.
    HRESULT OnRemoveDevice(const std::shared_ptr<IVelkDevice>& player);
    // A subscribed player's key; sets suppress when the provider keeps it from the player.
    void OnRemoteKey(IVelkDevice& player, VelkRemoteKeys key, bool& suppress);

    // Whether the player's keys are followed now.
    bool IsSubscribed(const std::string& udn) const { return subscriptions_.contains(udn); }

protected:
    // Keeps the host and connects to the service's player events; a host without a service
    // leaves the provider without player events, which is not an error.
    void InitializeFramework(const std::shared_ptr<IVelkDataHost>& host);
    // Takes on the players the host already serves, as their arrival would have: a provider
    // made again by a reload hears of no arrivals.
    void StartFramework();
    // Lets go of every subscription, hands every player back, disconnects from the service and
    // releases the host. The provider may be initialised again afterwards.
    void TerminateFramework();

    // Feed kind: the provider has just loaded the player's device state. A player the host
    // already serves is taken on as its arrival would have (the host loads a reloaded provider's
    // device states after starting it, and no arrival follows); others wait for their arrival.
    void DeviceStateLoaded(const std::shared_ptr<IVelkDevice>& player);

    // Calls visit for each player the host serves, fetched five at a time.
    void ForEachPlayer(const std::function<void(const std::shared_ptr<IVelkDevice>&)>& visit) const;
    // Calls draw for each player the host serves that takes drawing now, with its UDN; a
    // player whose show-content setting keeps its own screen is handed back instead.
    void ForEachAcceptingPlayer(
        const std::function<void(const std::shared_ptr<IVelkDevice>&, const std::string& udn)>& draw) const;

    // Feed kind: whether the provider has a device state for the player, and the reset of its
    // display cursor when the player arrives.
    virtual bool HasDeviceState(const std::string& udn) const;
    virtual void ResetDisplayCursor(const std::string& udn);
    // A key of a subscribed player, before the EXIT rule (which applies only to keys the
    // provider accepts; all of them unless it says otherwise).
    virtual KeyOffer OfferKey(const std::string& udn, VelkRemoteKeys key);

    const std::shared_ptr<IVelkDataHost>& host() const { return host_; }

private:
    struct Subscription {
        std::shared_ptr<IRCPSession> session; // the session the handler is connected to
        DWORD cookie = 0;
        std::shared_ptr<CRemoteKeyHandler> handler;
    };

    bool HostServes(const std::string& udn) const;
    HRESULT Subscribe(const std::shared_ptr<IVelkDevice>& player, const std::string& udn);
    bool Unsubscribe(const std::string& udn);

    const ProviderKind kind_;
    std::shared_ptr<IVelkDataHost> host_;
    std::shared_ptr<IVelkDataService> service_;
    DWORD service_cookie_ = 0;
    std::map<std::string, Subscription> subscriptions_; // by player UDN, exact
};

} // namespace velk
