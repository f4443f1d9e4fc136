#include "platform/upnp_device_finder.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <algorithm>
#include <atomic>
#include <system_error>

#include "platform/apartment.h"
#include "platform/upnp_device_search.h"
#include "platform/upnp_loop.h"

namespace velk {

// Delivers one find's reports in the finder's apartment, and drops those still queued there once
// the find is cancelled.
class UPnPDeviceFinder::Reporter : public std::enable_shared_from_this<Reporter> {
public:
    Reporter(long find, Callbacks callbacks, std::weak_ptr<Apartment> apartment)
        : find_(find), callbacks_(std::move(callbacks)), apartment_(std::move(apartment))
    {
    }

    void Cancel() { cancelled_ = true; }

    // What the search reports, from the UPnP thread. It holds no reference of its own: what the
    // finder's callbacks keep alive is released in the finder's apartment.
    UPnPDeviceSearch::Reports Reports()
    {
        const std::weak_ptr<Reporter> weak = weak_from_this();
        return {
            [weak](const UPnPDeviceInfo& device) {
                Post(weak, [device](const Reporter& reporter) {
                    if (reporter.callbacks_.device_added)
                        reporter.callbacks_.device_added(reporter.find_, device);
                });
            },
            [weak](const std::string& udn) {
                Post(weak, [udn](const Reporter& reporter) {
                    if (reporter.callbacks_.device_removed)
                        reporter.callbacks_.device_removed(reporter.find_, udn);
                });
            },
            [weak] {
                Post(weak, [](const Reporter& reporter) {
                    if (reporter.callbacks_.search_complete)
                        reporter.callbacks_.search_complete(reporter.find_);
                });
            },
        };
    }

private:
    static void Post(const std::weak_ptr<Reporter>& weak,
                     std::function<void(const Reporter&)> report)
    {
        auto self = weak.lock();
        if (!self || self->cancelled_)
            return;
        if (auto apartment = self->apartment_.lock()) {
            apartment->Post([self, report = std::move(report)] {
                if (!self->cancelled_)
                    report(*self);
            });
        }
    }

    const long find_;
    const Callbacks callbacks_;
    const std::weak_ptr<Apartment> apartment_;
    std::atomic<bool> cancelled_ = false;
};

namespace {

// Printable ASCII without blanks: what an SSDP search target may hold.
bool IsSearchTarget(std::string_view text)
{
    constexpr std::size_t kMaxTargetLength = 256;
    return !text.empty() && text.size() <= kMaxTargetLength &&
           std::ranges::all_of(text, [](char c) { return c > ' ' && c < 0x7F; });
}

// The IPv4 address of each named interface that has one.
std::vector<UPnPDeviceSearch::Interface> ResolveInterfaces(const std::vector<std::string>& names)
{
    std::vector<UPnPDeviceSearch::Interface> resolved;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return resolved;
    for (const std::string& name : names) {
        for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
            if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET ||
                name != entry->ifa_name)
                continue;
            char text[INET_ADDRSTRLEN] = {};
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text))
                resolved.push_back({name, text});
            break;
        }
    }
    freeifaddrs(list);
    return resolved;
}

} // namespace

HRESULT UPnPDeviceFinder::Create(std::shared_ptr<UPnPDeviceFinder>& finder,
                                 std::vector<std::string> interfaces)
{
    finder.reset();
    auto apartment = Apartment::Current();
    if (!apartment)
        return CO_E_NOTINITIALIZED;
    try {
        finder.reset(new UPnPDeviceFinder(UPnPLoop::Get(), apartment, std::move(interfaces)));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::system_error&) {
        return E_FAIL;
    }
    return S_OK;
}

UPnPDeviceFinder::UPnPDeviceFinder(std::shared_ptr<UPnPLoop> loop,
                                   std::shared_ptr<Apartment> apartment,
                                   std::vector<std::string> interfaces)
    : loop_(std::move(loop)), apartment_(apartment), interfaces_(std::move(interfaces))
{
}

UPnPDeviceFinder::~UPnPDeviceFinder()
{
    while (!finds_.empty())
        CancelAsyncFind(finds_.begin()->first);
}

HRESULT UPnPDeviceFinder::CreateAsyncFind(std::string_view device_type, Callbacks callbacks,
                                          long& find)
{
    find = 0;
    if (!IsSearchTarget(device_type))
        return E_INVALIDARG;
    const long id = next_find_++;
    finds_[id] = Find{std::string(device_type),
                      std::make_shared<Reporter>(id, std::move(callbacks), apartment_), nullptr};
    find = id;
    return S_OK;
}

HRESULT UPnPDeviceFinder::StartAsyncFind(long find)
{
    const auto entry = finds_.find(find);
    if (entry == finds_.end())
        return E_INVALIDARG;
    if (entry->second.search)
        return E_UNEXPECTED;
    std::vector<UPnPDeviceSearch::Interface> interfaces;
    if (!interfaces_.empty()) {
        interfaces = ResolveInterfaces(interfaces_);
        if (interfaces.empty())
            return E_FAIL;
    }
    auto search =
        std::make_shared<UPnPDeviceSearch>(*loop_, entry->second.device_type, std::move(interfaces),
                                           entry->second.reporter->Reports());
    const HRESULT hr = loop_->Invoke([running = search.get()] { return running->Start(); });
    if (FAILED(hr)) {
        // Its gupnp objects go on the UPnP thread.
        loop_->Post([search = std::move(search)] {});
        return hr;
    }
    // Starting kept this apartment running: the find may have been cancelled meanwhile.
    const auto started = finds_.find(find);
    if (started == finds_.end()) {
        loop_->Post([search = std::move(search)] {});
        return E_ABORT;
    }
    started->second.search = std::move(search);
    return S_OK;
}

HRESULT UPnPDeviceFinder::CancelAsyncFind(long find)
{
    if (find <= 0 || find >= next_find_)
        return E_INVALIDARG;
    const auto entry = finds_.find(find);
    if (entry == finds_.end())
        return S_OK;
    entry->second.reporter->Cancel();
    if (entry->second.search)
        loop_->Post([search = std::move(entry->second.search)] {});
    finds_.erase(entry);
    return S_OK;
}

} // namespace velk
