// The UPnP device finder: asynchronous searches for the devices of one type, each reporting
// devices as they come and go until it is cancelled. Lives in the apartment that created it and
// is called there; its callbacks are posted to that apartment as plain values, never run on the
// UPnP thread. The searches themselves run on the UPnP loop (upnp_device_search.h).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"
#include "platform/upnp_device.h"

namespace velk {

class Apartment;
class UPnPDeviceSearch;
class UPnPLoop;

class UPnPDeviceFinder {
public:
    struct Callbacks {
        std::function<void(long find, const UPnPDeviceInfo& device)> device_added;
        std::function<void(long find, const std::string& udn)> device_removed;
        // The first round of replies is in; the find goes on reporting later changes.
        std::function<void(long find)> search_complete;
    };

    // A finder whose searches use the named network interfaces ("eth0"), or every IPv4
    // interface that is up, following those that come and go, when the list is empty.
    // CO_E_NOTINITIALIZED on a thread that is no apartment; E_FAIL when the UPnP thread cannot
    // be started.
    static HRESULT Create(std::shared_ptr<UPnPDeviceFinder>& finder,
                          std::vector<std::string> interfaces = {});

    // Cancels every find.
    ~UPnPDeviceFinder();
    UPnPDeviceFinder(const UPnPDeviceFinder&) = delete;
    UPnPDeviceFinder& operator=(const UPnPDeviceFinder&) = delete;

    // A find for devices of the type ("urn:schemas-upnp-org:device:MediaRenderer:1"), not yet
    // started. E_INVALIDARG for a type that is empty or holds anything but printable characters
    // without blanks (it goes into SSDP headers).
    HRESULT CreateAsyncFind(std::string_view device_type, Callbacks callbacks, long& find);
    // Starts searching. E_INVALIDARG for a find that is unknown or cancelled, E_UNEXPECTED when
    // it runs already, E_FAIL when none of the named interfaces can carry a search.
    HRESULT StartAsyncFind(long find);
    // Ends the find: none of its callbacks runs after this returns (on the finder's apartment).
    // S_OK for a find cancelled before; E_INVALIDARG for one this finder never made.
    HRESULT CancelAsyncFind(long find);

private:
    class Reporter;
    struct Find {
        std::string device_type;
        std::shared_ptr<Reporter> reporter;
        std::shared_ptr<UPnPDeviceSearch> search; // touched on the UPnP thread only; once started
    };

    UPnPDeviceFinder(std::shared_ptr<UPnPLoop> loop, std::shared_ptr<Apartment> apartment,
                     std::vector<std::string> interfaces);

    std::shared_ptr<UPnPLoop> loop_;
    std::weak_ptr<Apartment> apartment_;
    const std::vector<std::string> interfaces_;
    std::map<long, Find> finds_;
    long next_find_ = 1;
};

} // namespace velk
