#include "providers/weather/place_lookup.h"

#include <QMetaObject>
#include <QObject>

#include "platform/http_get.h"

namespace velk {

namespace {

constexpr std::uint32_t kLookupTimeoutMs = 15000;
constexpr long kHttpOk = 200;

} // namespace

void PlaceLookup::Start(const std::string& name, Answer answer)
{
    Stop();
    HttpRequest request;
    request.url = GeocodingUrl(GeocodingServiceUrl(), name);
    request.timeout_ms = kLookupTimeoutMs;
    request.max_body_bytes = kMaxJsonBytes;
    cancel_ = std::make_shared<Event>();
    request.cancel = cancel_.get();
    worker_ = std::thread([context = context_, request, name, answer, cancel = cancel_] {
        HttpResponse response;
        std::string reason;
        std::optional<WeatherPlace> place;
        const HRESULT hr = HttpGet(request, response, reason);
        if (hr == E_ABORT || cancel->IsSet())
            return;
        if (SUCCEEDED(hr) && response.status != kHttpOk)
            reason = "The place service answered with HTTP status " + std::to_string(response.status) + ".";
        else if (SUCCEEDED(hr) && !(place = ReadGeocodingAnswer(response.body)))
            reason = "No place called \"" + name + "\" was found.";
        // The context lives until Stop has joined this thread; a queued answer goes with it.
        QMetaObject::invokeMethod(
            context,
            [answer, place, reason, cancel] {
                if (!cancel->IsSet())
                    answer(place, reason);
            },
            Qt::QueuedConnection);
    });
}

void PlaceLookup::Stop()
{
    if (cancel_)
        cancel_->Set();
    if (worker_.joinable())
        worker_.join();
}

} // namespace velk
