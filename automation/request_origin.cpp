#include "automation/request_origin.h"

#include <arpa/inet.h>
#include <charconv>

#include "platform/ascii.h"

namespace velk {

namespace {

constexpr int kStatusForbidden = 403;
constexpr int kStatusMisdirected = 421;
constexpr std::uint16_t kHttpPort = 80;

// A numeric address cannot be rebound to us by a name server; a name can.
bool IsNumericHost(std::string_view name)
{
    const std::string text(name);
    unsigned char address[16];
    if (name.size() > 2 && name.front() == '[' && name.back() == ']')
        return inet_pton(AF_INET6, text.substr(1, text.size() - 2).c_str(), address) == 1;
    return inet_pton(AF_INET, text.c_str(), address) == 1;
}

bool NamesEndpoint(std::string_view host, const EndpointNames& endpoint)
{
    std::string_view name = host;
    std::uint16_t port = kHttpPort;
    const std::size_t colon = host.rfind(':');
    if (colon != std::string_view::npos && host.find(']', colon) == std::string_view::npos) {
        name = host.substr(0, colon);
        const std::string_view digits = host.substr(colon + 1);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
            return false;
    }
    if (port != endpoint.port || name.empty())
        return false;
    if (IsNumericHost(name) || EqualsIgnoringCase(name, "localhost"))
        return true;
    for (const auto& allowed : endpoint.host_names) {
        if (EqualsIgnoringCase(name, allowed))
            return true;
    }
    return false;
}

} // namespace

std::optional<OriginRefusal> CheckRequestOrigin(const RequestHeaders& request,
                                                const EndpointNames& endpoint)
{
    if (!NamesEndpoint(request.host, endpoint))
        return OriginRefusal{kStatusMisdirected,
                             "the Host header does not name this endpoint"};
    // A page of the endpoint's own origin names the same host as its requests do.
    if (!request.origin.empty() &&
        !EqualsIgnoringCase(request.origin, "http://" + std::string(request.host)))
        return OriginRefusal{kStatusForbidden, "requests from other web pages are refused"};
    if (!request.sec_fetch_site.empty() && !EqualsIgnoringCase(request.sec_fetch_site, "same-origin") &&
        !EqualsIgnoringCase(request.sec_fetch_site, "none"))
        return OriginRefusal{kStatusForbidden, "requests from other web pages are refused"};
    return std::nullopt;
}

} // namespace velk
