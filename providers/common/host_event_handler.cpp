#include "providers/common/host_event_handler.h"

#include "providers/common/data_provider.h"

namespace velk {

HRESULT CHostEventHandler::OnAddDevice(const std::shared_ptr<IVelkDevice>& iDevice)
{
    auto provider = provider_.lock();
    return provider ? provider->OnAddDevice(iDevice) : S_OK;
}

HRESULT CHostEventHandler::OnRemoveDevice(const std::shared_ptr<IVelkDevice>& iDevice)
{
    auto provider = provider_.lock();
    return provider ? provider->OnRemoveDevice(iDevice) : S_FALSE;
}

} // namespace velk
