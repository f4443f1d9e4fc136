// One HTTP GET, as the news-feed provider and its pages fetch feeds: http and https only (never
// local files or other schemes, also not through a redirect), redirects followed, bounded in
// time and in size, with a User-Agent that names Velk (some services ask callers to say who
// they are). Blocks the calling thread; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/event.h"
#include "platform/hresult.h"

namespace velk {

struct HttpRequest {
    std::string url;
    // Sent, with the password, in the way the server asks for (basic or digest) when set.
    std::optional<std::string> username;
    std::string password;
    std::uint32_t timeout_ms = 60000; // the whole transfer
    std::size_t max_body_bytes = std::size_t{16} << 20;
    // When set, setting it ends the transfer early with E_ABORT (its owner is stopping).
    const Event* cancel = nullptr;
};

struct HttpResponse {
    long status = 0;
    std::string content_type; // the Content-Type header as sent; empty when there is none
    std::string expires;      // the Expires header as sent; empty when there is none
    std::string body;
};

// S_OK with the response, whatever its HTTP status. A request that could not be completed
// (refused, timed out, a name that does not resolve, a body over the limit, a scheme other than
// http or https) gives a failure code and `error` saying in words what went wrong.
HRESULT HttpGet(const HttpRequest& request, HttpResponse& response, std::string& error);

} // namespace velk
