#include "rcp/rcp_network.h"

#include "rcp/rcp_list_items.h"
#include "rcp/rcp_reply_values.h"
#include "rcp/rcp_session.h"

namespace velk {

namespace {

std::optional<std::string_view> SignalQualityKey(RCPSignalQuality attribute)
{
    switch (attribute) {
    case RCPSignalQuality::SignalQualityQuality:
        return "quality";
    case RCPSignalQuality::SignalQualityNoise:
        return "noise";
    case RCPSignalQuality::SignalQualitySignal:
        return "signal";
    }
    return std::nullopt;
}

} // namespace

std::optional<std::int32_t> SignalQualityFromLine(RCPSignalQuality attribute, std::string_view line)
{
    const auto key = SignalQualityKey(attribute);
    const auto pair = SplitReplyLine(line);
    if (!key || !pair || pair->first != *key)
        return std::nullopt;
    return ParseDecimal32(pair->second);
}

const Dispatcher<CRCPNetwork>& CRCPNetwork::Dispatch()
{
    using N = CRCPNetwork;
    static const auto dispatcher = DispatchBuilder<N>("IRCPNetwork")
                                       .Get("IPAddress", 1, &N::get_IPAddress)
                                       .Get("MACAddress", 2, &N::get_MACAddress)
                                       .Get("Regions", 3, &N::get_Regions)
                                       .Get("WiFiNetworks", 4, &N::get_WiFiNetworks)
                                       .Get("WiFiNetwork", 5, &N::get_WiFiNetwork)
                                       .Put("WiFiPassword", 6, &N::put_WiFiPassword)
                                       .Method("SignalQuality", 7, &N::SignalQuality, {"Attribute"})
                                       .Build();
    return dispatcher;
}

HRESULT CRCPNetwork::get_IPAddress(std::string& address)
{
    return session_->Command("GetIPAddress", {}, &address);
}

HRESULT CRCPNetwork::get_MACAddress(std::string& address)
{
    return session_->Command("GetMACAddress", {}, &address);
}

HRESULT CRCPNetwork::get_Regions(std::shared_ptr<IEnumRCPRegions>& regions)
{
    return ListCollection<CEnumRCPRegions>(session_, "ListRegions", {}, regions);
}

HRESULT CRCPNetwork::get_WiFiNetworks(std::shared_ptr<IEnumRCPWiFiNetworks>& networks)
{
    return ListCollection<CEnumRCPWiFiNetworks>(session_, "ListWiFiNetworks", {}, networks);
}

HRESULT CRCPNetwork::get_WiFiNetwork(std::string& network)
{
    return session_->Command("GetWiFiNetworkSelection", {}, &network);
}

HRESULT CRCPNetwork::put_WiFiPassword(std::string_view password)
{
    return session_->Command("SetWiFiPassword", password);
}

HRESULT CRCPNetwork::SignalQuality(RCPSignalQuality Attribute, std::int32_t& value)
{
    if (!SignalQualityKey(Attribute))
        return ReportError(E_INVALIDARG);
    std::optional<std::int32_t> found;
    HRESULT hr = session_->Query("GetWiFiSignalQuality", {},
                                 [&found, Attribute](std::string_view line, std::int32_t) {
                                     if (auto number = SignalQualityFromLine(Attribute, line))
                                         found = number;
                                     return S_OK;
                                 });
    if (FAILED(hr))
        return hr;
    if (!found)
        return ReportError(E_UNEXPECTED);
    value = *found;
    return S_OK;
}

} // namespace velk
