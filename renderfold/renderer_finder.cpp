#include "renderfold/renderer_finder.h"

#include <map>

#include "platform/upnp_device_finder.h"

namespace velk {

namespace {

constexpr std::uint32_t kInstance = 0;

// The value of an action's output argument; empty when it has none of that name.
std::string OutputOf(const UPnPService::Arguments& out, std::string_view name)
{
    for (const auto& [argument, value] : out) {
        if (argument == name)
            return value;
    }
    return {};
}

} // namespace

// The apartment side: the device finder and each device's services. Its results go to the
// finder's table through queued calls; the finder destroys it on the apartment before the
// finder itself goes, so no call is queued to a finder that is gone.
class CRendererFinder::Worker {
public:
    explicit Worker(CRendererFinder* owner) : owner_(owner) {}

    void Start(const std::vector<std::string>& interfaces)
    {
        HRESULT hr = UPnPDeviceFinder::Create(finder_, interfaces);
        if (SUCCEEDED(hr)) {
            UPnPDeviceFinder::Callbacks callbacks{
                [this](long, const UPnPDeviceInfo& device) { Added(device); },
                [this](long, const std::string& udn) { Removed(udn); },
                [this](long) { ToTable([](CMediaRenderers& table) {
                    table.SetSearchState(CMediaRenderers::SearchState::Complete);
                }); },
            };
            hr = finder_->CreateAsyncFind(kMediaRendererDeviceType, std::move(callbacks), find_);
        }
        if (SUCCEEDED(hr))
            hr = finder_->StartAsyncFind(find_);
        if (FAILED(hr)) {
            qWarning("renderfold: the search for media renderers could not start: %s",
                     HResultMessage(hr).c_str());
            ToTable([](CMediaRenderers& table) {
                table.SetSearchState(CMediaRenderers::SearchState::Complete);
            });
        }
    }

    void Invoke(const std::string& udn, std::string_view service_id, const std::string& action,
                const UPnPService::Arguments& in, const Done& done)
    {
        std::shared_ptr<UPnPService> service;
        if (const auto found = devices_.find(udn); found != devices_.end())
            service = service_id == kAVTransportServiceId ? found->second.transport : found->second.rendering;
        UPnPService::Arguments out;
        const HRESULT hr = service ? service->InvokeAction(action, in, out) : E_NOINTERFACE;
        QMetaObject::invokeMethod(owner_, [done, hr, out] { done(hr, out); }, Qt::QueuedConnection);
    }

private:
    struct Device {
        std::shared_ptr<UPnPService> transport;
        std::shared_ptr<UPnPService> rendering;
    };

    void ToTable(std::function<void(CMediaRenderers&)> fn)
    {
        CRendererFinder* owner = owner_;
        QMetaObject::invokeMethod(owner, [owner, fn] { fn(owner->renderers_); }, Qt::QueuedConnection);
    }

    void ToTable(const std::string& udn, const RendererChanges& changes)
    {
        ToTable([udn, changes](CMediaRenderers& table) { table.Apply(udn, changes); });
    }

    void Added(const UPnPDeviceInfo& device)
    {
        if (!CMediaRenderers::IsValidItemId(device.udn))
            return;
        if (!devices_.contains(device.udn) && devices_.size() >= CMediaRenderers::kMaxRenderers)
            return;
        Device& entry = devices_[device.udn] = Device{};
        CRendererFinder* owner = owner_;
        ToTable([owner, device](CMediaRenderers& table) { table.Add(device, owner); });

        const std::string udn = device.udn;
        if (SUCCEEDED(UPnPService::Open(device, kAVTransportServiceId, entry.transport))) {
            entry.transport->AddCallback([this, udn](const std::string& variable, const std::string& value) {
                RendererChanges changes;
                if (variable == "LastChange" && SUCCEEDED(ParseLastChange(value, kInstance, changes)))
                    ToTable(udn, changes);
            });
        }
        if (SUCCEEDED(UPnPService::Open(device, kRenderingControlServiceId, entry.rendering))) {
            entry.rendering->AddCallback([this, udn](const std::string& variable, const std::string& value) {
                RendererChanges changes;
                if (variable == "LastChange" && SUCCEEDED(ParseVolumeChange(value, kInstance, changes)))
                    ToTable(udn, changes);
            });
        }
        ReadState(udn, entry.transport, entry.rendering);
    }

    // A device's first event may be lost (one that arrives before the subscription's answer):
    // its state is read once with actions.
    void ReadState(const std::string& udn, std::shared_ptr<UPnPService> transport,
                   std::shared_ptr<UPnPService> rendering)
    {
        const UPnPService::Arguments instance{{"InstanceID", std::to_string(kInstance)}};
        UPnPService::Arguments out;
        RendererChanges changes;
        if (transport && SUCCEEDED(transport->InvokeAction("GetTransportInfo", instance, out)))
            changes.transport_state = TransportStateFromWord(OutputOf(out, "CurrentTransportState"));
        if (transport && SUCCEEDED(transport->InvokeAction("GetTransportSettings", instance, out)))
            changes.play_mode = PlayModeFromWord(OutputOf(out, "PlayMode"));
        if (transport && SUCCEEDED(transport->InvokeAction("GetPositionInfo", instance, out))) {
            changes.track_duration = ShownText(OutputOf(out, "TrackDuration"));
            changes.track = ParseTrackMetaData(OutputOf(out, "TrackMetaData"));
        }
        if (rendering && SUCCEEDED(rendering->InvokeAction(
                             "GetVolume", {{"InstanceID", std::to_string(kInstance)}, {"Channel", "Master"}}, out)))
            changes.volume = ParseVolume(OutputOf(out, "CurrentVolume"));
        ToTable(udn, changes);
    }

    void Removed(const std::string& udn)
    {
        devices_.erase(udn);
        ToTable([udn](CMediaRenderers& table) { table.Remove(udn); });
    }

    CRendererFinder* const owner_;
    std::shared_ptr<UPnPDeviceFinder> finder_;
    long find_ = 0;
    std::map<std::string, Device> devices_;
};

CRendererFinder::CRendererFinder(CMediaRenderers& renderers, QObject* parent)
    : CRendererActions(parent), renderers_(renderers)
{
}

CRendererFinder::~CRendererFinder()
{
    thread_.apartment()->Invoke([this] {
        worker_.reset();
        return S_OK;
    });
}

void CRendererFinder::Start(std::vector<std::string> interfaces)
{
    if (started_)
        return;
    started_ = true;
    renderers_.SetSearchState(CMediaRenderers::SearchState::Searching);
    thread_.apartment()->Post([this, interfaces = std::move(interfaces)] {
        worker_ = std::make_shared<Worker>(this);
        worker_->Start(interfaces);
    });
}

void CRendererFinder::InvokeAction(const std::string& udn, std::string_view service_id,
                                   std::string_view action, UPnPService::Arguments in, Done done)
{
    thread_.apartment()->Post([this, udn, service = std::string(service_id), action = std::string(action),
                               in = std::move(in), done = std::move(done)] {
        if (worker_)
            worker_->Invoke(udn, service, action, in, done);
        else
            QMetaObject::invokeMethod(this, [done] { done(E_NOINTERFACE, {}); }, Qt::QueuedConnection);
    });
}

} // namespace velk
