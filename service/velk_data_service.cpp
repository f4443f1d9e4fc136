#include "service/velk_data_service.h"

#include "platform/git.h"

namespace velk {

HRESULT CVelkDataService::get_VelkDevices(std::shared_ptr<IVelkDevices>&)
{
    return E_NOTIMPL;
}

HRESULT CVelkDataService::ReportVelkEvent(EventTypes, EventCategories, std::uint32_t,
                                          const Variant&)
{
    return E_NOTIMPL;
}

HRESULT CVelkDataService::get_HostDevices(std::uint32_t, std::shared_ptr<IVelkDevices>&)
{
    return E_NOTIMPL;
}

HRESULT CVelkDataService::get_Hosts(std::shared_ptr<IVelkHosts>&)
{
    return E_NOTIMPL;
}

HRESULT CVelkDataService::Initialize()
{
    if (service_cookie_ != 0)
        return E_UNEXPECTED;
    return Git::Global().Register(shared_from_this(), service_cookie_);
}

HRESULT CVelkDataService::Terminate()
{
    if (service_cookie_ == 0)
        return S_OK;
    const HRESULT hr = Git::Global().Revoke(service_cookie_);
    service_cookie_ = 0;
    return hr;
}

HRESULT CVelkDataService::Reload()
{
    return S_OK;
}

HRESULT CVelkDataService::UpdateITunesPlaycount(const std::shared_ptr<IVelkDevice>&,
                                                std::string_view, std::string_view, std::int32_t)
{
    return E_NOTIMPL;
}

HRESULT CVelkDataService::ControlService(ServiceName, std::int32_t)
{
    return E_NOTIMPL;
}

HRESULT CVelkDataService::get_Version(std::string&)
{
    return E_NOTIMPL;
}

HRESULT CVelkDataService::RemoveDevice(std::string_view)
{
    return E_NOTIMPL;
}

} // namespace velk
