// A subscribed player's key sink: follows the player's RCP session events for its provider.
// EXIT hands the display back to the player at once and keeps the press from the player's own
// menus; every other event is left alone. Holds the player it watches and only a weak reference
// to its provider, so that a key arriving after the provider has gone does nothing. Main
// apartment, like its provider.
#pragma once

#include <memory>

#include "velk/ircp_session.h"
#include "velk/ivelk_device.h"

namespace velk {

class CDataProvider;

class CRemoteKeyHandler : public _IRCPSessionEvents {
public:
    CRemoteKeyHandler(std::shared_ptr<IVelkDevice> player, std::weak_ptr<CDataProvider> provider)
        : player_(std::move(player)), provider_(std::move(provider))
    {
    }

    const std::shared_ptr<IVelkDevice>& player() const { return player_; }

    HRESULT OnRemoteKey(VelkRemoteKeys keyCode, bool& bSupressDefaultProcessing) override;
    HRESULT OnUpdateDisplay() override { return E_NOTIMPL; }
    HRESULT OnUpdateTransportState(RCPTransportStates) override { return E_NOTIMPL; }
    HRESULT OnUpdatePlayMode() override { return E_NOTIMPL; }
    HRESULT OnUpdateTrackDetails() override { return E_NOTIMPL; }
    HRESULT OnUpgradeFirmware(RCPUpgradeState, std::int32_t) override { return S_OK; }

private:
    const std::shared_ptr<IVelkDevice> player_;
    const std::weak_ptr<CDataProvider> provider_;
};

} // namespace velk
