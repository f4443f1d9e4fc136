#include "platform/url.h"

#include <curl/curl.h>

#include <memory>

#include "platform/ascii.h"

namespace velk {

namespace {

struct UrlHandleDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlHandleDeleter>;

std::optional<std::string> Part(CURLU* handle, CURLUPart part)
{
    char* text = nullptr;
    if (curl_url_get(handle, part, &text, 0) != CURLUE_OK || !text)
        return std::nullopt;
    std::string value(text);
    curl_free(text);
    return value;
}

} // namespace

std::optional<Url> ParseUrl(std::string_view text)
{
    if (text.empty() || text.size() > kMaxUrlLength)
        return std::nullopt;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
    }
    UrlHandle handle(curl_url());
    if (!handle)
        return std::nullopt;
    const std::string terminated(text);
    if (curl_url_set(handle.get(), CURLUPART_URL, terminated.c_str(),
                     CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE) != CURLUE_OK)
        return std::nullopt;
    auto scheme = Part(handle.get(), CURLUPART_SCHEME);
    auto host = Part(handle.get(), CURLUPART_HOST);
    if (!scheme || !host || host->empty())
        return std::nullopt;
    Url url;
    url.scheme = FoldCase(*scheme);
    url.host = FoldCase(*host);
    // Scheme and host names know no case: one spelling of them, so that equal URLs compare equal.
    if (curl_url_set(handle.get(), CURLUPART_SCHEME, url.scheme.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        curl_url_set(handle.get(), CURLUPART_HOST, url.host.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    auto canonical = Part(handle.get(), CURLUPART_URL);
    if (!canonical || canonical->size() > kMaxUrlLength)
        return std::nullopt;
    url.canonical = std::move(*canonical);
    return url;
}

} // namespace velk
