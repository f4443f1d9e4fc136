#include "platform/upnp_service.h"

#include <algorithm>
#include <mutex>
#include <system_error>

#include "platform/apartment.h"
#include "platform/event.h"
#include "platform/upnp_loop.h"
#include "platform/upnp_service_proxy.h"

namespace velk {

// Where a service's events go: the callback and its apartment, shared with the UPnP thread that
// posts the events. Once closed, events still queued in the apartment are dropped.
class UPnPService::EventTarget : public std::enable_shared_from_this<EventTarget> {
public:
    void Set(Callback fn, std::weak_ptr<Apartment> apartment)
    {
        std::lock_guard lock(mutex_);
        fn_ = std::move(fn);
        apartment_ = std::move(apartment);
    }

    void Close()
    {
        Callback dropped;
        std::lock_guard lock(mutex_);
        closed_ = true;
        dropped.swap(fn_);
    }

    // From the UPnP thread.
    void Deliver(const Arguments& changes)
    {
        std::shared_ptr<Apartment> apartment;
        {
            std::lock_guard lock(mutex_);
            if (closed_)
                return;
            apartment = apartment_.lock();
        }
        if (!apartment)
            return;
        apartment->Post([self = shared_from_this(), changes] {
            Callback fn;
            {
                std::lock_guard lock(self->mutex_);
                fn = self->fn_;
            }
            if (!fn)
                return;
            for (const auto& [variable, value] : changes)
                fn(variable, value);
        });
    }

private:
    std::mutex mutex_;
    Callback fn_;
    std::weak_ptr<Apartment> apartment_;
    bool closed_ = false;
};

namespace {

// Action and argument names go into element names and the SOAPAction header.
bool IsXmlName(std::string_view name)
{
    constexpr std::size_t kMaxNameLength = 256;
    const auto allowed = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-' || c == '.';
    };
    return !name.empty() && name.size() <= kMaxNameLength && std::ranges::all_of(name, allowed) &&
           !(name[0] >= '0' && name[0] <= '9') && name[0] != '-' && name[0] != '.';
}

} // namespace

HRESULT UPnPService::Open(const UPnPDeviceInfo& device, std::string_view service_id,
                          std::shared_ptr<UPnPService>& service)
{
    service.reset();
    if (device.udn.empty() || service_id.empty())
        return E_INVALIDARG;
    std::shared_ptr<UPnPLoop> loop;
    try {
        loop = UPnPLoop::Get();
    } catch (const std::system_error&) {
        return E_FAIL;
    }
    std::shared_ptr<UPnPServiceProxy> proxy;
    const HRESULT hr =
        loop->Invoke([&] { return UPnPServiceProxy::Open(*loop, device.udn, service_id, proxy); });
    if (FAILED(hr))
        return hr;
    try {
        service.reset(new UPnPService(loop, proxy));
    } catch (const std::bad_alloc&) {
        loop->Post([proxy = std::move(proxy)] {});
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

UPnPService::UPnPService(std::shared_ptr<UPnPLoop> loop, std::shared_ptr<UPnPServiceProxy> proxy)
    : loop_(std::move(loop)), proxy_(std::move(proxy)), events_(std::make_shared<EventTarget>())
{
}

UPnPService::~UPnPService()
{
    events_->Close();
    loop_->Post([proxy = std::move(proxy_)] { proxy->Close(); });
}

HRESULT UPnPService::AddCallback(Callback fn)
{
    if (!fn)
        return E_INVALIDARG;
    auto apartment = Apartment::Current();
    if (!apartment)
        return CO_E_NOTINITIALIZED;
    events_->Set(std::move(fn), apartment);
    if (subscribed_)
        return S_OK;
    subscribed_ = true;
    loop_->Post([proxy = proxy_, events = events_] {
        proxy->Subscribe([events](const Arguments& changes) { events->Deliver(changes); });
    });
    return S_OK;
}

HRESULT UPnPService::InvokeAction(std::string_view action, const Arguments& in, Arguments& out)
{
    out.clear();
    if (!IsXmlName(action) ||
        !std::ranges::all_of(in, [](const auto& argument) { return IsXmlName(argument.first); }))
        return E_INVALIDARG;

    struct Result {
        std::mutex mutex;
        HRESULT hr = E_PENDING;
        Arguments out;
        Event done;
        std::uint64_t call = 0; // UPnP thread only
    };
    auto result = std::make_shared<Result>();
    loop_->Post([proxy = proxy_, result, action = std::string(action), in] {
        result->call = proxy->InvokeAction(action, in, [result](HRESULT hr, Arguments outputs) {
            std::lock_guard lock(result->mutex);
            result->hr = hr;
            result->out = std::move(outputs);
            result->done.Set();
        });
    });
    if (WaitWithPumping({result->done}, kActionTimeoutMs) != 0) {
        loop_->Post([proxy = proxy_, result] { proxy->Cancel(result->call); });
        return UPNP_E_DEVICE_TIMEOUT;
    }
    std::lock_guard lock(result->mutex);
    out = std::move(result->out);
    return result->hr;
}

} // namespace velk
