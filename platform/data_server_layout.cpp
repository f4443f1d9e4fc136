#include "platform/data_server_layout.h"

namespace velk {

namespace {

constexpr std::string_view kUdnPrefix = "uuid:";

} // namespace

std::optional<std::string> PlayerKey(std::string_view udn)
{
    if (udn.size() <= kUdnPrefix.size())
        return std::nullopt;
    std::string key(udn.substr(kUdnPrefix.size()));
    if (key.find('\\') != std::string::npos)
        return std::nullopt;
    return key;
}

std::string UdnOfPlayerKey(std::string_view player_key)
{
    return std::string(kUdnPrefix) + std::string(player_key);
}

std::string PlayerKeyPath(std::string_view player_key)
{
    return std::string(kDataProvidersKey) + "\\" + std::string(player_key);
}

} // namespace velk
