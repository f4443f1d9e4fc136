#include "platform/upnp_service_proxy.h"

#include "platform/event_log.h"

namespace velk {

namespace {

constexpr int kFirstActionSpecificFault = 600;
constexpr int kLastActionSpecificFault = 899;

// The code of a failed action, as the Windows control point reports it.
HRESULT ActionError(const GError* error)
{
    if (!error)
        return UPNP_E_PROTOCOL_ERROR;
    if (error->domain == GUPNP_CONTROL_ERROR) {
        switch (error->code) {
        case GUPNP_CONTROL_ERROR_INVALID_ACTION:
            return UPNP_E_INVALID_ACTION;
        case GUPNP_CONTROL_ERROR_INVALID_ARGS:
            return UPNP_E_INVALID_ARGUMENTS;
        case GUPNP_CONTROL_ERROR_OUT_OF_SYNC:
            return UPNP_E_OUT_OF_SYNC;
        case GUPNP_CONTROL_ERROR_ACTION_FAILED:
            return UPNP_E_ACTION_REQUEST_FAILED;
        default:
            if (error->code >= kFirstActionSpecificFault && error->code <= kLastActionSpecificFault)
                return UPNP_E_ACTION_SPECIFIC_BASE + (error->code - kFirstActionSpecificFault);
            return UPNP_E_DEVICE_ERROR;
        }
    }
    if (error->domain == G_IO_ERROR && error->code == G_IO_ERROR_CANCELLED)
        return E_ABORT;
    if (error->domain == G_IO_ERROR && error->code == G_IO_ERROR_TIMED_OUT)
        return UPNP_E_DEVICE_TIMEOUT;
    if (error->domain == GUPNP_XML_ERROR ||
        (error->domain == GUPNP_SERVER_ERROR && error->code == GUPNP_SERVER_ERROR_INVALID_RESPONSE))
        return UPNP_E_ERROR_PROCESSING_RESPONSE;
    return UPNP_E_TRANSPORT_ERROR;
}

// Why the service's description, which names the actions' outputs, is missing: it could not be
// read, or not understood.
HRESULT DescriptionError(const GError* error)
{
    if (error && error->domain == G_IO_ERROR && error->code == G_IO_ERROR_CANCELLED)
        return E_ABORT;
    if (error && error->domain != GUPNP_SERVICE_INTROSPECTION_ERROR &&
        error->domain != GUPNP_XML_ERROR)
        return UPNP_E_TRANSPORT_ERROR;
    return UPNP_E_INVALID_DOCUMENT;
}

// The outputs of a completed action, in the order of names.
HRESULT ReadOutputs(GUPnPServiceProxyAction* action, const std::vector<std::string>& names,
                    UPnPService::Arguments& out)
{
    GList* name_list = nullptr;
    GList* type_list = nullptr;
    for (const std::string& name : names) {
        name_list = g_list_append(name_list, const_cast<char*>(name.c_str()));
        type_list = g_list_append(type_list, GSIZE_TO_POINTER(G_TYPE_STRING));
    }
    GList* values = nullptr;
    GError* error = nullptr;
    HRESULT hr = S_OK;
    if (gupnp_service_proxy_action_get_result_list(action, name_list, type_list, &values, &error)) {
        auto name = names.begin();
        for (const GList* item = values; item && name != names.end(); item = item->next, ++name) {
            const auto* value = static_cast<const GValue*>(item->data);
            const char* text = G_VALUE_HOLDS_STRING(value) ? g_value_get_string(value) : nullptr;
            out.emplace_back(*name, text ? text : "");
        }
    } else {
        hr = ActionError(error);
    }
    g_clear_error(&error);
    g_list_free_full(values, [](gpointer value) {
        g_value_unset(static_cast<GValue*>(value));
        g_free(value);
    });
    g_list_free(type_list);
    g_list_free(name_list);
    return hr;
}

} // namespace

struct UPnPServiceProxy::PendingCall {
    std::shared_ptr<UPnPServiceProxy> owner;
    std::uint64_t id;
    std::vector<std::string> out_names;
    ActionDone done;
    GUPnPServiceProxyAction* action;
};

HRESULT UPnPServiceProxy::Open(const UPnPLoop& loop, std::string_view udn,
                               std::string_view service_id,
                               std::shared_ptr<UPnPServiceProxy>& proxy)
{
    GUPnPDeviceProxy* device = loop.FindDevice(udn);
    if (!device)
        return E_FAIL;
    GUPnPServiceProxy* found = nullptr;
    GList* services = gupnp_device_info_list_services(GUPNP_DEVICE_INFO(device));
    for (const GList* item = services; item && !found; item = item->next) {
        if (TakeString(gupnp_service_info_get_id(GUPNP_SERVICE_INFO(item->data))) == service_id)
            found = GUPNP_SERVICE_PROXY(g_object_ref(item->data));
    }
    g_list_free_full(services, g_object_unref);
    if (!found)
        return E_INVALIDARG;
    proxy = std::make_shared<UPnPServiceProxy>(found);
    return S_OK;
}

UPnPServiceProxy::UPnPServiceProxy(GUPnPServiceProxy* proxy)
    : proxy_(proxy), closing_(g_cancellable_new())
{
}

UPnPServiceProxy::~UPnPServiceProxy()
{
    Close();
    if (introspection_)
        g_object_unref(introspection_);
    g_object_unref(closing_);
    g_object_unref(proxy_);
}

void UPnPServiceProxy::Close()
{
    sink_ = nullptr;
    if (events_) {
        events_->Close();
        events_.reset();
    }
    g_cancellable_cancel(closing_);
    std::vector<std::uint64_t> sent;
    for (const auto& [id, cancellable] : calls_)
        sent.push_back(id);
    for (const std::uint64_t id : sent)
        Cancel(id);
}

std::uint64_t UPnPServiceProxy::InvokeAction(std::string action, Arguments in, ActionDone done)
{
    const std::uint64_t id = next_call_++;
    waiting_.push_back({id, std::move(action), std::move(in), std::move(done)});
    if (introspection_) {
        Introspected(introspection_, nullptr);
    } else if (!introspecting_) {
        introspecting_ = true;
        gupnp_service_info_introspect_async(
            GUPNP_SERVICE_INFO(proxy_), closing_, &UPnPServiceProxy::OnIntrospected,
            new std::shared_ptr<UPnPServiceProxy>(shared_from_this()));
    }
    return id;
}

void UPnPServiceProxy::Cancel(std::uint64_t call)
{
    if (const auto sent = calls_.find(call); sent != calls_.end()) {
        // Its completion may run within the cancel and drop the entry.
        GCancellable* cancellable = G_CANCELLABLE(g_object_ref(sent->second));
        g_cancellable_cancel(cancellable);
        g_object_unref(cancellable);
        return;
    }
    for (auto waiting = waiting_.begin(); waiting != waiting_.end(); ++waiting) {
        if (waiting->id == call) {
            const ActionDone done = std::move(waiting->done);
            waiting_.erase(waiting);
            done(E_ABORT, {});
            return;
        }
    }
}

void UPnPServiceProxy::OnIntrospected(GObject* source, GAsyncResult* result, gpointer data)
{
    const std::unique_ptr<std::shared_ptr<UPnPServiceProxy>> self(
        static_cast<std::shared_ptr<UPnPServiceProxy>*>(data));
    GError* error = nullptr;
    GUPnPServiceIntrospection* introspection =
        gupnp_service_info_introspect_finish(GUPNP_SERVICE_INFO(source), result, &error);
    (*self)->introspecting_ = false;
    (*self)->Introspected(introspection, error);
    g_clear_error(&error);
}

void UPnPServiceProxy::Introspected(GUPnPServiceIntrospection* introspection, const GError* error)
{
    if (introspection && introspection != introspection_) {
        if (introspection_)
            g_object_unref(introspection_);
        introspection_ = introspection;
    }
    std::vector<WaitingCall> calls = std::move(waiting_);
    waiting_.clear();
    for (WaitingCall& call : calls) {
        if (!introspection_) {
            call.done(DescriptionError(error), {});
            continue;
        }
        const GUPnPServiceActionInfo* info =
            gupnp_service_introspection_get_action(introspection_, call.action.c_str());
        if (!info) {
            call.done(UPNP_E_INVALID_ACTION, {});
            continue;
        }
        std::vector<std::string> out_names;
        for (const GList* item = info->arguments; item; item = item->next) {
            const auto* argument = static_cast<const GUPnPServiceActionArgInfo*>(item->data);
            if (argument->direction == GUPNP_SERVICE_ACTION_ARG_DIRECTION_OUT && argument->name)
                out_names.emplace_back(argument->name);
        }
        Call(call.id, call.action, call.in, std::move(out_names), std::move(call.done));
    }
}

void UPnPServiceProxy::Call(std::uint64_t id, const std::string& action, const Arguments& in,
                            std::vector<std::string> out_names, ActionDone done)
{
    std::vector<GValue> values(in.size());
    GList* name_list = nullptr;
    GList* value_list = nullptr;
    for (std::size_t i = 0; i < in.size(); ++i) {
        g_value_init(&values[i], G_TYPE_STRING);
        g_value_set_string(&values[i], in[i].second.c_str());
        name_list = g_list_append(name_list, const_cast<char*>(in[i].first.c_str()));
        value_list = g_list_append(value_list, &values[i]);
    }
    GUPnPServiceProxyAction* request =
        gupnp_service_proxy_action_new_from_list(action.c_str(), name_list, value_list);
    g_list_free(value_list);
    g_list_free(name_list);
    for (GValue& value : values)
        g_value_unset(&value);

    GCancellable* cancellable = g_cancellable_new();
    calls_[id] = cancellable;
    auto* pending =
        new PendingCall{shared_from_this(), id, std::move(out_names), std::move(done), request};
    gupnp_service_proxy_call_action_async(proxy_, request, cancellable,
                                          &UPnPServiceProxy::OnActionDone, pending);
}

void UPnPServiceProxy::OnActionDone(GObject* source, GAsyncResult* result, gpointer data)
{
    const std::unique_ptr<PendingCall> pending(static_cast<PendingCall*>(data));
    UPnPServiceProxy& self = *pending->owner;
    if (const auto sent = self.calls_.find(pending->id); sent != self.calls_.end()) {
        g_object_unref(sent->second);
        self.calls_.erase(sent);
    }
    GError* error = nullptr;
    Arguments out;
    HRESULT hr = S_OK;
    if (gupnp_service_proxy_call_action_finish(GUPNP_SERVICE_PROXY(source), result, &error))
        hr = ReadOutputs(pending->action, pending->out_names, out);
    else
        hr = ActionError(error);
    g_clear_error(&error);
    gupnp_service_proxy_action_unref(pending->action);
    pending->done(hr, std::move(out));
}

void UPnPServiceProxy::Subscribe(EventSink sink)
{
    sink_ = std::move(sink);
    if (events_)
        return;
    std::string event_url =
        TakeString(gupnp_service_info_get_event_subscription_url(GUPNP_SERVICE_INFO(proxy_)));
    if (event_url.empty()) {
        EventLog::ReportText(EventLogType::Warning,
                             "UPnP: no event URL for " +
                                 TakeString(gupnp_service_info_get_id(GUPNP_SERVICE_INFO(proxy_))));
        return;
    }
    // The subscription ends in Close, before this object goes.
    events_ = std::make_shared<UPnPEventSubscription>(
        gupnp_service_info_get_context(GUPNP_SERVICE_INFO(proxy_)), std::move(event_url),
        [this](const Arguments& changes) {
            if (sink_)
                sink_(changes);
        });
    events_->Start();
}

} // namespace velk
