#include "providers/common/data_provider.h"

#include <vector>

#include "automation/enum_variant.h"
#include "providers/common/host_event_handler.h"
#include "providers/common/remote_key_handler.h"

namespace velk {

namespace {

// Players fetched per step of the walk.
constexpr std::uint32_t kPlayersPerFetch = 5;

void HandBack(IVelkDevice& player)
{
    player.Sketch(SketchVerbs::SketchQuit, {}, {}, {}, {}, {}, {});
}

} // namespace

HRESULT PlayerUdn(const std::shared_ptr<IVelkDevice>& player, std::string& udn)
{
    if (!player)
        return E_POINTER;
    return player->get_UDN(udn);
}

void CDataProvider::InitializeFramework(const std::shared_ptr<IVelkDataHost>& host)
{
    host_ = host;
    if (!host_ || FAILED(host_->get_Parent(service_)) || !service_)
        return;
    auto handler = std::make_shared<CHostEventHandler>(weak_from_this());
    if (FAILED(service_->Advise(handler, service_cookie_)))
        service_cookie_ = 0;
}

void CDataProvider::StartFramework()
{
    ForEachPlayer([this](const std::shared_ptr<IVelkDevice>& player) { OnAddDevice(player); });
}

void CDataProvider::TerminateFramework()
{
    while (!subscriptions_.empty())
        Unsubscribe(subscriptions_.begin()->first);
    ForEachPlayer([](const std::shared_ptr<IVelkDevice>& player) { HandBack(*player); });
    if (service_ && service_cookie_ != 0)
        service_->Unadvise(service_cookie_);
    service_cookie_ = 0;
    service_.reset();
    host_.reset();
}

HRESULT CDataProvider::OnAddDevice(const std::shared_ptr<IVelkDevice>& player)
{
    std::string udn;
    HRESULT hr = PlayerUdn(player, udn);
    if (FAILED(hr))
        return hr;

    if (kind_ == ProviderKind::Time) {
        // Players that show something else are none of this provider's business.
        if (!HostServes(udn))
            return S_OK;
        player->Sketch(SketchVerbs::SketchClear, {}, {}, {}, {}, {}, {});
        return Subscribe(player, udn);
    }

    if (HasDeviceState(udn)) {
        hr = Subscribe(player, udn);
        ResetDisplayCursor(udn);
    }
    HandBack(*player);
    return hr;
}

void CDataProvider::DeviceStateLoaded(const std::shared_ptr<IVelkDevice>& player)
{
    std::string udn;
    if (kind_ != ProviderKind::Feed || FAILED(PlayerUdn(player, udn)) || !HostServes(udn))
        return;
    Subscribe(player, udn);
    ResetDisplayCursor(udn);
}

HRESULT CDataProvider::OnRemoveDevice(const std::shared_ptr<IVelkDevice>& player)
{
    std::string udn;
    HRESULT hr = PlayerUdn(player, udn);
    if (FAILED(hr))
        return hr;
    const bool was_subscribed = Unsubscribe(udn);
    HandBack(*player);
    return was_subscribed ? S_OK : S_FALSE;
}

void CDataProvider::OnRemoteKey(IVelkDevice& player, VelkRemoteKeys key, bool& suppress)
{
    std::string udn;
    if (FAILED(player.get_UDN(udn)))
        return;
    switch (OfferKey(udn, key)) {
    case KeyOffer::Accepted:
        break;
    case KeyOffer::Kept:
        suppress = true;
        return;
    case KeyOffer::Declined:
        return;
    }
    if (key != VelkRemoteKeys::CK_EXIT)
        return;
    suppress = true;
    player.GiveUpDisplay(0);
}

HRESULT CDataProvider::Subscribe(const std::shared_ptr<IVelkDevice>& player,
                                 const std::string& udn)
{
    // Counted requests stay balanced: one per subscription, returned by Unsubscribe.
    if (IsSubscribed(udn))
        return S_OK;
    std::shared_ptr<IRCPSession> session;
    HRESULT hr = player->get_RCPSession(session);
    if (FAILED(hr))
        return hr;
    if (!session)
        return E_POINTER;
    auto handler = std::make_shared<CRemoteKeyHandler>(player, weak_from_this());
    DWORD cookie = 0;
    hr = session->Advise(handler, cookie);
    if (FAILED(hr))
        return hr;
    subscriptions_[udn] = Subscription{session, cookie, std::move(handler)};
    session->put_MonitorRemoteKey(true);
    return S_OK;
}

bool CDataProvider::Unsubscribe(const std::string& udn)
{
    auto found = subscriptions_.find(udn);
    if (found == subscriptions_.end())
        return false;
    const Subscription subscription = std::move(found->second);
    subscriptions_.erase(found);
    subscription.session->put_MonitorRemoteKey(false);
    subscription.session->Unadvise(subscription.cookie);
    return true;
}

bool CDataProvider::HostServes(const std::string& udn) const
{
    std::shared_ptr<IVelkDevices> players;
    std::shared_ptr<IVelkDevice> player;
    return host_ && SUCCEEDED(host_->get_VelkDevices(players)) && players &&
           SUCCEEDED(players->Item(Variant(udn), player)) && player;
}

void CDataProvider::ForEachPlayer(
    const std::function<void(const std::shared_ptr<IVelkDevice>&)>& visit) const
{
    std::shared_ptr<IVelkDevices> players;
    std::shared_ptr<IEnumVARIANT> walk;
    if (!host_ || FAILED(host_->get_VelkDevices(players)) || !players ||
        FAILED(players->get__NewEnum(walk)) || !walk)
        return;
    for (;;) {
        std::vector<Variant> fetched;
        if (FAILED(walk->Next(kPlayersPerFetch, fetched)) || fetched.empty())
            return;
        for (const auto& item : fetched) {
            UnknownPtr object;
            if (FAILED(item.ToObject(object)))
                continue;
            if (auto player = std::dynamic_pointer_cast<IVelkDevice>(object))
                visit(player);
        }
    }
}

void CDataProvider::ForEachAcceptingPlayer(
    const std::function<void(const std::shared_ptr<IVelkDevice>&, const std::string& udn)>& draw) const
{
    ForEachPlayer([&](const std::shared_ptr<IVelkDevice>& player) {
        bool accepting = false;
        if (FAILED(player->get_IsAcceptingSketch(accepting)) || !accepting) {
            HandBack(*player);
            return;
        }
        std::string udn;
        if (SUCCEEDED(player->get_UDN(udn)))
            draw(player, udn);
    });
}

bool CDataProvider::HasDeviceState(const std::string&) const
{
    return false;
}

void CDataProvider::ResetDisplayCursor(const std::string&) {}

KeyOffer CDataProvider::OfferKey(const std::string&, VelkRemoteKeys)
{
    return KeyOffer::Accepted;
}

} // namespace velk
