// The UPnP-thread half of a UPnPService: the gupnp service proxy, whose reference it keeps for
// the service's whole life (without it the proxy's actions stop), the action calls, and the
// event subscription (upnp_event_subscription.h). Created, used and destroyed on the UPnP loop
// thread; everything it hands out is plain values.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/upnp_event_subscription.h"
#include "platform/upnp_loop.h"
#include "platform/upnp_service.h"

namespace velk {

class UPnPServiceProxy : public std::enable_shared_from_this<UPnPServiceProxy> {
public:
    using Arguments = UPnPService::Arguments;
    using ActionDone = std::function<void(HRESULT hr, Arguments out)>;
    using EventSink = std::function<void(const Arguments& changes)>;

    // The service with this id of the device that a running search reports. E_FAIL when none
    // does, E_INVALIDARG when the device has no such service.
    static HRESULT Open(const UPnPLoop& loop, std::string_view udn, std::string_view service_id,
                        std::shared_ptr<UPnPServiceProxy>& proxy);

    // Takes over the reference of proxy.
    explicit UPnPServiceProxy(GUPnPServiceProxy* proxy);
    ~UPnPServiceProxy();
    UPnPServiceProxy(const UPnPServiceProxy&) = delete;
    UPnPServiceProxy& operator=(const UPnPServiceProxy&) = delete;

    // Calls the action; done gets its outputs, named and ordered as the service's description
    // lists them (read from the device once). Returns the call's number for Cancel.
    std::uint64_t InvokeAction(std::string action, Arguments in, ActionDone done);
    // The call's done follows with E_ABORT, unless it has completed already.
    void Cancel(std::uint64_t call);
    // Subscribes to the events, delivered to sink; a later call only replaces the sink.
    void Subscribe(EventSink sink);
    // Ends the subscription and cancels every call under way.
    void Close();

private:
    struct WaitingCall {
        std::uint64_t id;
        std::string action;
        Arguments in;
        ActionDone done;
    };
    struct PendingCall;

    static void OnIntrospected(GObject* source, GAsyncResult* result, gpointer data);
    static void OnActionDone(GObject* source, GAsyncResult* result, gpointer data);

    void Introspected(GUPnPServiceIntrospection* introspection, const GError* error);
    // Sends the action, asking for these outputs.
    void Call(std::uint64_t id, const std::string& action, const Arguments& in,
              std::vector<std::string> out_names, ActionDone done);

    GUPnPServiceProxy* proxy_;
    GCancellable* closing_; // cancels the description read on Close
    GUPnPServiceIntrospection* introspection_ = nullptr;
    bool introspecting_ = false;
    std::vector<WaitingCall> waiting_;             // for the description
    std::map<std::uint64_t, GCancellable*> calls_; // sent, by number
    std::uint64_t next_call_ = 1;
    EventSink sink_;
    std::shared_ptr<UPnPEventSubscription> events_;
};

} // namespace velk
