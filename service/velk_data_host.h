// CVelkDataHost: the service's side of one loaded provider class. Creates the provider by class
// id, feeds it its object state, sinks its data event, and initializes, starts, runs and
// terminates it. CVelkDataObjectEvent is the sink: it only sets the host's data event, so a
// provider may raise OnDataAvailable on any thread.
//
// A host lives on the service's main apartment; every call into its provider happens there.
// Other threads reach it through the interface table by its host cookie. The service's
// provider hosting owns it from creation until it is removed.
#pragma once

#include <cstdint>
#include <memory>

#include "velk/velk_data_object.h"

namespace velk {

class CVelkDataObjectEvent : public _IVelkDataObjectEvent {
public:
    explicit CVelkDataObjectEvent(std::shared_ptr<Event> data_event)
        : data_event_(std::move(data_event))
    {
    }

    HRESULT OnDataAvailable() override;

private:
    const std::shared_ptr<Event> data_event_;
};

class CVelkDataHost : public DispatchImpl<CVelkDataHost, IVelkDataHost>,
                      public std::enable_shared_from_this<CVelkDataHost> {
public:
    // Event-log id of a provider that could not be created (error, category Object).
    static constexpr std::uint32_t kEventProviderNotCreated = 0xC0020101;

    static const Dispatcher<CVelkDataHost>& Dispatch();

    CVelkDataHost(DWORD service_cookie, const Guid& clsid);
    ~CVelkDataHost() override;

    // The host's own cookie, once it is in the interface table.
    void set_host_cookie(DWORD cookie) { host_cookie_ = cookie; }
    const Guid& clsid() const { return clsid_; }

    // IVelkDataHost
    HRESULT get_VelkDevices(std::shared_ptr<IVelkDevices>& devices) override;
    HRESULT get_Object(std::shared_ptr<IVelkDataObject>& object) override;
    HRESULT get_CLSID(Guid& clsid) override;
    HRESULT get_PollingFrequency(std::uint32_t& interval) override;
    // Unadvises the sink, terminates and releases the provider. Always S_OK.
    HRESULT Terminate() override;
    HRESULT get_Parent(std::shared_ptr<IVelkDataService>& service) override;
    HRESULT get_Cookie(std::uint32_t& cookie) override;
    HRESULT get_Handle(std::shared_ptr<Event>& event) override;
    HRESULT get_Status(HostStatus& status) override;
    // Loads the provider: creation (a failure other than an unregistered class goes to the
    // event log), object state, sink, Initialize, Start. S_OK when Initialize succeeded or asked
    // not to be polled (E_PENDING); otherwise the creation or Initialize failure, and the
    // caller terminates the host.
    HRESULT Reload() override;

    // One Run of the provider for the poll timer or the data event: skipped (S_FALSE) unless
    // the host accepts requests and no Run of it is under way already (a Run that waits keeps
    // the apartment running, so another request may arrive meanwhile).
    HRESULT RunProvider();

private:
    void ReportCreationFailure(HRESULT failure);

    DWORD host_cookie_ = 0;
    const DWORD service_cookie_;
    const Guid clsid_;
    const std::shared_ptr<Event> data_event_;
    std::shared_ptr<IVelkDataObject> provider_;
    std::shared_ptr<CVelkDataObjectEvent> sink_;
    DWORD advise_cookie_ = 0;
    bool advised_ = false;
    std::uint32_t poll_interval_ms_ = kNoPolling;
    HostStatus status_ = HostStatus::HostStatusInitializing;
    bool running_ = false;
};

} // namespace velk
