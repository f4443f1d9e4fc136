// The service's root object as far as the process shell needs it: Initialize enters it in the
// interface table and keeps the cookie, Terminate takes it out again; the players, the provider
// hosts and the event records come later. Lives on the main apartment; the module creates it at
// start-up and releases it at shutdown.
#pragma once

#include <memory>

#include "velk/velk_data_service.h"

namespace velk {

class CVelkDataService : public IVelkDataService,
                         public std::enable_shared_from_this<CVelkDataService> {
public:
    HRESULT get_VelkDevices(std::shared_ptr<IVelkDevices>& iDevices) override;
    HRESULT ReportVelkEvent(EventTypes type, EventCategories Category, std::uint32_t EventID,
                            const Variant& Fields) override;
    HRESULT get_HostDevices(std::uint32_t HostID, std::shared_ptr<IVelkDevices>& iDevices) override;
    HRESULT get_Hosts(std::shared_ptr<IVelkHosts>& iHosts) override;
    HRESULT Initialize() override;
    HRESULT Terminate() override;
    HRESULT Reload() override;
    HRESULT UpdateITunesPlaycount(const std::shared_ptr<IVelkDevice>& iDevice,
                                  std::string_view bstrURL, std::string_view bstrAlbumTitle,
                                  std::int32_t nDatabaseID) override;
    HRESULT ControlService(ServiceName Service, std::int32_t bState) override;
    HRESULT get_Version(std::string& version) override;
    HRESULT RemoveDevice(std::string_view bstrDeviceUDN) override;

    // The root object's cookie in the interface table, 0 outside Initialize..Terminate.
    DWORD service_cookie() const { return service_cookie_; }

private:
    DWORD service_cookie_ = 0;
};

} // namespace velk
