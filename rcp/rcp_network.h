// The player's network settings: addresses, regions, Wi-Fi networks, the selected network and
// its password, and the Wi-Fi signal report. Made on request by the session; lives in its
// apartment and keeps it alive.
#pragma once

#include <optional>
#include <string_view>

#include "rcp/rcp_collection.h"

namespace velk {

// The number on the line of a "GetWiFiSignalQuality" reply whose key is the attribute's
// ("quality", "noise", "signal"); none for another attribute or a malformed line.
std::optional<std::int32_t> SignalQualityFromLine(RCPSignalQuality attribute,
                                                  std::string_view line);

class CRCPNetwork final : public DispatchImpl<CRCPNetwork, IRCPNetwork> {
public:
    static const Dispatcher<CRCPNetwork>& Dispatch();

    explicit CRCPNetwork(SessionPtr session) : session_(std::move(session)) {}

    HRESULT get_IPAddress(std::string& address) override;
    HRESULT get_MACAddress(std::string& address) override;
    HRESULT get_Regions(std::shared_ptr<IEnumRCPRegions>& regions) override;
    HRESULT get_WiFiNetworks(std::shared_ptr<IEnumRCPWiFiNetworks>& networks) override;
    HRESULT get_WiFiNetwork(std::string& network) override;
    HRESULT put_WiFiPassword(std::string_view password) override;
    // E_INVALIDARG for an attribute that is not one of the three; E_UNEXPECTED when the
    // player's report has no number for it.
    HRESULT SignalQuality(RCPSignalQuality Attribute, std::int32_t& value) override;

private:
    const SessionPtr session_;
};

} // namespace velk
