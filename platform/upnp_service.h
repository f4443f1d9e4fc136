// One service of a UPnP device (AVTransport, RenderingControl, ...): its actions, and its
// evented state variables for one callback. Lives in the apartment that opened it; events are
// posted to the apartment that registered the callback, never run on the UPnP thread. The
// proxy behind it lives on the UPnP thread (upnp_service_proxy.h) as long as this object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/hresult.h"
#include "platform/upnp_device.h"

namespace velk {

// The control point's failures, with the values the Windows UPnP API gives them.
constexpr HRESULT UPNP_E_INVALID_ACTION = MakeHResult(0x80040207);
constexpr HRESULT UPNP_E_INVALID_ARGUMENTS = MakeHResult(0x80040208);
constexpr HRESULT UPNP_E_OUT_OF_SYNC = MakeHResult(0x80040209);
constexpr HRESULT UPNP_E_ACTION_REQUEST_FAILED = MakeHResult(0x80040210);
constexpr HRESULT UPNP_E_TRANSPORT_ERROR = MakeHResult(0x80040211);
constexpr HRESULT UPNP_E_DEVICE_ERROR = MakeHResult(0x80040214);
constexpr HRESULT UPNP_E_PROTOCOL_ERROR = MakeHResult(0x80040215);
constexpr HRESULT UPNP_E_ERROR_PROCESSING_RESPONSE = MakeHResult(0x80040216);
constexpr HRESULT UPNP_E_DEVICE_TIMEOUT = MakeHResult(0x80040217);
constexpr HRESULT UPNP_E_INVALID_DOCUMENT = MakeHResult(0x80040500);
// A device's own error codes 600 to 899 come back as this base plus (code - 600).
constexpr HRESULT UPNP_E_ACTION_SPECIFIC_BASE = MakeHResult(0x80040300);

class UPnPLoop;
class UPnPServiceProxy;

class UPnPService {
public:
    using Arguments = std::vector<std::pair<std::string, std::string>>;
    using Callback = std::function<void(const std::string& variable, const std::string& value)>;

    // A device that does not answer an action within this time fails it.
    static constexpr std::uint32_t kActionTimeoutMs = 30000;

    // The device's service with this id ("urn:upnp-org:serviceId:AVTransport"). The device must
    // be one that a running find of this process currently reports: E_FAIL otherwise.
    // E_INVALIDARG when the device has no such service.
    static HRESULT Open(const UPnPDeviceInfo& device, std::string_view service_id,
                        std::shared_ptr<UPnPService>& service);

    // Ends the event subscription (unsubscribes).
    ~UPnPService();
    UPnPService(const UPnPService&) = delete;
    UPnPService& operator=(const UPnPService&) = delete;

    // Subscribes to the service's events: fn(variable, value) for every evented variable of
    // each event, posted to the calling thread's apartment (CO_E_NOTINITIALIZED on a thread that
    // is none). The device's first event brings every variable. Calling it again replaces the
    // callback; there is never a second subscription.
    HRESULT AddCallback(Callback fn);

    // Runs the action with the input arguments (name, value) in the order the service lists
    // them, and returns its output arguments the same way. Waits for the device the way the
    // system waits (an apartment keeps its queue running meanwhile). A fault from the device
    // fails with its UPNP_E_ code; an action the service does not list, with
    // UPNP_E_INVALID_ACTION; E_INVALIDARG for names that are no XML names.
    HRESULT InvokeAction(std::string_view action, const Arguments& in, Arguments& out);

private:
    class EventTarget;

    UPnPService(std::shared_ptr<UPnPLoop> loop, std::shared_ptr<UPnPServiceProxy> proxy);

    std::shared_ptr<UPnPLoop> loop_;
    std::shared_ptr<UPnPServiceProxy> proxy_; // touched and released on the UPnP thread only
    std::shared_ptr<EventTarget> events_;
    bool subscribed_ = false;
};

} // namespace velk
