#include "platform/upnp_device_search.h"

#include <algorithm>
#include <utility>

#include "platform/event_log.h"

namespace velk {

namespace {

std::string CopyString(const char* text)
{
    return text ? text : "";
}

UPnPDeviceInfo ReadDeviceInfo(GUPnPDeviceInfo* device)
{
    UPnPDeviceInfo info;
    info.udn = CopyString(gupnp_device_info_get_udn(device));
    info.friendly_name = TakeString(gupnp_device_info_get_friendly_name(device));
    info.presentation_url = TakeString(gupnp_device_info_get_presentation_url(device));
    info.manufacturer = TakeString(gupnp_device_info_get_manufacturer(device));
    info.model_name = TakeString(gupnp_device_info_get_model_name(device));
    info.model_number = TakeString(gupnp_device_info_get_model_number(device));
    info.model_description = TakeString(gupnp_device_info_get_model_description(device));
    info.description_url = CopyString(gupnp_device_info_get_location(device));
    info.device_type = CopyString(gupnp_device_info_get_device_type(device));
    GList* services = gupnp_device_info_list_services(device);
    for (GList* item = services; item; item = item->next) {
        auto* service = GUPNP_SERVICE_INFO(item->data);
        info.services.push_back(
            {TakeString(gupnp_service_info_get_id(service)),
             CopyString(gupnp_service_info_get_service_type(service)),
             TakeString(gupnp_service_info_get_control_url(service)),
             TakeString(gupnp_service_info_get_event_subscription_url(service))});
    }
    g_list_free_full(services, g_object_unref);
    return info;
}

} // namespace

UPnPDeviceSearch::UPnPDeviceSearch(UPnPLoop& loop, std::string device_type,
                                   std::vector<Interface> interfaces, Reports reports)
    : loop_(loop), device_type_(std::move(device_type)), interfaces_(std::move(interfaces)),
      reports_(std::move(reports))
{
}

UPnPDeviceSearch::~UPnPDeviceSearch()
{
    loop_.DropDevices(this);
    if (manager_)
        g_signal_handlers_disconnect_by_data(manager_, this);
    while (!control_points_.empty())
        RemoveControlPoint(control_points_.back());
    if (manager_)
        g_object_unref(manager_);
    for (GUPnPContext* context : contexts_)
        g_object_unref(context);
}

HRESULT UPnPDeviceSearch::Start()
{
    if (interfaces_.empty()) {
        manager_ =
            gupnp_context_manager_create_full(GSSDP_UDA_VERSION_1_0, G_SOCKET_FAMILY_IPV4, 0);
        g_signal_connect(manager_, "context-available", G_CALLBACK(OnContextAvailable), this);
        g_signal_connect(manager_, "context-unavailable", G_CALLBACK(OnContextUnavailable), this);
    }
    for (const Interface& network : interfaces_) {
        GInetAddress* address = g_inet_address_new_from_string(network.address.c_str());
        GError* error = nullptr;
        GUPnPContext* context =
            gupnp_context_new_full(network.name.c_str(), address, 0, GSSDP_UDA_VERSION_1_0, &error);
        if (address)
            g_object_unref(address);
        if (!context) {
            EventLog::ReportText(EventLogType::Warning,
                                 "UPnP: no search on interface " + network.name + ": " +
                                     (error ? error->message : "unknown error"));
            g_clear_error(&error);
            continue;
        }
        contexts_.push_back(context);
        AddControlPoint(context);
    }
    if (!interfaces_.empty() && contexts_.empty())
        return E_FAIL;
    search_complete_.Start(kSearchCompleteMs, [this] { reports_.search_complete(); });
    return S_OK;
}

void UPnPDeviceSearch::OnContextAvailable(GUPnPContextManager*, GUPnPContext* context,
                                          gpointer self)
{
    static_cast<UPnPDeviceSearch*>(self)->AddControlPoint(context);
}

void UPnPDeviceSearch::OnContextUnavailable(GUPnPContextManager*, GUPnPContext* context,
                                            gpointer self)
{
    auto* search = static_cast<UPnPDeviceSearch*>(self);
    std::vector<GUPnPControlPoint*> gone;
    for (GUPnPControlPoint* control_point : search->control_points_) {
        if (gupnp_control_point_get_context(control_point) == context)
            gone.push_back(control_point);
    }
    // Its devices vanish with it, without a word from gupnp.
    std::vector<std::string> udns;
    for (GUPnPControlPoint* control_point : gone) {
        for (const GList* item = gupnp_control_point_list_device_proxies(control_point); item;
             item = item->next) {
            udns.push_back(CopyString(gupnp_device_info_get_udn(GUPNP_DEVICE_INFO(item->data))));
        }
        search->RemoveControlPoint(control_point);
    }
    for (const std::string& udn : udns)
        search->DeviceLeft(udn);
}

void UPnPDeviceSearch::OnDeviceAvailable(GUPnPControlPoint*, GUPnPDeviceProxy* proxy, gpointer self)
{
    static_cast<UPnPDeviceSearch*>(self)->DeviceAvailable(proxy);
}

void UPnPDeviceSearch::OnDeviceUnavailable(GUPnPControlPoint*, GUPnPDeviceProxy* proxy,
                                           gpointer self)
{
    static_cast<UPnPDeviceSearch*>(self)->DeviceLeft(
        CopyString(gupnp_device_info_get_udn(GUPNP_DEVICE_INFO(proxy))));
}

void UPnPDeviceSearch::AddControlPoint(GUPnPContext* context)
{
    loop_.WatchSession(gupnp_context_get_session(context));
    GUPnPControlPoint* control_point = gupnp_control_point_new(context, device_type_.c_str());
    g_signal_connect(control_point, "device-proxy-available", G_CALLBACK(OnDeviceAvailable), this);
    g_signal_connect(control_point, "device-proxy-unavailable", G_CALLBACK(OnDeviceUnavailable),
                     this);
    control_points_.push_back(control_point);
    gssdp_resource_browser_set_active(GSSDP_RESOURCE_BROWSER(control_point), TRUE);
}

void UPnPDeviceSearch::RemoveControlPoint(GUPnPControlPoint* control_point)
{
    g_signal_handlers_disconnect_by_data(control_point, this);
    gssdp_resource_browser_set_active(GSSDP_RESOURCE_BROWSER(control_point), FALSE);
    std::erase(control_points_, control_point);
    std::erase(rescanned_, control_point);
    g_object_unref(control_point);
}

void UPnPDeviceSearch::DeviceAvailable(GUPnPDeviceProxy* proxy)
{
    UPnPDeviceInfo info = ReadDeviceInfo(GUPNP_DEVICE_INFO(proxy));
    if (info.udn.empty()) {
        EventLog::ReportText(EventLogType::Warning,
                             "UPnP: ignored a device without a UDN at " + info.description_url);
        return;
    }
    Device& device = devices_[info.udn];
    device.removal.Stop();
    // While it counts as present its services open from the newest proxy.
    if (device.reported)
        loop_.KeepDevice(this, info.udn, proxy);
    const std::int64_t now = g_get_monotonic_time();
    if (device.left_at_us != 0 && now - device.left_at_us < kStaleReplyWindowMs * 1000LL) {
        device.suspect_since_us = now;
        ScheduleRescan();
        return;
    }
    if (device.suspect_since_us == 0)
        ReportPresent(device, proxy, std::move(info));
}

void UPnPDeviceSearch::DeviceLeft(const std::string& udn)
{
    Device& device = devices_[udn];
    device.left_at_us = g_get_monotonic_time();
    if (device.reported && !device.removal.pending())
        device.removal.Start(kRemovalSettleMs, [this, udn] { RemovalDue(udn); });
}

void UPnPDeviceSearch::RemovalDue(const std::string& udn)
{
    Device& device = devices_[udn];
    if (!device.reported || Held(udn))
        return;
    device.reported = false;
    loop_.DropDevice(this, udn);
    reports_.device_removed(udn);
}

void UPnPDeviceSearch::ReportPresent(Device& device, GUPnPDeviceProxy* proxy, UPnPDeviceInfo info)
{
    loop_.KeepDevice(this, info.udn, proxy);
    if (device.reported && device.info == info)
        return;
    device.reported = true;
    device.info = std::move(info);
    reports_.device_added(device.info);
}

void UPnPDeviceSearch::ScheduleRescan()
{
    // Each new doubt pushes the check back until no late reply can still be under way; a check
    // already searching leaves later doubts to the next one.
    if (check_started_us_ == 0)
        rescan_.Start(kStaleReplyWindowMs, [this] { Rescan(); });
}

void UPnPDeviceSearch::Rescan()
{
    if (check_started_us_ == 0)
        check_started_us_ = g_get_monotonic_time();
    bool refused = false;
    for (GUPnPControlPoint* control_point : control_points_) {
        if (std::ranges::find(rescanned_, control_point) != rescanned_.end())
            continue;
        // Refused while a search of its own is still running, whose answers may be stale.
        if (gssdp_resource_browser_rescan(GSSDP_RESOURCE_BROWSER(control_point)))
            rescanned_.push_back(control_point);
        else
            refused = true;
    }
    if (refused)
        rescan_.Start(kRescanRetryMs, [this] { Rescan(); });
    else
        rescan_.Start(kRescanSettleMs, [this] { RescanSettled(); });
}

void UPnPDeviceSearch::RescanSettled()
{
    const std::int64_t checked_us = std::exchange(check_started_us_, 0);
    rescanned_.clear();
    bool doubts_left = false;
    for (auto& [udn, device] : devices_) {
        if (device.suspect_since_us == 0)
            continue;
        if (device.suspect_since_us > checked_us) {
            doubts_left = true;
            continue;
        }
        device.suspect_since_us = 0;
        if (GUPnPDeviceProxy* proxy = Held(udn))
            ReportPresent(device, proxy, ReadDeviceInfo(GUPNP_DEVICE_INFO(proxy)));
        else if (device.reported && !device.removal.pending())
            device.removal.Start(kRemovalSettleMs, [this, udn = udn] { RemovalDue(udn); });
    }
    if (doubts_left)
        ScheduleRescan();
}

GUPnPDeviceProxy* UPnPDeviceSearch::Held(const std::string& udn) const
{
    for (GUPnPControlPoint* control_point : control_points_) {
        for (const GList* item = gupnp_control_point_list_device_proxies(control_point); item;
             item = item->next) {
            auto* proxy = static_cast<GUPnPDeviceProxy*>(item->data);
            if (CopyString(gupnp_device_info_get_udn(GUPNP_DEVICE_INFO(proxy))) == udn)
                return proxy;
        }
    }
    return nullptr;
}

} // namespace velk
