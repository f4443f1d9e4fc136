// A UPnP device as the control point found it: plain values read from its description, handed
// to the finder's callbacks and to UPnPService::Open. Holds no connection to the device.
#pragma once

#include <string>
#include <vector>

namespace velk {

struct UPnPServiceInfo {
    std::string service_id;   // "urn:upnp-org:serviceId:AVTransport"
    std::string service_type; // "urn:schemas-upnp-org:service:AVTransport:1"
    std::string control_url;  // absolute
    std::string event_url;    // absolute; the event subscription URL

    bool operator==(const UPnPServiceInfo&) const = default;
};

struct UPnPDeviceInfo {
    std::string udn; // "uuid:..."
    std::string friendly_name;
    std::string presentation_url; // absolute, empty when the device names none
    std::string manufacturer;
    std::string model_name;
    std::string model_number;
    std::string model_description;
    std::string description_url; // where the description was read
    std::string device_type;
    std::vector<UPnPServiceInfo> services;

    bool operator==(const UPnPDeviceInfo&) const = default;
};

} // namespace velk
