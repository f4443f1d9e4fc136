#include "shell/player_identity.h"

#include <arpa/inet.h>

#include "platform/url.h"

namespace velk {

namespace {

constexpr std::size_t kMaxLabelChars = 63;

bool IsLabelCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

bool IsHostName(std::string_view host)
{
    while (true) {
        const std::size_t dot = host.find('.');
        const std::string_view label = host.substr(0, dot);
        if (label.empty() || label.size() > kMaxLabelChars || label.front() == '-' ||
            label.back() == '-')
            return false;
        for (const char c : label) {
            if (!IsLabelCharacter(c))
                return false;
        }
        if (dot == std::string_view::npos)
            return true;
        host.remove_prefix(dot + 1);
    }
}

bool IsAddress(int family, const std::string& text)
{
    unsigned char address[16];
    return inet_pton(family, text.c_str(), address) == 1;
}

} // namespace

std::optional<std::string> PlayerHost(std::string_view presentation_url)
{
    const auto url = ParseUrl(presentation_url);
    if (!url)
        return std::nullopt;
    std::string host = url->host;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        if (host.size() > kMaxPlayerHostChars || !IsAddress(AF_INET6, host))
            return std::nullopt;
        return host;
    }
    if (host.empty() || host.size() > kMaxPlayerHostChars)
        return std::nullopt;
    if (IsAddress(AF_INET, host) || IsHostName(host))
        return host;
    return std::nullopt;
}

HRESULT IdentifyPlayer(const IDataObject* data_object, PlayerIdentity& player)
{
    if (!data_object || data_object->Items().empty() || !data_object->Items().front())
        return E_INVALIDARG;
    UPnPDeviceInfo device;
    const HRESULT hr = data_object->Items().front()->get_UPnPDevice(device);
    if (FAILED(hr))
        return hr;
    player.udn = device.udn;
    player.friendly_name = device.friendly_name;
    player.host = PlayerHost(device.presentation_url).value_or("");
    return S_OK;
}

} // namespace velk
