#include "service/velk_data_host.h"

#include <cstdio>

#include "platform/class_registry.h"
#include "platform/data_server_layout.h"
#include "platform/error_info.h"
#include "platform/git.h"
#include "platform/reg_stream.h"

namespace velk {

namespace {


} // namespace

HRESULT CVelkDataObjectEvent::OnDataAvailable()
{
    data_event_->Set();
    return S_OK;
}

const Dispatcher<CVelkDataHost>& CVelkDataHost::Dispatch()
{
    using H = CVelkDataHost;
    static const auto dispatcher =
        DispatchBuilder<H>("IVelkDataHost")
            .Get("VelkDevices", 0, &H::get_VelkDevices)
            .Get("Object", 1,
                 [](H& host, DispatchablePtr& object) {
                     std::shared_ptr<IVelkDataObject> provider;
                     HRESULT hr = host.get_Object(provider);
                     object = provider;
                     return hr;
                 })
            // Scripts see the class id in its registry form.
            .Get("CLSID", 2,
                 [](H& host, std::string& text) {
                     Guid clsid;
                     HRESULT hr = host.get_CLSID(clsid);
                     text = clsid.ToString();
                     return hr;
                 })
            .Get("PollingFrequency", 3, &H::get_PollingFrequency)
            .Method("Terminate", 4, &H::Terminate)
            .Get("Parent", 5, &H::get_Parent)
            .Get("Cookie", 6, &H::get_Cookie)
            // The event as its descriptor number, for display: it means nothing to another process.
            .Get("Handle", 7,
                 [](H& host, std::int64_t& handle) {
                     std::shared_ptr<Event> event;
                     HRESULT hr = host.get_Handle(event);
                     handle = event ? event->fd() : -1;
                     return hr;
                 })
            .Get("Status", 8, &H::get_Status)
            .Method("Reload", 9, &H::Reload)
            .Build();
    return dispatcher;
}

CVelkDataHost::CVelkDataHost(DWORD service_cookie, const Guid& clsid)
    : service_cookie_(service_cookie), clsid_(clsid), data_event_(std::make_shared<Event>())
{
}

CVelkDataHost::~CVelkDataHost() = default;

HRESULT CVelkDataHost::get_VelkDevices(std::shared_ptr<IVelkDevices>& devices)
{
    const DWORD cookie = host_cookie_;
    HRESULT hr =
        Git::Global().Invoke<IVelkDataService>(service_cookie_, [&](IVelkDataService& service) {
            return service.get_HostDevices(cookie, devices);
        });
    return ReportIfFailed(hr);
}

HRESULT CVelkDataHost::get_Object(std::shared_ptr<IVelkDataObject>& object)
{
    if (!provider_)
        return ReportError(E_FAIL);
    object = provider_;
    return S_OK;
}

HRESULT CVelkDataHost::get_CLSID(Guid& clsid)
{
    clsid = clsid_;
    return S_OK;
}

HRESULT CVelkDataHost::get_PollingFrequency(std::uint32_t& interval)
{
    interval = poll_interval_ms_;
    return S_OK;
}

HRESULT CVelkDataHost::get_Parent(std::shared_ptr<IVelkDataService>& service)
{
    HRESULT hr = Git::Global().Invoke(service_cookie_, [&](const UnknownPtr& object) {
        service = std::dynamic_pointer_cast<IVelkDataService>(object);
        return service ? S_OK : E_NOINTERFACE;
    });
    return ReportIfFailed(hr);
}

HRESULT CVelkDataHost::get_Cookie(std::uint32_t& cookie)
{
    cookie = host_cookie_;
    return S_OK;
}

HRESULT CVelkDataHost::get_Handle(std::shared_ptr<Event>& event)
{
    event = data_event_;
    return S_OK;
}

HRESULT CVelkDataHost::get_Status(HostStatus& status)
{
    status = status_;
    return S_OK;
}

HRESULT CVelkDataHost::Terminate()
{
    status_ = HostStatus::HostStatusTerminating;
    auto provider = std::move(provider_);
    if (!provider)
        return S_OK;
    if (std::exchange(advised_, false) && advise_cookie_ != 0) {
        if (auto source = std::dynamic_pointer_cast<IVelkDataObjectEventSource>(provider))
            source->Unadvise(advise_cookie_);
    }
    advise_cookie_ = 0;
    sink_.reset();
    provider->Terminate();
    return S_OK;
}

HRESULT CVelkDataHost::Reload()
{
    // A loaded provider goes first: a second one would never be terminated.
    if (provider_)
        Terminate();
    status_ = HostStatus::HostStatusInitializing;
    poll_interval_ms_ = kNoPolling;
    data_event_->Reset();

    std::shared_ptr<IVelkDataObject> provider;
    HRESULT hr = ClassRegistry::CreateInstance(clsid_, provider);
    if (FAILED(hr)) {
        if (hr != REGDB_E_CLASSNOTREG)
            ReportCreationFailure(hr);
        return hr;
    }
    provider_ = provider;

    if (auto configure = std::dynamic_pointer_cast<IConfigureVelkDataObject>(provider)) {
        std::shared_ptr<IStream> stream;
        const std::string path = std::string(kGlobalsKey) + "\\" + clsid_.ToString();
        if (SUCCEEDED(OpenRegStream(Hive::LocalMachine, path, kParametersValue, StreamMode::Read,
                                    stream)))
            configure->LoadObjectState(*stream);
    }

    if (auto source = std::dynamic_pointer_cast<IVelkDataObjectEventSource>(provider)) {
        auto sink = std::make_shared<CVelkDataObjectEvent>(data_event_);
        DWORD cookie = 0;
        if (SUCCEEDED(source->Advise(sink, cookie))) {
            sink_ = std::move(sink);
            advise_cookie_ = cookie;
            advised_ = true;
        }
    }

    const std::shared_ptr<IVelkDataHost> self = shared_from_this();
    std::uint32_t interval = poll_interval_ms_;
    const HRESULT initialized = provider->Initialize(self, interval);
    poll_interval_ms_ = initialized == E_PENDING ? kNoPolling : interval;
    status_ = HostStatus::HostStatusAcceptingRequests;
    provider->Start(self);
    return initialized == E_PENDING ? S_OK : initialized;
}

HRESULT CVelkDataHost::RunProvider()
{
    if (status_ != HostStatus::HostStatusAcceptingRequests || !provider_ || running_)
        return S_FALSE;
    // The provider may be terminated by a call served while Run waits: keep it for the call.
    auto provider = provider_;
    running_ = true;
    HRESULT hr = provider->Run();
    running_ = false;
    return hr;
}

void CVelkDataHost::ReportCreationFailure(HRESULT failure)
{
    std::string name;
    if (FAILED(ClassRegistry::UserTypeName(clsid_, name)) || name.empty())
        name = clsid_.ToString();
    if (name.empty())
        name = "Null";
    char code[16];
    std::snprintf(code, sizeof code, "%lx",
                  static_cast<unsigned long>(static_cast<std::uint32_t>(failure)));
    const Variant fields(std::vector<Variant>{Variant(name), Variant(std::string(code))});
    Git::Global().Invoke<IVelkDataService>(service_cookie_, [&](IVelkDataService& service) {
        return service.ReportVelkEvent(EventTypes::EventLogError, EventCategories::Object,
                                       kEventProviderNotCreated, fields);
    });
}

} // namespace velk
