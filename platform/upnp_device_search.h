// One running search of the device finder on the UPnP loop thread: a gupnp control point per
// network context, and the availability of each device as the finder reports it. Lives, is
// driven and is destroyed on the loop thread; its reports are made there too.
//
// What gupnp reports is debounced before it is reported on:
// - A device that goes away (goodbye, or its announcement expired) is reported removed only when
//   it has stayed away for kRemovalSettleMs; returning meanwhile is a flicker (a restarting
//   device says goodbye before its first announcement).
// - A device that appears within kStaleReplyWindowMs of going away may be a search reply it sent
//   before its goodbye, arriving late. It is not taken at its word: once no such reply can still
//   be under way, the search is repeated, and the device counts as present (reported, or kept)
//   only when it answered. gupnp forgets entries that did not answer a search a few seconds
//   after it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/hresult.h"
#include "platform/upnp_device.h"
#include "platform/upnp_loop.h"

namespace velk {

class UPnPDeviceSearch {
public:
    static constexpr std::uint32_t kRemovalSettleMs = 1500;
    // SSDP search replies are due within the search's MX (3 s) of each of its three requests,
    // spread over one second, and a device may queue its goodbyes ahead of a late reply.
    static constexpr std::uint32_t kStaleReplyWindowMs = 8000;
    // gupnp searches three times over one second and drops what did not answer five seconds
    // after the last request.
    static constexpr std::uint32_t kRescanSettleMs = 8000;
    static constexpr std::uint32_t kRescanRetryMs = 1000;
    // The first round of a search is over once its replies are in and their descriptions read.
    static constexpr std::uint32_t kSearchCompleteMs = 5000;

    struct Reports {
        std::function<void(const UPnPDeviceInfo&)> device_added;
        std::function<void(const std::string& udn)> device_removed;
        std::function<void()> search_complete;
    };
    // A network interface to search on, with its IPv4 address.
    struct Interface {
        std::string name;
        std::string address;
    };

    // interfaces empty: every IPv4 interface that is up, following those that come and go.
    UPnPDeviceSearch(UPnPLoop& loop, std::string device_type, std::vector<Interface> interfaces,
                     Reports reports);
    ~UPnPDeviceSearch();
    UPnPDeviceSearch(const UPnPDeviceSearch&) = delete;
    UPnPDeviceSearch& operator=(const UPnPDeviceSearch&) = delete;

    // Starts searching. E_FAIL when none of the named interfaces can carry a search.
    HRESULT Start();

private:
    struct Device {
        bool reported = false;
        UPnPDeviceInfo info;               // as last reported
        std::int64_t left_at_us = 0;       // when it last went away (monotonic); 0: never
        std::int64_t suspect_since_us = 0; // returned right after leaving; 0: not in doubt
        LoopTimer removal;
    };

    static void OnContextAvailable(GUPnPContextManager* manager, GUPnPContext* context,
                                   gpointer self);
    static void OnContextUnavailable(GUPnPContextManager* manager, GUPnPContext* context,
                                     gpointer self);
    static void OnDeviceAvailable(GUPnPControlPoint* control_point, GUPnPDeviceProxy* proxy,
                                  gpointer self);
    static void OnDeviceUnavailable(GUPnPControlPoint* control_point, GUPnPDeviceProxy* proxy,
                                    gpointer self);

    void AddControlPoint(GUPnPContext* context);
    void RemoveControlPoint(GUPnPControlPoint* control_point);
    void DeviceAvailable(GUPnPDeviceProxy* proxy);
    void DeviceLeft(const std::string& udn);
    void RemovalDue(const std::string& udn);
    // Reports the device as present: added when it was not, again when its description changed.
    void ReportPresent(Device& device, GUPnPDeviceProxy* proxy, UPnPDeviceInfo info);
    void ScheduleRescan();
    void Rescan();
    void RescanSettled();
    // The proxy of one of our control points for the device; none when it is away.
    GUPnPDeviceProxy* Held(const std::string& udn) const;

    UPnPLoop& loop_;
    const std::string device_type_;
    const std::vector<Interface> interfaces_;
    const Reports reports_;
    GUPnPContextManager* manager_ = nullptr;
    std::vector<GUPnPContext*> contexts_; // made for named interfaces
    std::vector<GUPnPControlPoint*> control_points_;
    std::map<std::string, Device> devices_; // by UDN
    LoopTimer search_complete_;
    LoopTimer rescan_;
    std::int64_t check_started_us_ = 0;         // when the running check began searching; 0: none
    std::vector<GUPnPControlPoint*> rescanned_; // control points that searched for the check
};

} // namespace velk
