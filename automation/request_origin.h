// Which requests may reach the automation endpoint, by where they come from. A web page that
// the user opens can send requests to 127.0.0.1 as well as any program can: a page from another
// origin is told apart by the Origin and Sec-Fetch-Site headers a browser adds, and a page whose
// name was rebound to our address by the Host it names. Programs (velkctl, scripts) send
// neither browser header and name the endpoint's address. A pure function, any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

struct EndpointNames {
    std::uint16_t port = 0;
    // Host names besides numeric addresses and "localhost" that clients may use for the
    // endpoint; matched without regard to case.
    std::vector<std::string> host_names;
};

struct RequestHeaders {
    std::string_view host;
    std::string_view origin;         // empty: not sent
    std::string_view sec_fetch_site; // empty: not sent
};

struct OriginRefusal {
    int status = 0; // 421 a Host that does not name the endpoint, 403 a foreign page
    std::string message;
};

std::optional<OriginRefusal> CheckRequestOrigin(const RequestHeaders& request,
                                                const EndpointNames& endpoint);

} // namespace velk
