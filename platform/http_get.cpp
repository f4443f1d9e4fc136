#include "platform/http_get.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>

#include "platform/stream.h"
#include "platform/url.h"

namespace velk {

namespace {

constexpr const char* kWebProtocols = "http,https";
constexpr const char* kUserAgent = "Velk/" VELK_VERSION " (Melodeck data service)";
constexpr long kMaxRedirects = 10;
constexpr std::uint32_t kConnectTimeoutMs = 15000;

struct EasyHandleDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyHandleDeleter>;

// The body as the write callback collects it; `stopped` says why it cut the transfer short.
struct Body {
    std::string bytes;
    std::size_t max_bytes = 0;
    HRESULT stopped = S_OK;
};

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* context)
{
    auto& body = *static_cast<Body*>(context);
    const std::size_t length = size * count;
    // Anything but `length` returned stops the transfer.
    if (length > body.max_bytes - body.bytes.size()) {
        body.stopped = STG_E_MEDIUMFULL;
        return 0;
    }
    try {
        body.bytes.append(data, length);
    } catch (const std::bad_alloc&) {
        body.stopped = E_OUTOFMEMORY;
        return 0;
    }
    return length;
}

// Called by curl while the transfer runs, about once a second at the least.
int CheckCancel(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* cancel = static_cast<const Event*>(context);
    return cancel && cancel->IsSet() ? 1 : 0;
}

HRESULT ResultOf(CURLcode code)
{
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    case CURLE_COULDNT_CONNECT:
        return HRESULT_FROM_WIN32(ERROR_CONNECTION_REFUSED);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return HRESULT_FROM_WIN32(WSAHOST_NOT_FOUND);
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return E_INVALIDARG;
    case CURLE_OUT_OF_MEMORY:
        return E_OUTOFMEMORY;
    default:
        return E_FAIL;
    }
}

std::string WordsOf(CURLcode code, const char* detail)
{
    std::string words = curl_easy_strerror(code);
    if (*detail) {
        words += ": ";
        words += detail;
    }
    return words;
}

bool HoldsNul(std::string_view text)
{
    return text.find('\0') != std::string_view::npos;
}

} // namespace

HRESULT HttpGet(const HttpRequest& request, HttpResponse& response, std::string& error)
{
    const auto url = ParseUrl(request.url);
    if (!url || (url->scheme != "http" && url->scheme != "https")) {
        error = "The address is no absolute http or https URL.";
        return E_INVALIDARG;
    }
    if (request.username && (HoldsNul(*request.username) || HoldsNul(request.password))) {
        error = "The user name or password holds a NUL character.";
        return E_INVALIDARG;
    }

    static std::once_flag initialised;
    static CURLcode initialisation = CURLE_OK;
    std::call_once(initialised, [] { initialisation = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (initialisation != CURLE_OK) {
        error = WordsOf(initialisation, "");
        return ResultOf(initialisation);
    }

    EasyHandle handle(curl_easy_init());
    if (!handle) {
        error = "No HTTP transfer could be set up.";
        return E_OUTOFMEMORY;
    }
    CURL* const easy = handle.get();
    char detail[CURL_ERROR_SIZE] = {};
    Body body;
    body.max_bytes = request.max_body_bytes;
    // curl reads a time-out of 0 as none at all.
    const long timeout_ms = std::max<long>(request.timeout_ms, 1);

    CURLcode code = CURLE_OK;
    const auto set = [&](CURLoption option, auto value) {
        if (code == CURLE_OK)
            code = curl_easy_setopt(easy, option, value);
    };
    set(CURLOPT_ERRORBUFFER, detail);
    set(CURLOPT_URL, url->canonical.c_str());
    set(CURLOPT_PROTOCOLS_STR, kWebProtocols);
    set(CURLOPT_REDIR_PROTOCOLS_STR, kWebProtocols);
    set(CURLOPT_USERAGENT, kUserAgent);
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_TIMEOUT_MS, timeout_ms);
    set(CURLOPT_CONNECTTIMEOUT_MS, std::min<long>(kConnectTimeoutMs, timeout_ms));
    set(CURLOPT_WRITEFUNCTION, &AppendBody);
    set(CURLOPT_WRITEDATA, &body);
    if (request.cancel) {
        set(CURLOPT_XFERINFOFUNCTION, &CheckCancel);
        set(CURLOPT_XFERINFODATA, request.cancel);
        set(CURLOPT_NOPROGRESS, 0L);
    }
    if (request.username) {
        set(CURLOPT_USERNAME, request.username->c_str());
        set(CURLOPT_PASSWORD, request.password.c_str());
        set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    }
    if (code == CURLE_OK)
        code = curl_easy_perform(easy);

    if (body.stopped == STG_E_MEDIUMFULL) {
        error = "The response is larger than " + std::to_string(request.max_body_bytes) + " bytes.";
        return STG_E_MEDIUMFULL;
    }
    if (body.stopped == E_OUTOFMEMORY) {
        error = "There is no memory for the response.";
        return E_OUTOFMEMORY;
    }
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        error = "The transfer was cancelled.";
        return E_ABORT;
    }
    if (code != CURLE_OK) {
        error = WordsOf(code, detail);
        return ResultOf(code);
    }

    long status = 0;
    char* content_type = nullptr;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &content_type);
    response.status = status;
    response.content_type = content_type ? content_type : "";
    curl_header* expires = nullptr;
    if (curl_easy_header(easy, "Expires", 0, CURLH_HEADER, -1, &expires) == CURLHE_OK && expires)
        response.expires = expires->value;
    response.body = std::move(body.bytes);
    error.clear();
    return S_OK;
}

} // namespace velk
